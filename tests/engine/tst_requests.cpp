// The engine's requests. The poll loop: its request, its pace when the server stumbles or the disk
// refuses (growing waits, error EIDs and unstored replies slow it, a good reply brings it back),
// and its login watchdog. Posting messages, files and receipts: the fields as the server must
// read them, the send results, the size limit for attachments, receipts gathered into one post.

#include <QtTest>

#include "ParserProbe.h"
#include "engine/AttachmentPaths.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/LoginWatchdog.h"
#include "engine/MessageStore.h"
#include "engine/MsgSendReceive.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

const QStringList kSenderFields = {"User_ID",          "UserName",   "Other_ID", "OtherName",
                                   "ClientMessage_ID", "ClientCode", "Unit_ID",  "SessionID"};

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

class TestRequests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() {
        server_.reset(new TimedServer);
        QVERIFY(SignIn(server_->Url("/")));
        sender_.reset(new MsgSendReceive);
        sender_->OnStart();
    }

    void failedPollsAndErrorEidsSlowTheNextPoll();
    void damagedStoreNeverSpins();
    void fullDiskKeepsTheReplyForLater();
    void watchdogAsksForLoginOnEidOneOrSilence();
    void sendResultsAndTextAsTyped();
    void fileFieldsAndSizeLimit();
    void receiptsListTheMessageIds();

private:
    QScopedPointer<TimedServer> server_;
    QScopedPointer<MsgSendReceive> sender_;
};

void TestRequests::failedPollsAndErrorEidsSlowTheNextPoll() {
    TimedServer& server = *server_;
    server.Reply(500, "<html>proxy error</html>");
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
    const auto fields = TestHttpServer::DecodeForm(request.body);
    QCOMPARE(fields.mid(0, 6),
             (QList<QPair<QString, QString>>{{"User_ID", QString::number(kUserId)},
                                             {"SessionID", "session-1"},
                                             {"MaxMessage_ID", "5"},
                                             {"MaxMessageLog_ID", "6"},
                                             {"MaxBellLog_ID", "7"},
                                             {"MaxNumUpdateLog_ID", "8"}}));
    QCOMPARE(FieldNames(request).mid(6), QStringList{"MathNum"});
    // The same position every time: nothing is skipped.
    for (const TestHttpServer::Request& again : server.Requests())
        QCOMPARE(Field(again, "MaxMessage_ID"), QString("5"));

    // An error EID is a reply: parsed, told to the login watchdog, and the next poll waits.
    QSignalSpy eids(&heart, &HeartBeatMsg::heart_msg_eid);
    heart.OnReplyStored(true);
    server.Reply(200, Envelope({{"EID", "3"}, {"ErrorMessage", "系统繁忙"}}));
    heart.OnReqHeartMsg({5, 0, 0, 0});
    QVERIFY(to_parse.wait());
    QCOMPARE(eids.last().at(0).toString(), QString("3"));
    heart.OnReplyStored(true);
    server.Reply(200, kGood);
    heart.OnReqHeartMsg({5, 0, 0, 0});
    QVERIFY(to_parse.wait());
    QVERIFY(server.Gap(4) >= 1000);

    // A good reply written: a later failure waits 1 s again. (Replies that could not be
    // written: damagedStoreNeverSpins.)
    heart.OnReplyStored(true);
    server.Reply(200, "not json");
    heart.OnReqHeartMsg({6, 0, 0, 0});
    QVERIFY(failed.wait());
    QCOMPARE(failed.last().at(0).toInt(), 1000);
    QCOMPARE(failed.size(), 3);
    QCOMPARE(to_parse.size(), 3);
}

