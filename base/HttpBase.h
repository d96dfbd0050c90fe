#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

using HttpCallback = std::function<void(bool ok, const QByteArray& data, QString status)>;
using HttpIndexedCallback =
    std::function<void(bool ok, const QByteArray& data, QString status, int index)>;

// One request at a time turned into one callback. Subclasses choose how the reply is handed
// back by calling ReplyPlain or ReplyIndexed from their OnReply.
class HttpBase : public QObject {
    Q_OBJECT
public:
    // Mode 0: GET (the body is not sent); 1: form POST; 2: form POST with charset=utf-8.
    enum Mode { kGet = 0, kPost = 1, kPostUtf8 = 2 };

    // Answers far larger than any real one are not read into memory: beyond the limit the
    // transfer is given up and reported as failed. A service answer is a few KB, a page of a
    // hundred messages well under 1 MB.
    static constexpr qint64 kReplyLimit = 8LL * 1024 * 1024;
    // The largest file a message carries (50 MB) in Base64 within its reply envelope.
    static constexpr qint64 kFileReplyLimit = 72LL * 1024 * 1024;

    explicit HttpBase(QObject* parent = nullptr);
    ~HttpBase() override;

    // index -1 selects the plain callback, any other value the indexed one.
    void Request(int mode, const QString& url, const QByteArray& body, HttpCallback callback,
                 int index = -1, HttpIndexedCallback indexed_callback = nullptr);

signals:
    // Bytes of the answer received so far; total is -1 while unknown.
    void download_progress(int index, qint64 received, qint64 total);

protected:
    virtual void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) = 0;
    // Requests that bring files answer with more.
    virtual qint64 ReplyLimit() const { return kReplyLimit; }

    void ReplyPlain(const QByteArray& data, int status_code);
    void ReplyIndexed(QNetworkReply* reply, const QByteArray& data, int status_code);

private:
    void OnFinished(QNetworkReply* reply);
    void Deliver(QNetworkReply* reply);
    static void LimitReadBuffer(QNetworkReply* reply);
    void TakeArrived(QNetworkReply* reply);
    // Gives the transfer up when it is, or announces to be, larger than the limit.
    bool GiveUpWhenTooLarge(QNetworkReply* reply, qint64 size);

    QNetworkAccessManager* manager_ = nullptr;
    HttpCallback callback_;
    HttpIndexedCallback indexed_callback_;
    // What each reply has brought so far.
    QHash<QNetworkReply*, QByteArray> arrived_;
};
