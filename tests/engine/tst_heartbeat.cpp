// The poll loop: the request and its reply check, its pace when the server stumbles or the disk
// refuses (failed polls are sent again after a growing wait, replies with an error EID or that
// cannot be stored slow the next poll down, a good reply brings it back to full speed), and the
// login watchdog that watches it.

#include <QElapsedTimer>
#include <QtTest>

#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/LoginWatchdog.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

const QByteArray kGood = Envelope({{"EID", "0"}});

// When each request reached the server, in ms since the server was made.
class TimedServer : public TestHttpServer {
public:
    TimedServer() {
        clock_.start();
        connect(this, &TestHttpServer::received, [this] { times_.append(clock_.elapsed()); });
    }
    qint64 Gap(int request) const { return times_.at(request) - times_.at(request - 1); }
    bool WaitFor(int requests, int timeout_ms = 10000) {
        return QTest::qWaitFor([&] { return Requests().size() >= requests; }, timeout_ms);
    }

private:
    QElapsedTimer clock_;
    QList<qint64> times_;
};

}  // namespace

class TestHeartBeat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }

    void failedPollIsSentAgainAfterGrowingWaits();
    void errorEidOrUnstoredReplySlowsTheNextPoll();
    void damagedStoreNeverSpins();
    void fullDiskKeepsTheReplyForLater();
    void watchdogAsksForLoginOnEidOneOrSilence();
};

void TestHeartBeat::failedPollIsSentAgainAfterGrowingWaits() {
    TimedServer server;
    server.Reply(500, "<html>proxy error</html>");
    QVERIFY(SignIn(server.Url("/")));
    HeartBeatMsg heart;
    QSignalSpy failed(&heart, &HeartBeatMsg::heart_msg_failed);
    QSignalSpy to_parse(&heart, &HeartBeatMsg::heart_msg_to_parse);
    heart.OnStart();
    heart.OnReqHeartMsg({5, 6, 7, 8});
    QVERIFY(server.WaitFor(2));
    QVERIFY(server.Gap(1) >= 1000);
    server.Reply(200, kGood);
    QVERIFY(to_parse.wait(5000));
    QVERIFY(server.Gap(2) >= 2000);
    QCOMPARE(failed.size(), 2);
    QCOMPARE(failed.at(0).at(0).toInt(), 1000);
    QCOMPARE(failed.at(1).at(0).toInt(), 2000);
    // Only the good reply reaches the parser.
    QCOMPARE(to_parse.size(), 1);

    const TestHttpServer::Request& request = server.Requests().first();
    QCOMPARE(request.target, QByteArray("/BasePlate/Interface/IInterfaceJson.asmx/"
                                        "Message_GetByMaxID2"));
    auto fields = TestHttpServer::DecodeForm(request.body);
    QCOMPARE(fields.size(), 7);
    const QPair<QString, QString> math_num = fields.takeLast();
    QCOMPARE(fields, (QList<QPair<QString, QString>>{{"User_ID", QString::number(kUserId)},
                                                     {"SessionID", "session-1"},
                                                     {"MaxMessage_ID", "5"},
                                                     {"MaxMessageLog_ID", "6"},
                                                     {"MaxBellLog_ID", "7"},
                                                     {"MaxNumUpdateLog_ID", "8"}}));
    QCOMPARE(math_num.first, QString("MathNum"));
    bool numeric = false;
    const int number = math_num.second.toInt(&numeric);
    QVERIFY(numeric && number >= 0 && number < 100);
    // The same position every time: nothing is skipped.
    for (const TestHttpServer::Request& again : server.Requests())
        QCOMPARE(Field(again, "MaxMessage_ID"), QString("5"));
}

void TestHeartBeat::errorEidOrUnstoredReplySlowsTheNextPoll() {
    TimedServer server;
    server.Reply(200, Envelope({{"EID", "3"}, {"ErrorMessage", "系统繁忙"}}));
    QVERIFY(SignIn(server.Url("/")));
    HeartBeatMsg heart;
    QSignalSpy to_parse(&heart, &HeartBeatMsg::heart_msg_to_parse);
    QSignalSpy failed(&heart, &HeartBeatMsg::heart_msg_failed);
    QSignalSpy eids(&heart, &HeartBeatMsg::heart_msg_eid);
    heart.OnStart();
    heart.OnReqHeartMsg({1, 0, 0, 0});
    // An error EID is a reply: parsed, and told to the login watchdog.
    QVERIFY(to_parse.wait());
    QCOMPARE(eids.first().at(0).toString(), QString("3"));
    heart.OnReplyStored(true);
    server.Reply(200, kGood);
    heart.OnReqHeartMsg({1, 0, 0, 0});
    QVERIFY(to_parse.wait());
    QVERIFY(server.Gap(1) >= 1000);

    // A reply the parser could not write waits longer.
    heart.OnReplyStored(false);
    heart.OnReqHeartMsg({1, 0, 0, 0});
    QVERIFY(to_parse.wait(5000));
    QVERIFY(server.Gap(2) >= 2000);

    // Written at last: the next poll leaves at once, and a later failure waits 1 s again.
    heart.OnReplyStored(true);
    server.Reply(200, "not json");
    heart.OnReqHeartMsg({2, 0, 0, 0});
    QVERIFY(failed.wait());
    QCOMPARE(failed.last().at(0).toInt(), 1000);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(to_parse.size(), 3);
}

