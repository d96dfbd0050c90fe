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
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestMain.h"

namespace {

class PlainHttp : public HttpBase {
public:
    bool indexed = false;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status) override {
        if (indexed) {
            ReplyIndexed(reply, data, status);
        } else {
            ReplyPlain(data, status);
        }
    }
};

struct Answer {
    bool called = false;
    bool ok = false;
    QByteArray data;
    QString status;
    int index = -2;
};

bool WaitFor(const Answer& answer) {
    return QTest::qWaitFor([&answer] { return answer.called; }, 5000);
}

HttpCallback Record(Answer* answer) {
    return [answer](bool ok, const QByteArray& data, QString status) {
        *answer = {true, ok, data, status, -1};
    };
}

// Announces 4000 bytes of body after a 200 status line, sends 1000 and closes.
class CuttingServer : public QTcpServer {
public:
    CuttingServer() {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->readAll();
                if (socket->state() != QAbstractSocket::ConnectedState)
                    return;
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 4000\r\n\r\n" +
                              QByteArray(1000, 'x'));
                socket->disconnectFromHost();
            });
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/cut").arg(serverPort()); }
};

// Answers every request with "{}" and keeps the connection open for the next one.
class KeepingServer : public QTcpServer {
public:
    KeepingServer() {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                if (socket->readAll().contains("\r\n\r\n"))
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}");
            });
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/n").arg(serverPort()); }
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
    void modesOnTheWire();
    void formBodyRoundTripsEveryCharacter();
    void fileFieldIsTheFileInBase64();
    void logShowsNoSecretsAndNoFiles();
    void errorsReachTheCaller();
    void indexedCallbackCarriesItsIndex();
    void unknownModeSendsNothing();
    void reqPackageSimpleAlwaysSignals();
    void keptConnectionSendsRequestsAtOnce();
};

void TestHttp::modesOnTheWire() {
    TestHttpServer server;
    PlainHttp http;
    const QByteArray body = FormBody().Add("a", "1").Add("b", "x").Encode();

    Answer get;
    http.Request(HttpBase::kGet, server.Url("/m?q=1"), body, Record(&get));
    QVERIFY(WaitFor(get));
    Answer post;
    http.Request(HttpBase::kPost, server.Url("/m"), body, Record(&post));
    QVERIFY(WaitFor(post));
    Answer post_utf8;
    http.Request(HttpBase::kPostUtf8, server.Url("/m"), body, Record(&post_utf8));
    QVERIFY(WaitFor(post_utf8));

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

    QVERIFY(post.ok);
    QCOMPARE(post.status, QString("200"));
    QCOMPARE(post.data, QByteArray("{}"));
}

void TestHttp::formBodyRoundTripsEveryCharacter() {
    TestHttpServer server;
    PlainHttp http;
    const QString text = QStringLiteral("1+1=2 & 50% \"ok\" 你好，世界 a/b?c#d");
    const QString base64 = QStringLiteral("ab+/cd==");
    Answer answer;
    http.Request(
        HttpBase::kPost, server.Url("/f"),
        FormBody().Add("Content", text).Add("Base64Data", base64).Add("名字", "值").Encode(),
        Record(&answer));
    QVERIFY(WaitFor(answer));
    const auto fields = TestHttpServer::DecodeForm(server.Requests().first().body);
    QCOMPARE(fields.size(), 3);
    QCOMPARE(fields[0], qMakePair(QString("Content"), text));
    QCOMPARE(fields[1], qMakePair(QString("Base64Data"), base64));
    QCOMPARE(fields[2], qMakePair(QString("名字"), QString("值")));

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
    const QByteArray body = FormBody()
                                .Add("Name", "a+b")
                                .AddFileBase64("Base64Data", file.fileName())
                                .AddFileBase64("Missing", dir.filePath("gone"))
                                .Add("Last", "z")
                                .Encode();
    const auto fields = TestHttpServer::DecodeForm(body);
    QCOMPARE(fields.size(), 4);
    QCOMPARE(fields[1].second.toLatin1(), content.toBase64());
    QCOMPARE(fields[2], qMakePair(QString("Missing"), QString()));
    QCOMPARE(fields[3], qMakePair(QString("Last"), QString("z")));
}

