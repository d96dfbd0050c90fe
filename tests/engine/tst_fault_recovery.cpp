// The whole engine against platform-sim while it misbehaves, one fault at a time: the poll
// answered with HTTP 500, with a page that is not JSON, cut off, padded far beyond any real
// answer, or held past the watchdog; and a send met by the same faults. The engine
// keeps polling or recovers, and every message arrives exactly once.

#include <QtTest>

#include "SimEngine.h"
#include "engine/EngineMetaTypes.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

constexpr int kZhangLei = 10001;
constexpr int kWangFang = 10002;
const char kPoll[] = "Message_GetByMaxID2";
const char kSend[] = "Message_Send";

// 张磊 with a running engine, polling until the platform holds a poll.
bool StartZhang(SimEngine& zhang, SimServer& sim) {
    if (!zhang.Ok())
        return false;
    zhang.Start();
    return QTest::qWaitFor([&sim] { return sim.HeldPolls() == 1; }, 10000);
}

bool AllStored(const QList<qint64>& ids, int times = -1) {
    for (qint64 id : ids) {
        const int stored =
            Count("SELECT COUNT(*) FROM message_all WHERE message_id = :id", {{"id", id}});
        if (times < 0 ? stored == 0 : stored != times)
            return false;
    }
    return true;
}

QVariantMap RowWithContent(const QString& text) {
    return Row("SELECT * FROM message_all WHERE content = :c ORDER BY id DESC", {{"c", text}});
}

}  // namespace

class TestFaultRecovery : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }

    void pollKeepsGoingThroughFaults_data();
    void pollKeepsGoingThroughFaults();
    void pollHeldPastTheWatchdogRecoversOnNextLogin();
    void sendFaultsLeaveTheMessageToSendAgain_data();
    void sendFaultsLeaveTheMessageToSendAgain();
};

void TestFaultRecovery::pollKeepsGoingThroughFaults_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    QTest::newRow("status 500") << int(FaultKind::kStatus) << 500;
    QTest::newRow("not json") << int(FaultKind::kNotJson) << 0;
    QTest::newRow("dropped") << int(FaultKind::kDrop) << 0;
    QTest::newRow("50 MB") << int(FaultKind::kHuge) << 50;
}

void TestFaultRecovery::pollKeepsGoingThroughFaults() {
    QFETCH(int, kind);
    QFETCH(int, value);
    SimServer sim(300, 300);
    SimEngine zhang(sim, "zhanglei", kZhangLei);
    QueuedSpy failed(zhang.Controller()->HeartBeat(), &HeartBeatMsg::heart_msg_failed);
    QVERIFY(StartZhang(zhang, sim));
    const int unread = Number(kWangFang);

    // Two polls in a row are spoiled; messages keep coming meanwhile.
    sim.SetFault(kPoll, FaultKind(kind), value, 2);
    QList<qint64> ids;
    for (int i = 0; i < 3; ++i) {
        ids << sim.SendChat("wangfang", "zhanglei", QStringLiteral("故障期间 %1").arg(i));
        QTest::qWait(200);
    }
    QTRY_VERIFY_WITH_TIMEOUT(AllStored(ids), 20000);
    QVERIFY(!sim.HasFault(kPoll));
    QCOMPARE(failed.size(), 2);

    // Polling goes on at full speed.
    ids << sim.SendChat("wangfang", "zhanglei", "恢复之后");
    QTRY_VERIFY_WITH_TIMEOUT(AllStored(ids), 5000);
    QVERIFY(AllStored(ids, 1));
    QCOMPARE(Number(kWangFang), unread + 4);
    QCOMPARE(Order(kWangFang), 0);
}

// A poll the server holds past the watchdog: the user is sent to login, and the next engine
// takes up everything from where the stored messages end.
void TestFaultRecovery::pollHeldPastTheWatchdogRecoversOnNextLogin() {
    SimServer sim(300, 300);
    QList<qint64> ids;
    {
        SimEngine zhang(sim, "zhanglei", kZhangLei, true, 1000);
        QueuedSpy re_login(&zhang.Watchdog(), &LoginWatchdog::re_login);
        QVERIFY(StartZhang(zhang, sim));
        sim.SetFault(kPoll, FaultKind::kHold, 4000, 1);
        ids << sim.SendChat("wangfang", "zhanglei", "等待中一");
        QVERIFY(re_login.wait(10000));
        ids << sim.SendChat("wangfang", "zhanglei", "等待中二");
    }
    SimEngine again(sim, "zhanglei", kZhangLei, false);
    QVERIFY(again.Ok());
    again.Start();
    ids << sim.SendChat("wangfang", "zhanglei", "重新登录后");
    QTRY_VERIFY_WITH_TIMEOUT(AllStored(ids), 10000);
    QVERIFY(AllStored(ids, 1));
}

void TestFaultRecovery::sendFaultsLeaveTheMessageToSendAgain_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    // Refused before the server kept it: the user sends it again.
    QTest::newRow("status 500") << int(FaultKind::kStatus) << 500;
    QTest::newRow("not json") << int(FaultKind::kNotJson) << 0;
    // Kept, but the answer is lost: the poll brings it back as sent.
    QTest::newRow("dropped") << int(FaultKind::kDrop) << 0;
    QTest::newRow("50 MB") << int(FaultKind::kHuge) << 50;
    QTest::newRow("held") << int(FaultKind::kHold) << 2000;
}

void TestFaultRecovery::sendFaultsLeaveTheMessageToSendAgain() {
    QFETCH(int, kind);
    QFETCH(int, value);
    SimServer sim(300, 300);
    SimEngine zhang(sim, "zhanglei", kZhangLei);
    QVERIFY(StartZhang(zhang, sim));
    sim.SetFault(kSend, FaultKind(kind), value, 1);
    const QString text = QStringLiteral("出故障时发送 %1").arg(kind);
    const int row = zhang.Write(kWangFang, "王芳", 1, text);
    QVERIFY(row > 0);
    QTRY_VERIFY(!sim.HasFault(kSend));

    const bool kept_by_server = FaultKind(kind) == FaultKind::kDrop ||
                                FaultKind(kind) == FaultKind::kHuge ||
                                FaultKind(kind) == FaultKind::kHold;
    if (!kept_by_server) {
        // Still there, marked as not sent; sending it again replaces it.
        QTRY_VERIFY(RowWithContent(text).value("is_send").toInt() <= 0);
        QCOMPARE(RowWithContent(text).value("id").toInt(), row);
        QMetaObject::invokeMethod(zhang.Controller()->Parse(), "OnMsgReSend", Qt::QueuedConnection,
                                  Q_ARG(int, row), Q_ARG(int, kWangFang), Q_ARG(QString, "王芳"),
                                  Q_ARG(int, 1), Q_ARG(int, 8), Q_ARG(QString, text));
    }
    QTRY_VERIFY_WITH_TIMEOUT(RowWithContent(text).value("is_send").toInt() == 1, 10000);
    QTRY_VERIFY(RowWithContent(text).value("message_id").toInt() > 0);
    QCOMPARE(Count("SELECT COUNT(*) FROM message_all WHERE content = :c", {{"c", text}}), 1);
}

CORAL_TEST_GUILESS_MAIN(TestFaultRecovery)
#include "tst_fault_recovery.moc"
