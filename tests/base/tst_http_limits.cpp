// Answers far larger than any real one are given up, whether their length is announced or not,
// and reach the caller as a failed request; requests that bring files may take more.

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "base/HttpBase.h"
#include "tests/support/TestMain.h"

namespace {

class Http : public HttpBase {
public:
    explicit Http(qint64 limit = kReplyLimit) : limit_(limit) {}

protected:
    void OnReply(QNetworkReply*, const QByteArray& data, int status) override {
        ReplyPlain(data, status);
    }
    qint64 ReplyLimit() const override { return limit_; }

private:
    qint64 limit_;
};

// Answers every request with `size` bytes of body, its length announced or not, and tells how
// much of the body it could write before the client went away.
class BigServer : public QObject {
public:
    BigServer(qint64 size, bool announced) : size_(size), announced_(announced) {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, &BigServer::OnConnection);
    }
    QString Url() const {
        return QStringLiteral("http://127.0.0.1:%1/big").arg(server_.serverPort());
    }
    qint64 Written() const { return written_; }

private:
    void OnConnection() {
        QTcpSocket* socket = server_.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->readAll().contains("\r\n\r\n") || started_)
                return;
            started_ = true;
            QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
            if (announced_)
                head += "Content-Length: " + QByteArray::number(size_) + "\r\n";
            socket->write(head + "Connection: close\r\n\r\n");
            WriteMore(socket);
        });
        connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] { WriteMore(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
    void WriteMore(QTcpSocket* socket) {
        if (socket->bytesToWrite() > kChunk || written_ >= size_)
            return;
        const qint64 chunk = qMin(kChunk, size_ - written_);
        socket->write(QByteArray(static_cast<int>(chunk), 'x'));
        written_ += chunk;
        if (written_ >= size_)
            socket->disconnectFromHost();
    }

    static constexpr qint64 kChunk = 256 * 1024;
    QTcpServer server_;
    qint64 size_;
    bool announced_;
    bool started_ = false;
    qint64 written_ = 0;
};

struct Answer {
    bool called = false;
    bool ok = false;
    QByteArray data;
    QString status;
};

Answer Fetch(Http& http, const QString& url) {
    Answer answer;
    http.Request(HttpBase::kGet, url, QByteArray(),
                 [&answer](bool ok, const QByteArray& data, QString status) {
                     answer = {true, ok, data, status};
                 });
    // The caller checks answer.called.
    static_cast<void>(QTest::qWaitFor([&answer] { return answer.called; }, 60000));
    return answer;
}

}  // namespace

class TestHttpLimits : public QObject {
    Q_OBJECT
private slots:
    void tooLargeAnswersAreGivenUp_data();
    void tooLargeAnswersAreGivenUp();
    void fileRequestsTakeMore();
};

void TestHttpLimits::tooLargeAnswersAreGivenUp_data() {
    QTest::addColumn<bool>("announced");
    QTest::newRow("length announced") << true;
    QTest::newRow("length unknown") << false;
}

void TestHttpLimits::tooLargeAnswersAreGivenUp() {
    QFETCH(bool, announced);
    const qint64 size = 40LL * 1024 * 1024;
    BigServer server(size, announced);
    Http http;
    const Answer answer = Fetch(http, server.Url());
    QVERIFY(answer.called);
    QVERIFY(!answer.ok);
    QVERIFY(answer.data.isEmpty());
    QCOMPARE(answer.status, QString("0"));
    // Given up on the way, not after all of it came.
    QVERIFY(server.Written() < size);

    // Within the limit, the same server's answer is taken whole.
    BigServer small(3 * 1024 * 1024, announced);
    const Answer whole = Fetch(http, small.Url());
    QVERIFY(whole.ok);
    QCOMPARE(whole.data.size(), 3 * 1024 * 1024);
}

void TestHttpLimits::fileRequestsTakeMore() {
    const qint64 size = 12LL * 1024 * 1024;
    BigServer server(size, true);
    Http files(HttpBase::kFileReplyLimit);
    const Answer answer = Fetch(files, server.Url());
    QVERIFY(answer.ok);
    QCOMPARE(qint64(answer.data.size()), size);
}

CORAL_TEST_GUILESS_MAIN(TestHttpLimits)
#include "tst_http_limits.moc"
