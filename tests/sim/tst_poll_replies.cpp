#include <QtTest>

#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

// The heartbeat as the client's poll loop meets it: empty lists when a hold ends, EID "1" once
// the session is gone, read receipts coming back as status logs ("Velta.ML") and reminders with
// their per-category numbers ("Velta.NumUpdate"), as the parser reads them. A poll woken by news
// is met by the engine's own tests.
class TestPollReplies : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(sim_.IsRunning()); }
    void holdEndsWithEmptyLists();
    void expiredSessionsAnswerEid1();
    void readReceiptsBecomeStatusLogs();
    void remindersCarryCategoryAndUnreadNumbers();

private:
    SimServer sim_{300};
};

void TestPollReplies::holdEndsWithEmptyLists() {
    const QString session = sim_.OpenSession("zhanglei");
    const QString num =
        Post(PollUrl(sim_), PollBody("10001", session)).Text("Velta.MaxNumUpdateLog_ID");
    const Json idle = Post(PollUrl(sim_), CaughtUpBody(sim_, "10001", session));
    QCOMPARE(idle.Text("Velta.EID"), QString("0"));
    for (const char* list : {"Velta.M", "Velta.ML", "Velta.B", "Velta.NumUpdate"}) {
        QVERIFY2(idle.Value(list).isArray(), list);
        QCOMPARE(idle.Array(list).size(), 0);
    }
    QCOMPARE(idle.Text("Velta.MaxNumUpdateLog_ID"), num);
}

void TestPollReplies::expiredSessionsAnswerEid1() {
    SimServer sim(25000);
    QCOMPARE(Post(PollUrl(sim), PollBody("10001", "no-such-session")).Text("Velta.EID"),
             QString("1"));
    const QString session = sim.OpenSession("zhanglei");
    // A session is only good for its own user.
    QCOMPARE(Post(PollUrl(sim), PollBody("10002", session)).Text("Velta.EID"), QString("1"));

    SimCall held(HttpBase::kPost, PollUrl(sim), CaughtUpBody(sim, "10001", session));
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 30000);
    QCOMPARE(sim.ExpireSessions("zhanglei"), 1);
    QVERIFY(held.Wait());
    QCOMPARE(held.Text("Velta.EID"), QString("1"));
    QVERIFY(!held.Text("Velta.ErrorMessage").isEmpty());

    const Json login = Post(Services::LoginUrl(sim.UnitBase()), LoginBody("zhanglei", "123456"));
    const QString fresh = login.Text("Velta.SessionID");
    QCOMPARE(Post(PollUrl(sim), PollBody("10001", fresh)).Text("Velta.EID"), QString("0"));
}

