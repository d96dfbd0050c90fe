#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>

// A one-request-at-a-time HTTP server on loopback that records what arrived on the wire and
// answers with a canned status and body.
class TestHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray target;
        QMap<QByteArray, QByteArray> headers;  // lower-case names
        QByteArray body;
    };

    explicit TestHttpServer(QObject* parent = nullptr);

    quint16 Port() const { return server_.serverPort(); }
    QString Url(const QString& path = QString()) const;
    void Reply(int status, const QByteArray& body) {
        status_ = status;
        body_ = body;
    }
    // Answers requests whose target or body contains `part` with this status and body instead;
    // the first matching part wins, in the order given.
    void ReplyFor(const QByteArray& part, int status, const QByteArray& body) {
        routes_.append({part, {status, body}});
    }
    const QList<Request>& Requests() const { return requests_; }
    // While held, requests are recorded but not answered; letting go answers them all.
    void Hold(bool hold);

    // Decodes an application/x-www-form-urlencoded body the way a server does ("+" is a blank).
    static QList<QPair<QString, QString>> DecodeForm(const QByteArray& body);

signals:
    void received();

private:
    void OnConnection();
    void OnReadyRead(QTcpSocket* socket);
    void Answer(QTcpSocket* socket, const Request& request);

    QTcpServer server_;
    QList<Request> requests_;
    QMap<QTcpSocket*, QByteArray> buffers_;
    QList<QPair<QByteArray, QPair<int, QByteArray>>> routes_;
    int status_ = 200;
    QByteArray body_ = "{}";
    bool holding_ = false;
    QList<QPair<QTcpSocket*, Request>> held_;
};