// A msg.db that refuses every message, and a server that always has one: the loop asks again,
// but once a second at most, and stores the message as soon as the file takes it.
void TestHeartBeat::damagedStoreNeverSpins() {
    TimedServer server;
    server.Reply(200, Reply().Add(From(2001, 41)).Text().toUtf8());
    QVERIFY(SignIn(server.Url("/")));
    QVERIFY(
        SqlExec::Update("CREATE TRIGGER refuse BEFORE INSERT ON message_all BEGIN SELECT "
                        "RAISE(ABORT, 'disk'); END;"));
    HeartBeatMsg heart;
    ParserProbe probe;
    MsgParse& parse = probe.parse;
    QObject::connect(&parse, &MsgParse::req_heart_msg, &heart, &HeartBeatMsg::OnReqHeartMsg,
                     Qt::QueuedConnection);
    QObject::connect(&heart, &HeartBeatMsg::heart_msg_to_parse, &parse,
                     &MsgParse::OnHeartBeatMsgToParse, Qt::QueuedConnection);
    QObject::connect(&parse, &MsgParse::reply_stored, &heart, &HeartBeatMsg::OnReplyStored,
                     Qt::QueuedConnection);
    QSignalSpy stored(&parse, &MsgParse::reply_stored);
    heart.OnStart();
    heart.OnReqHeartMsg(probe.LastPoll());

    QVERIFY(server.WaitFor(3));
    QVERIFY(server.Gap(1) >= 1000);
    QVERIFY(server.Gap(2) >= 2000);
    QCOMPARE(MessageCount(), 0);
    QVERIFY(!stored.isEmpty() && !stored.last().at(0).toBool());

    QVERIFY(SqlExec::Update("DROP TRIGGER refuse;"));
    QTRY_COMPARE_WITH_TIMEOUT(MessageCount(), 1, 20000);
    QTRY_VERIFY(stored.last().at(0).toBool());
    QCOMPARE(Message(41).value("other_id").toInt(), 2001);
}

// SQLite's page limit stands in for a disk that is full.
void TestHeartBeat::fullDiskKeepsTheReplyForLater() {
    QVERIFY(SignIn());
    ParserProbe probe;
    QSignalSpy stored(&probe.parse, &MsgParse::reply_stored);
    Reply reply;
    for (int i = 1; i <= 40; ++i) {
        ChatMsg msg = From(2000 + i % 4, 100 + i);
        msg.content = QString(3000, QChar(0x4e00 + i));
        reply.Add(msg);
    }
    const int pages = SqlExec::SelectInt("PRAGMA page_count;");
    SqlExec::SelectValue(QStringLiteral("PRAGMA max_page_count = %1;").arg(pages + 2));
    probe.Feed(reply);
    QCOMPARE(stored.last().at(0).toBool(), false);
    const int kept = MessageCount();
    QVERIFY(kept < 40);
    // The position passes only what was written.
    QCOMPARE(probe.LastPoll().first(), kept == 0 ? 0 : 100 + kept);

    SqlExec::SelectValue("PRAGMA max_page_count = 1073741823;");
    probe.Feed(reply);
    QCOMPARE(stored.last().at(0).toBool(), true);
    QCOMPARE(MessageCount(), 40);
    QCOMPARE(Count("SELECT COUNT(DISTINCT message_id) FROM message_all"), 40);
    QCOMPARE(probe.LastPoll().first(), 140);
    QCOMPARE(Count("SELECT SUM(number) FROM message_list"), 40);
}

void TestHeartBeat::watchdogAsksForLoginOnEidOneOrSilence() {
    LoginWatchdog watchdog(50);
    QSignalSpy re_login(&watchdog, &LoginWatchdog::re_login);
    watchdog.OnHeartMsgEid("0");
    QVERIFY(watchdog.IsRunning());
    QVERIFY(re_login.wait());
    QVERIFY(!watchdog.IsRunning());
    // Silence goes on: a later timer of three intervals fires after any second alarm would have.
    QTimer later;
    later.setSingleShot(true);
    QSignalSpy later_fired(&later, &QTimer::timeout);
    later.start(150);
    QVERIFY(later_fired.wait());
    QCOMPARE(re_login.size(), 1);

    // Any EID but "1" restarts the watch; "1" ends it at once.
    watchdog.OnHeartMsgEid("3");
    QVERIFY(watchdog.IsRunning());
    watchdog.OnHeartMsgEid("1");
    QCOMPARE(re_login.size(), 2);
    QVERIFY(!watchdog.IsRunning());
}

CORAL_TEST_GUILESS_MAIN(TestHeartBeat)
#include "tst_heartbeat.moc"