void TestPollReplies::readReceiptsBecomeStatusLogs() {
    SimPoller sender(sim_, "10002"), reader(sim_, "10001"), reader_elsewhere(sim_, "10001");
    QStringList ids;
    for (const QString& text : {"一", "二", "三"})
        ids << QString::number(sim_.SendChat("wangfang", "zhanglei", text));
    sender.Poll();
    reader_elsewhere.Poll();

    // Delivered only: no status log for anyone.
    QCOMPARE(reader.Receipt(1, ids.join(',') + ',').Text("Velta.EID"), QString("0"));
    QCOMPARE(sender.Poll().Array("Velta.ML").size(), 0);

    QCOMPARE(reader.Receipt(2, ids.join(',') + ',').Text("Velta.EID"), QString("0"));
    for (SimPoller* side : {&sender, &reader_elsewhere}) {
        const QJsonArray logs = side->Poll().Array("Velta.ML");
        QCOMPARE(logs.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QJsonObject log = logs.at(i).toObject();
            QCOMPARE(log.value("Message_ID").toString(), ids.at(i));
            QCOMPARE(
                QStringList({log.value("Send_ID").toString(), log.value("Receive_ID").toString(),
                             log.value("ToStat").toString(), log.value("LogType").toString()}),
                QStringList({"10002", "10001", "2", "1"}));
            QVERIFY(QDateTime::fromString(log.value("LogDate").toString(), "yyyy-MM-dd HH:mm")
                        .isValid());
        }
    }
    // Read twice makes no second log; a message of someone else's makes none at all.
    reader.Receipt(2, ids.first());
    const qint64 foreign = sim_.SendChat("zhaoli", "wangfang", "别人的");
    reader.Receipt(2, QString::number(foreign));
    QCOMPARE(sender.Poll().Array("Velta.ML").size(), 0);

    // A device that starts later sees both sides of the conversation as read.
    const QString fresh = sim_.OpenSession("wangfang");
    const QJsonArray history = Messages(sim_, "10002", fresh);
    int read = 0;
    for (const QJsonValue& m : history) {
        if (ids.contains(m.toObject().value("Message_ID").toString()))
            read += m.toObject().value("IsRead").toString() == "2";
    }
    QCOMPARE(read, 3);
    QVERIFY(reader.Receipt(2, "").Text("Velta.EID") != "0");

    // In a group, the log goes to the sender and the reader, not to the other members.
    SimPoller group_sender(sim_, "10007"), other(sim_, "10008");
    const QString in_group = QString::number(sim_.SendChat("wujun", "-301", "集合"));
    reader.Poll();
    other.Poll();
    reader.Receipt(2, in_group);
    for (SimPoller* side : {&group_sender, &reader}) {
        const QJsonArray logs = side->Poll().Array("Velta.ML");
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.at(0).toObject().value("Receive_ID").toString(), QString("-301"));
        QCOMPARE(logs.at(0).toObject().value("Send_ID").toString(), QString("10007"));
    }
    QCOMPARE(other.Poll().Array("Velta.ML").size(), 0);
}

void TestPollReplies::remindersCarryCategoryAndUnreadNumbers() {
    SimPoller user(sim_, "10002");
    const qint64 id = sim_.Remind("wangfang", 2202, "报修完成", "17");
    Json reply = user.Poll();
    const QJsonObject m = reply.Array("Velta.M").last().toObject();
    QCOMPARE(m.value("Message_ID").toString(), QString::number(id));
    QCOMPARE(QStringList({m.value("Send_ID").toString(), m.value("Send_ID2").toString(),
                          m.value("SendName").toString(), m.value("MsgUrl").toString()}),
             QStringList({"0", "2202", "保修状态提醒", "17"}));
    QCOMPARE(reply.Array("Velta.B").size(), 1);
    QJsonObject update = reply.Array("Velta.NumUpdate").last().toObject();
    QCOMPARE(QStringList({update.value("Remind_ID").toString(), update.value("Num").toString(),
                          update.value("IsCount").toString()}),
             QStringList({"2202", "1", "1"}));
    QCOMPARE(reply.Text("Velta.MaxNumUpdateLog_ID"), update.value("NumUpdateLog_ID").toString());

    sim_.Remind("wangfang", 2202, "又一条", "18");
    QCOMPARE(user.Poll().Array("Velta.NumUpdate").last().toObject().value("Num").toString(),
             QString("2"));
    sim_.Remind("wangfang", 9425, "申领", "");
    QCOMPARE(user.Poll().Array("Velta.NumUpdate").last().toObject().value("IsCount").toString(),
             QString("0"));

    // Reading a reminder gives a LogType 3 log and clears its category in the same reply.
    user.Receipt(2, QString::number(id));
    reply = user.Poll();
    QCOMPARE(reply.Array("Velta.ML").size(), 1);
    QCOMPARE(reply.Array("Velta.ML").at(0).toObject().value("LogType").toString(), QString("3"));
    update = reply.Array("Velta.NumUpdate").last().toObject();
    QCOMPARE(update.value("Remind_ID").toString(), QString("2202"));
    QCOMPARE(update.value("Num").toString(), QString("0"));

    QVERIFY(sim_.SetUnread("wangfang", 9417, 5));
    QCOMPARE(user.Poll().Array("Velta.NumUpdate").last().toObject().value("Num").toString(),
             QString("5"));
    QVERIFY(!sim_.SetUnread("nobody", 9417, 5));
}

CORAL_TEST_GUILESS_MAIN(TestPollReplies)
#include "tst_poll_replies.moc"
