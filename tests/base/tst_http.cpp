// The HTTP layer: the three modes on the wire, form bodies, what reaches the log and the caller,
// answers far larger than any real one given up on the way, and kept connections.

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include "base/FormBody.h"
#include "base/HttpBase.h"
#include "base/ReqPackageSimple.h"
#include "base/TcpNoDelay.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestMain.h"

namespace {

class PlainHttp : public HttpBase {
public:
    explicit PlainHttp(qint64 limit = kReplyLimit) : limit_(limit) {}

protected:
    void OnReply(QNetworkReply*, const QByteArray& data, int status) override {
        ReplyPlain(data, status);
    }
    qint64 ReplyLimit() const override { return limit_; }

private:
    qint64 limit_;
};

struct Answer {
    bool called = false;
    bool ok = false;
    QByteArray data;
    QString status;
};

// Sends one request and waits for its answer (called stays false when none came).
Answer Fetch(PlainHttp& http, int mode, const QString& url, const QByteArray& body = {}) {
    Answer answer;
    http.Request(mode, url, body, [&answer](bool ok, const QByteArray& data, QString status) {
        answer = {true, ok, data, status};
    });
    static_cast<void>(QTest::qWaitFor([&answer] { return answer.called; }, 60000));
    return answer;
}

// Answers the head of every request with `answer` as it stands, then closes or keeps the
// connection.
class RawServer : public QTcpServer {
public:
    RawServer(const QByteArray& answer, bool close) {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this, answer, close] {
            QTcpSocket* socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, answer, close] {
                if (!socket->readAll().contains("\r\n\r\n"))
                    return;
                socket->write(answer);
                if (close)
                    socket->disconnectFromHost();
            });
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/r").arg(serverPort()); }
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

#ifdef Q_OS_LINUX
// The process's TCP connections to `port` on the loopback, found among its open files.
QList<int> ConnectionsTo(quint16 port) {
    QList<int> found;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        sockaddr_in peer{};
        socklen_t length = sizeof(peer);
        const int fd = name.toInt();
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            peer.sin_family == AF_INET && ntohs(peer.sin_port) == port)
            found << fd;
    }
    return found;
}
#endif

}  // namespace

class TestHttp : public QObject {
    Q_OBJECT
private slots:
    void modesAndFormBodyOnTheWire();
    void fileFieldIsTheFileInBase64();
    void logShowsNoSecretsAndNoFiles();
    void errorsReachTheCaller();
    void tooLargeAnswersAreGivenUp_data();
    void tooLargeAnswersAreGivenUp();
    void keptConnectionSendsRequestsAtOnce();
};

void TestHttp::modesAndFormBodyOnTheWire() {
    TestHttpServer server;
    PlainHttp http;
    const QString text = QStringLiteral("1+1=2 & 50% \"ok\" 你好，世界 a/b?c#d");
    const QString base64 = QStringLiteral("ab+/cd==");
    const QByteArray body =
        FormBody().Add("Content", text).Add("Base64Data", base64).Add("名字", "值").Encode();
    QVERIFY(Fetch(http, HttpBase::kGet, server.Url("/m?q=1"), body).called);
    const Answer post = Fetch(http, HttpBase::kPost, server.Url("/m"), body);
    QVERIFY(Fetch(http, HttpBase::kPostUtf8, server.Url("/m"), body).called);
    QVERIFY(post.ok);
    QCOMPARE(post.status, QString("200"));
    QCOMPARE(post.data, QByteArray("{}"));

    const auto& requests = server.Requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests[0].method, QByteArray("GET"));
    QCOMPARE(requests[0].target, QByteArray("/m?q=1"));
    QVERIFY(requests[0].body.isEmpty());
    QCOMPARE(requests[0].headers.value("content-type"), QByteArray("application/json"));
    QCOMPARE(requests[1].method, QByteArray("POST"));
    QCOMPARE(requests[1].body, body);
    QCOMPARE(requests[1].headers.value("content-type"),
             QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(requests[1].headers.value("content-length"), QByteArray::number(body.size()));
    QCOMPARE(requests[2].headers.value("content-type"),
             QByteArray("application/x-www-form-urlencoded;charset=utf-8"));
    // Every character arrives as given, in the order given.
    QCOMPARE(TestHttpServer::DecodeForm(requests[1].body),
             (QList<QPair<QString, QString>>{
                 {"Content", text}, {"Base64Data", base64}, {"名字", "值"}}));
    QUrlQuery query;
    query.addQueryItem("Content", text);
    QCOMPARE(FormBody(query).Encode(), FormBody().Add("Content", text).Encode());
}

