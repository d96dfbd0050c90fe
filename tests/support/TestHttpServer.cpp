#include "TestHttpServer.h"

#include <QTcpSocket>
#include <QUrl>

TestHttpServer::TestHttpServer(QObject* parent) : QObject(parent) {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, &TestHttpServer::OnConnection);
}

QString TestHttpServer::Url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(Port()).arg(path);
}

void TestHttpServer::OnConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestHttpServer::OnReadyRead(QTcpSocket* socket) {
    QByteArray& buffer = buffers_[socket];
    buffer += socket->readAll();
    const int head_end = buffer.indexOf("\r\n\r\n");
    if (head_end < 0)
        return;

    Request request;
    const QList<QByteArray> lines = buffer.left(head_end).split('\n');
    const QList<QByteArray> first = lines.first().trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0) {
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
        }
    }
    const int length = request.headers.value("content-length", "0").toInt();
    if (buffer.size() < head_end + 4 + length)
        return;
    request.body = buffer.mid(head_end + 4, length);
    buffers_.remove(socket);
    requests_.append(request);

    if (holding_) {
        held_.append({socket, request});
        emit received();
        return;
    }
    Answer(socket, request);
    emit received();
}

void TestHttpServer::Hold(bool hold) {
    holding_ = hold;
    if (hold)
        return;
    const QList<QPair<QTcpSocket*, Request>> held = held_;
    held_.clear();
    for (const auto& entry : held)
        Answer(entry.first, entry.second);
}

void TestHttpServer::Answer(QTcpSocket* socket, const Request& request) {
    QPair<int, QByteArray> answer(status_, body_);
    for (const auto& route : routes_) {
        if (request.target.contains(route.first) || request.body.contains(route.first)) {
            answer = route.second;
            break;
        }
    }
    QByteArray response = "HTTP/1.1 " + QByteArray::number(answer.first) + " Canned\r\n";
    response += "Content-Type: application/json\r\nConnection: close\r\n";
    response +=
        "Content-Length: " + QByteArray::number(answer.second.size()) + "\r\n\r\n" + answer.second;
    socket->write(response);
    socket->disconnectFromHost();
}

QList<QPair<QString, QString>> TestHttpServer::DecodeForm(const QByteArray& body) {
    QList<QPair<QString, QString>> fields;
    for (QByteArray pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        pair.replace('+', ' ');
        const int eq = pair.indexOf('=');
        const QByteArray name = eq < 0 ? pair : pair.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        fields.append({QString::fromUtf8(QByteArray::fromPercentEncoding(name)),
                       QString::fromUtf8(QByteArray::fromPercentEncoding(value))});
    }
    return fields;
}
