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

    void ReplyPlain(const QByteArray& data, int status_code);
    void ReplyIndexed(QNetworkReply* reply, const QByteArray& data, int status_code);

private:
    void OnFinished(QNetworkReply* reply);
    static void LimitReadBuffer(QNetworkReply* reply);
    void TakeArrived(QNetworkReply* reply);

    QNetworkAccessManager* manager_ = nullptr;
    HttpCallback callback_;
    HttpIndexedCallback indexed_callback_;
    // What each reply has brought so far.
    QHash<QNetworkReply*, QByteArray> arrived_;
};