// A msg.db that refuses every message, and a server that always has one: the loop asks again,
// but once a second at most, and stores the message as soon as the file takes it.
void TestRequests::damagedStoreNeverSpins() {
    TimedServer& server = *server_;
    server.Reply(200, Reply().Add(From(2001, 41)).Text().toUtf8());
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
void TestRequests::fullDiskKeepsTheReplyForLater() {
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

void TestRequests::watchdogAsksForLoginOnEidOneOrSilence() {
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

void TestRequests::sendResultsAndTextAsTyped() {
    QSignalSpy states(sender_.data(), &MsgSendReceive::msg_send_state);
    QSignalSpy received(server_.data(), &TestHttpServer::received);
    server_->Reply(200, Envelope({{"EID", "7"}, {"ErrorMessage", "对方不是好友"}}));
    sender_->OnMsgSend(2001, "李老师", 1, 1, "x");
    QVERIFY(states.wait());
    QCOMPARE(states.at(0), (QList<QVariant>{1, 0, "对方不是好友"}));
    // No answer to go by: the row stays "being sent".
    server_->Reply(500, Envelope({{"EID", "0"}, {"Message_ID", "3"}}));
    sender_->OnMsgSend(2001, "李老师", 2, 1, "x");
    QVERIFY(received.wait());
    server_->Reply(200, "not json");
    sender_->OnMsgSend(2001, "李老师", 3, 1, "x");
    QVERIFY(received.wait());

    // A later message is answered after both, its text as typed.
    server_->Reply(200, Envelope({{"EID", "0"}, {"Message_ID", "9001"}}));
    const QString text = "a+b=c & d%20 \"它's\" 中文 [微笑]\n第二行";
    sender_->OnMsgSend(2001, "李 老师+", 55, 1, text);
    QVERIFY(states.wait());
    QCOMPARE(states.size(), 2);
    QCOMPARE(states.at(1), (QList<QVariant>{55, 1, "9001"}));
    const TestHttpServer::Request& request = server_->Requests().last();
    QVERIFY(request.target.endsWith("/BasePlate/Interface/IInterfaceJson.asmx/Message_Send"));
    QCOMPARE(FieldNames(request), kSenderFields + QStringList("Content"));
    QCOMPARE(Field(request, "Content"), text);
    QCOMPARE(Field(request, "OtherName"), QString("李 老师+"));
    QCOMPARE(Field(request, "ClientMessage_ID"), QString("55"));
    QCOMPARE(Field(request, "ClientCode"), Account::DeviceId());
}

void TestRequests::fileFieldsAndSizeLimit() {
    server_->Reply(200, Envelope({{"EID", "0"}, {"Message_ID", "12"}}));
    const QByteArray content("\x89PNG\r\n\x1a\n\0\xff", 10);
    QTemporaryDir dir;
    QFile file(dir.filePath("图 片+1.png"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QSignalSpy states(sender_.data(), &MsgSendReceive::msg_send_state);
    sender_->OnMsgSend(-300, "语文组", 56, 3, file.fileName());
    QVERIFY(states.wait());
    const TestHttpServer::Request& request = server_->Requests().last();
    QVERIFY(request.target.endsWith("Message_SendFile"));
    QCOMPARE(FieldNames(request),
             kSenderFields + QStringList({"MsgType", "FileName", "Base64Data"}));
    QCOMPARE(Field(request, "FileName"), QString("图 片+1.png"));
    QCOMPARE(QByteArray::fromBase64(Field(request, "Base64Data").toLatin1()), content);
    // Accepted: found where it was sent from once the server's url replaces the path.
    QCOMPARE(
        AttachmentPaths().Find(Attachment::FromUrl(3, "MsgFile/1.png|图 片+1.png", true, "12")),
        file.fileName());

    // Past the limit the file is not even read.
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(MsgSendReceive::kMaxFileBytes + 1));
    file.close();
    QSignalSpy refused(sender_.data(), &MsgSendReceive::catch_exceptions);
    const int requests = server_->Requests().size();
    sender_->OnMsgSend(2001, "李老师", 57, 5, file.fileName());
    QCOMPARE(refused.size(), 1);
    sender_->OnMsgSend(2001, "李老师", 58, 1, "after");
    QVERIFY(states.wait());
    QCOMPARE(states.last().at(0).toInt(), 58);
    QCOMPARE(server_->Requests().size(), requests + 1);
}

void TestRequests::receiptsListTheMessageIds() {
    server_->Reply(200, Envelope({{"EID", "0"}}));
    const QList<QList<int>> rows = {
        {11, 2001, 0, 0}, {12, 2001, 1, 0}, {13, 2001, 2, 0}, {14, 2001, 0, 1}, {15, 2002, 0, 0}};
    for (const QList<int>& row : rows) {
        MessageRecord msg;
        msg.message_id = row.at(0);
        msg.other_id = row.at(1);
        msg.is_read = row.at(2);
        msg.send_or_receive = row.at(3);
        MessageStore::Insert(msg);
    }
    QSignalSpy received(server_.data(), &TestHttpServer::received);
    const int first = server_->Requests().size();
    sender_->OnMsgHasReceived(1, {1, 2, 3});
    QVERIFY(received.wait());
    sender_->OnMsgHasReceived(1, {7});
    QVERIFY(received.wait());
    sender_->OnMsgIsReaded(2001);
    QVERIFY(received.wait());
    const QList<TestHttpServer::Request> requests = server_->Requests().mid(first);
    QVERIFY(requests.at(0).target.endsWith("Message_ReadMulti"));
    QCOMPARE(FieldNames(requests.at(0)),
             (QStringList{"User_ID", "SessionID", "Unit_ID", "isRead", "MessageIDs"}));
    QCOMPARE(Field(requests.at(0), "isRead"), QString("1"));
    QCOMPARE(Field(requests.at(0), "MessageIDs"), QString("1,2,3,"));
    QCOMPARE(Field(requests.at(1), "MessageIDs"), QString("7"));
    QCOMPARE(Field(requests.at(2), "isRead"), QString("2"));
    QCOMPARE(Field(requests.at(2), "MessageIDs"), QString("11,12,"));

    // Receipts that come together go out together, and a message read needs no delivery receipt.
    const int before = server_->Requests().size();
    sender_->OnMsgHasReceived(1, {11, 21});
    sender_->OnMsgHasReceived(1, {22, 21});
    sender_->OnMsgIsReaded(2001);
    QTRY_COMPARE(server_->Requests().size(), before + 2);
    QMap<QString, QString> ids;
    for (const TestHttpServer::Request& request : server_->Requests().mid(before))
        ids.insert(Field(request, "isRead"), Field(request, "MessageIDs"));
    QCOMPARE(ids.value("1"), QString("21,22,"));
    QCOMPARE(ids.value("2"), QString("11,12,"));
}

CORAL_TEST_GUILESS_MAIN(TestRequests)
#include "tst_requests.moc"
