// The HTTP layer: the three modes on the wire, form bodies with files, what reaches the log and
// the caller, answers far larger than any real one given up on the way, and kept connections.
// The reply reader: dot paths, arrays and single objects, text that is no JSON, saved files.

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
#include "base/Json.h"
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

// Answers a request with `size` bytes of body, its length announced or not, written as the
// client takes it; tells how much of the body went out before the client went away.
class BigServer : public QTcpServer {
public:
    BigServer(qint64 size, bool announced) {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this, size, announced] {
            QTcpSocket* socket = nextPendingConnection();
            const auto more = [this, socket, size] {
                if (socket->bytesToWrite() > kChunk || written_ >= size)
                    return;
                const qint64 chunk = qMin(kChunk, size - written_);
                socket->write(QByteArray(static_cast<int>(chunk), 'x'));
                written_ += chunk;
                if (written_ >= size)
                    socket->disconnectFromHost();
            };
            connect(socket, &QTcpSocket::readyRead, socket, [socket, size, announced, more] {
                if (!socket->readAll().contains("\r\n\r\n"))
                    return;
                QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
                if (announced)
                    head += "Content-Length: " + QByteArray::number(size) + "\r\n";
                socket->write(head + "Connection: close\r\n\r\n");
                more();
            });
            connect(socket, &QTcpSocket::bytesWritten, socket, more);
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/big").arg(serverPort()); }
    qint64 Written() const { return written_; }

private:
    static constexpr qint64 kChunk = 256 * 1024;
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
    void logShowsNoSecretsAndErrorsReachTheCaller();
    void tooLargeAnswersAreGivenUp_data();
    void tooLargeAnswersAreGivenUp();
    void keptConnectionSendsRequestsAtOnce();
    void jsonPathsInvalidTextAndFiles();
};

void TestHttp::modesAndFormBodyOnTheWire() {
    TestHttpServer server;
    PlainHttp http;
    const QString text = QStringLiteral("1+1=2 & 50% \"ok\" 你好，世界 a/b?c#d");
    const QString base64 = QStringLiteral("ab+/cd==");
    // A file goes as its Base64 text, "+/8=": the three characters that need escaping.
    QTemporaryDir dir;
    QFile file(dir.filePath("图 片.png"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("\xfb\xff") == 2);
    file.close();
    const QByteArray body = FormBody()
                                .Add("Content", text)
                                .Add("Base64Data", base64)
                                .AddFileBase64("File", file.fileName())
                                .AddFileBase64("Missing", dir.filePath("x"))
                                .Add("名字", "值")
                                .Encode();
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
             (QList<QPair<QString, QString>>{{"Content", text},
                                             {"Base64Data", base64},
                                             {"File", "+/8="},
                                             {"Missing", ""},
                                             {"名字", "值"}}));
}

void TestHttp::logShowsNoSecretsAndErrorsReachTheCaller() {
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

    server.Reply(404, "{\"Velta\":{\"EID\":\"9\"}}");
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
    const QString value = QStringLiteral("1+1=2 & 50% 你好 a/b?c#d");
    QUrlQuery query;
    query.addQueryItem("k", value);
    package.Start(42, false, server.Url("/s"), query);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.first(), (QList<QVariant>{42, false, "500"}));
    QCOMPARE(package.Data(), QByteArray("oops"));
    QCOMPARE(server.Requests().last().body, FormBody().Add("k", value).Encode());
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

    // Requests that bring files may take more, and get it whole.
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

void TestHttp::jsonPathsInvalidTextAndFiles() {
    const Json json(
        QStringLiteral(R"({"Velta":{"EID":"0","V":{"No":"2.0.19"},"N":5},"EID":"top"})"));
    QVERIFY(json.IsValid());
    QCOMPARE(json.Text("Velta.EID"), QString("0"));
    QCOMPARE(json.Text("Velta.V.No"), QString("2.0.19"));
    QCOMPARE(json.Text("Velta.Missing", "Err"), QString("Err"));
    QCOMPARE(json.Text("Velta.N", "Err"), QString("Err"));  // numbers are not text

    const QJsonObject velta = json.Value("Velta").toObject();
    QCOMPARE(json.Text("V.No", QString(), velta), QString("2.0.19"));

    const Json lists(QStringLiteral(R"({"Velta":{"M":[{"a":"1"},{"a":"2"}],"R":{"a":"3"}}})"));
    QCOMPARE(lists.Array("Velta.M").size(), 2);
    QVERIFY(lists.Array("Velta.R").isEmpty());
    QCOMPARE(lists.Objects("Velta.R").size(), 1);
    QCOMPARE(lists.Objects("Velta.M").size(), 2);
    QVERIFY(lists.Objects("Velta.None").isEmpty());

    const Json bad(QStringLiteral("<html>not json</html>"));
    QVERIFY(!bad.IsValid());
    QCOMPARE(bad.Text("Velta.EID", "d"), QString("d"));

    const Json missing(QStringLiteral("/nonexistent/file.json"), true);
    QVERIFY(!missing.IsValid());

    // Saved and read back.
    QTemporaryDir dir;
    const QString path = dir.filePath("update.json");
    const Json update(QStringLiteral(R"({"Velta":{"V":{"No":"2.0.9","Url":"安装包.exe"}}})"));
    update.Save(path);
    QCOMPARE(Json(path, true).Text("Velta.V.Url"), QString("安装包.exe"));
    // A shorter reply replaces a longer one whole.
    Json(QStringLiteral(R"({"Velta":{"V":{"No":"2"}}})")).Save(path);
    QCOMPARE(Json(path, true).Text("Velta.V.No"), QString("2"));
    // A folder that is not there is not made: nothing is written.
    update.Save(dir.filePath("missing/dir/x.json"));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
}

CORAL_TEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