void TestHttp::fileFieldIsTheFileInBase64() {
    QTemporaryDir dir;
    // Pieces of the encoding meet inside the file; every Base64 character occurs.
    QByteArray content;
    for (int i = 0; i < 3 * 64 * 1024 * 2 + 2; ++i)
        content.append(static_cast<char>((i * 7 + i / 253) % 256));
    QFile file(dir.filePath("图 片.png"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const auto fields = TestHttpServer::DecodeForm(FormBody()
                                                       .Add("Name", "a+b")
                                                       .AddFileBase64("Base64Data", file.fileName())
                                                       .AddFileBase64("Missing", dir.filePath("x"))
                                                       .Add("Last", "z")
                                                       .Encode());
    QCOMPARE(fields.size(), 4);
    QCOMPARE(fields[1].second.toLatin1(), content.toBase64());
    QCOMPARE(fields[2], qMakePair(QString("Missing"), QString()));
    QCOMPARE(fields[3], qMakePair(QString("Last"), QString("z")));
}

void TestHttp::logShowsNoSecretsAndNoFiles() {
    TestHttpServer server;
    PlainHttp http;
    QString text;
    {
        LogCapture log;
        QVERIFY(Fetch(http, HttpBase::kPost, server.Url("/l"),
                      FormBody()
                          .Add("loginid", "zhanglei")
                          .Add("encyptpassword", "ENCODED-PSW")
                          .Add("SessionID", "SESSION-42")
                          .Add("Base64Data", QString(5000, QLatin1Char('Q')))
                          .Encode())
                    .called);
        text = log.Text();
    }
    QVERIFY(text.contains("loginid=zhanglei"));
    QVERIFY(text.contains("Base64Data=5000 bytes"));
    QVERIFY(!text.contains("ENCODED-PSW"));
    QVERIFY(!text.contains("SESSION-42"));
    QVERIFY(!text.contains("QQQQ"));
    // The server still gets everything.
    QCOMPARE(TestHttpServer::DecodeForm(server.Requests().first().body).at(2).second,
             QString("SESSION-42"));
}

void TestHttp::errorsReachTheCaller() {
    TestHttpServer server;
    server.Reply(404, "{\"Velta\":{\"EID\":\"9\"}}");
    PlainHttp http;
    const Answer not_found = Fetch(http, HttpBase::kPost, server.Url("/missing"), "a=1");
    QVERIFY(not_found.called && !not_found.ok);
    QCOMPARE(not_found.status, QString("404"));
    QCOMPARE(not_found.data, QByteArray("{\"Velta\":{\"EID\":\"9\"}}"));

    // The status line said 200, but the body broke off: a failed connection, not an answer.
    RawServer cutting("HTTP/1.1 200 OK\r\nContent-Length: 4000\r\n\r\n" + QByteArray(1000, 'x'),
                      true);
    // Bound but not listening: connections are refused, and no one else can take the port.
    QTcpSocket bound;
    QVERIFY(bound.bind(QHostAddress(QHostAddress::LocalHost), 0));
    for (const QString& url :
         {cutting.Url(), QStringLiteral("http://127.0.0.1:%1/").arg(bound.localPort())}) {
        const Answer failed = Fetch(http, HttpBase::kGet, url);
        QVERIFY(failed.called && !failed.ok);
        QCOMPARE(failed.status, QString("0"));
        QVERIFY(failed.data.isEmpty());
    }

    // ReqPackageSimple signals every answer, a failed one too.
    server.Reply(500, "oops");
    ReqPackageSimple package;
    QSignalSpy spy(&package, &ReqPackageSimple::req_data_ready);
    QUrlQuery query;
    query.addQueryItem("k", "a+b");
    package.Start(42, false, server.Url("/s"), query);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.first(), (QList<QVariant>{42, false, "500"}));
    QCOMPARE(package.Data(), QByteArray("oops"));
    QCOMPARE(server.Requests().last().body, QByteArray("k=a%2Bb"));
}

void TestHttp::tooLargeAnswersAreGivenUp_data() {
    QTest::addColumn<bool>("announced");
    QTest::newRow("length announced") << true;
    QTest::newRow("length unknown") << false;
}

void TestHttp::tooLargeAnswersAreGivenUp() {
    QFETCH(bool, announced);
    const qint64 size = 40LL * 1024 * 1024;
    BigServer server(size, announced);
    PlainHttp http;
    const Answer answer = Fetch(http, HttpBase::kGet, server.Url());
    QVERIFY(answer.called && !answer.ok);
    QVERIFY(answer.data.isEmpty());
    QCOMPARE(answer.status, QString("0"));
    // Given up on the way, not after all of it came.
    QVERIFY(server.Written() < size);

    // Within the limit, the same server's answer is taken whole.
    BigServer small(3 * 1024 * 1024, announced);
    const Answer whole = Fetch(http, HttpBase::kGet, small.Url());
    QVERIFY(whole.ok);
    QCOMPARE(whole.data.size(), 3 * 1024 * 1024);
    // Requests that bring files may take more.
    BigServer file(12LL * 1024 * 1024, announced);
    PlainHttp files(HttpBase::kFileReplyLimit);
    const Answer taken = Fetch(files, HttpBase::kGet, file.Url());
    QVERIFY(taken.ok);
    QCOMPARE(taken.data.size(), 12 * 1024 * 1024);
}

void TestHttp::keptConnectionSendsRequestsAtOnce() {
#ifdef Q_OS_LINUX
    // A body held back until the server acknowledges the headers costs up to 40 ms a request.
    RawServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}", false);
    PlainHttp http;
    QVERIFY(Fetch(http, HttpBase::kPost, server.Url(), "a=1").called);
    const QList<int> kept = ConnectionsTo(server.serverPort());
    QVERIFY(!kept.isEmpty());
    for (const int fd : kept)
        QVERIFY(TcpNoDelay::IsSet(fd));

    QVERIFY(Fetch(http, HttpBase::kPost, server.Url(), "a=2").ok);
    QCOMPARE(ConnectionsTo(server.serverPort()), kept);
#else
    QSKIP("finds the connections among the open files of Linux");
#endif
}

CORAL_TEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