void TestHttp::logShowsNoSecretsAndNoFiles() {
    static QStringList log;
    log.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { log.append(text); });
    TestHttpServer server;
    PlainHttp http;
    Answer answer;
    const QString file(5000, QLatin1Char('Q'));
    http.Request(HttpBase::kPost, server.Url("/l"),
                 FormBody()
                     .Add("loginid", "zhanglei")
                     .Add("encyptpassword", "ENCODED-PSW")
                     .Add("SessionID", "SESSION-42")
                     .Add("Base64Data", file)
                     .Encode(),
                 Record(&answer));
    qInstallMessageHandler(previous);
    QVERIFY(WaitFor(answer));
    const QString text = log.join('\n');
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
    Answer not_found;
    http.Request(HttpBase::kPost, server.Url("/missing"), "a=1", Record(&not_found));
    QVERIFY(WaitFor(not_found));
    QVERIFY(!not_found.ok);
    QCOMPARE(not_found.status, QString("404"));
    QCOMPARE(not_found.data, QByteArray("{\"Velta\":{\"EID\":\"9\"}}"));

    // The status line said 200, but the body broke off: a failed connection, not an answer.
    CuttingServer cutting;
    Answer cut;
    http.Request(HttpBase::kGet, cutting.Url(), QByteArray(), Record(&cut));
    QVERIFY(WaitFor(cut));
    QVERIFY(!cut.ok);
    QCOMPARE(cut.status, QString("0"));
    QVERIFY(cut.data.isEmpty());

    // Bound but not listening: connections are refused, and no one else can take the port.
    QTcpSocket bound;
    QVERIFY(bound.bind(QHostAddress(QHostAddress::LocalHost), 0));
    const quint16 port = bound.localPort();
    Answer refused;
    http.Request(HttpBase::kGet, QStringLiteral("http://127.0.0.1:%1/").arg(port), QByteArray(),
                 Record(&refused));
    QVERIFY(WaitFor(refused));
    QVERIFY(!refused.ok);
    QCOMPARE(refused.status, QString("0"));
    QVERIFY(refused.data.isEmpty());
}

void TestHttp::indexedCallbackCarriesItsIndex() {
    TestHttpServer server;
    PlainHttp http;
    http.indexed = true;
    QList<int> indexes;
    auto callback = [&indexes](bool ok, const QByteArray&, QString, int index) {
        if (ok)
            indexes.append(index);
    };
    http.Request(HttpBase::kPost, server.Url("/i"), "x=1", nullptr, 7, callback);
    http.Request(HttpBase::kPost, server.Url("/i"), "x=2", nullptr, 8, callback);
    QVERIFY(QTest::qWaitFor([&indexes] { return indexes.size() == 2; }, 5000));
    std::sort(indexes.begin(), indexes.end());
    QCOMPARE(indexes, (QList<int>{7, 8}));
}

void TestHttp::unknownModeSendsNothing() {
    TestHttpServer server;
    PlainHttp http;
    Answer unknown;
    http.Request(3, server.Url("/unknown"), "a=1", Record(&unknown));
    // A request made after it is answered; the unknown one would have come first.
    PlainHttp later;
    Answer answer;
    later.Request(HttpBase::kPost, server.Url("/later"), "a=1", Record(&answer));
    QVERIFY(WaitFor(answer));
    QVERIFY(!unknown.called);
    QCOMPARE(server.Requests().size(), 1);
    QCOMPARE(server.Requests().first().target, QByteArray("/later"));
}

void TestHttp::reqPackageSimpleAlwaysSignals() {
    TestHttpServer server;
    server.Reply(500, "oops");
    ReqPackageSimple package;
    QSignalSpy spy(&package, &ReqPackageSimple::req_data_ready);
    QUrlQuery query;
    query.addQueryItem("k", "a+b");
    package.Start(42, false, server.Url("/s"), query);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.first().at(0).toInt(), 42);
    QCOMPARE(spy.first().at(1).toBool(), false);
    QCOMPARE(spy.first().at(2).toString(), QString("500"));
    QCOMPARE(package.Data(), QByteArray("oops"));
    QCOMPARE(server.Requests().first().body, QByteArray("k=a%2Bb"));
}

void TestHttp::keptConnectionSendsRequestsAtOnce() {
#ifdef Q_OS_LINUX
    // A body held back until the server acknowledges the headers costs up to 40 ms a request.
    KeepingServer server;
    PlainHttp http;
    Answer first;
    http.Request(HttpBase::kPost, server.Url(), "a=1", Record(&first));
    QVERIFY(WaitFor(first));
    const QList<int> kept = ConnectionsTo(server.serverPort());
    QVERIFY(!kept.isEmpty());
    for (const int fd : kept)
        QVERIFY(TcpNoDelay::IsSet(fd));

    Answer second;
    http.Request(HttpBase::kPost, server.Url(), "a=2", Record(&second));
    QVERIFY(WaitFor(second));
    QVERIFY(second.ok);
    QCOMPARE(ConnectionsTo(server.serverPort()), kept);
#else
    QSKIP("finds the connections among the open files of Linux");
#endif
}

CORAL_TEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
