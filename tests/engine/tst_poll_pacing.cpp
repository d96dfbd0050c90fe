// The pace of the poll loop when the server stumbles or the disk refuses: failed polls are sent
// again after a growing wait, replies with an error EID or that cannot be stored slow the next
// poll down, and a good reply brings the loop back to full speed.

#include <QElapsedTimer>
#include <QtTest>

#include "EngineTestEnv.h"
#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
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

QString MaxMessageId(const TestHttpServer::Request& request) {
    return Field(request, "MaxMessage_ID");
}

}  // namespace

class TestPollPacing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }

    void failedPollIsSentAgainAfterGrowingWaits();
    void errorEidOrUnstoredReplySlowsTheNextPoll();
    void damagedStoreNeverSpins();
    void fullDiskKeepsTheReplyForLater();
};

void TestPollPacing::failedPollIsSentAgainAfterGrowingWaits() {
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
    // The same position every time: nothing is skipped.
    for (const TestHttpServer::Request& request : server.Requests())
        QCOMPARE(MaxMessageId(request), QString("5"));

    // A stored good reply starts the waits over.
    heart.OnReplyStored(true);
    server.Reply(200, "not json");
    heart.OnReqHeartMsg({9, 6, 7, 8});
    QVERIFY(failed.wait());
    QCOMPARE(failed.last().at(0).toInt(), 1000);
    QCOMPARE(MaxMessageId(server.Requests().at(3)), QString("9"));
}

void TestPollPacing::errorEidOrUnstoredReplySlowsTheNextPoll() {
    TimedServer server;
    server.Reply(200, Envelope({{"EID", "3"}, {"ErrorMessage", "系统繁忙"}}));
    QVERIFY(SignIn(server.Url("/")));
    HeartBeatMsg heart;
    QSignalSpy to_parse(&heart, &HeartBeatMsg::heart_msg_to_parse);
    QSignalSpy failed(&heart, &HeartBeatMsg::heart_msg_failed);
    heart.OnStart();
    heart.OnReqHeartMsg({1, 0, 0, 0});
    QVERIFY(to_parse.wait());
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
    server.Reply(502, QByteArray());
    heart.OnReqHeartMsg({2, 0, 0, 0});
    QVERIFY(failed.wait());
    QCOMPARE(failed.last().at(0).toInt(), 1000);
    QVERIFY(failed.size() == 1);
}

// A msg.db that refuses every message, and a server that always has one: the loop asks again,
// but once a second at most, and stores the message as soon as the file takes it.
void TestPollPacing::damagedStoreNeverSpins() {
    TimedServer server;
    server.Reply(200, Reply().Add(From(2001, 41)).Text().toUtf8());
    QVERIFY(SignIn(server.Url("/")));
    QVERIFY(
        SqlExec::Update("CREATE TRIGGER refuse BEFORE INSERT ON message_all BEGIN SELECT "
                        "RAISE(ABORT, 'disk'); END;"));
    HeartBeatMsg heart;
    MsgParse parse;
    QObject::connect(&parse, &MsgParse::req_heart_msg, &heart, &HeartBeatMsg::OnReqHeartMsg,
                     Qt::QueuedConnection);
    QObject::connect(&heart, &HeartBeatMsg::heart_msg_to_parse, &parse,
                     &MsgParse::OnHeartBeatMsgToParse, Qt::QueuedConnection);
    QObject::connect(&parse, &MsgParse::reply_stored, &heart, &HeartBeatMsg::OnReplyStored,
                     Qt::QueuedConnection);
    QObject::connect(&parse, &MsgParse::update_connect_list_ui,
                     [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
    QObject::connect(&parse, &MsgParse::msgs_sys_has_receive,
                     [](MessageSysItemInfoPointers list) { qDeleteAll(list); });
    QSignalSpy stored(&parse, &MsgParse::reply_stored);
    heart.OnStart();
    parse.OnStart();

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
void TestPollPacing::fullDiskKeepsTheReplyForLater() {
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

CORAL_TEST_GUILESS_MAIN(TestPollPacing)
#include "tst_poll_pacing.moc"
