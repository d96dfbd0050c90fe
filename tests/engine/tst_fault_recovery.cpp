// The whole engine against platform-sim while it misbehaves, one fault at a time: the poll
// answered with HTTP 500, with a page that is not JSON, cut off, padded far beyond any real
// answer, held past the watchdog, or with EID "1"; and a send met by the same faults. The engine
// keeps polling or recovers, and every message arrives exactly once.

#include <QtTest>
#include <memory>

#include "EngineTestEnv.h"
#include "SimEngine.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/LoginWatchdog.h"
#include "engine/MsgController.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

constexpr int kZhangLei = 10001;
constexpr int kWangFang = 10002;
const char kPoll[] = "Message_GetByMaxID2";
const char kSend[] = "Message_Send";

// 张磊 signed in with a running engine, its records freed as the widgets would, and a watchdog
// of `watchdog_ms` on its poll.
class Session {
public:
    Session(SimServer& sim, bool fresh, int watchdog_ms = LoginWatchdog::kDefaultIntervalMs)
        : watchdog_(watchdog_ms) {
        ok_ = SignInAs("zhanglei", kZhangLei, sim.UnitRecord(), sim.OpenSession("zhanglei"), fresh);
        controller_->Init();
        FreeRecordsAsWidgetsWould(controller_.get(), &context_);
        QObject::connect(controller_->HeartBeat(), &HeartBeatMsg::heart_msg_eid, &watchdog_,
                         &LoginWatchdog::OnHeartMsgEid, Qt::QueuedConnection);
    }

    // Stops the engine as the main window does, then takes in the lists still on their way,
    // which belong to the receiver.
    ~Session() {
        controller_.reset();
        QCoreApplication::sendPostedEvents(&context_, QEvent::MetaCall);
    }

    bool Ok() const { return ok_; }
    MsgController& Engine() { return *controller_; }
    LoginWatchdog& Watchdog() { return watchdog_; }
    void Start() { controller_->Start(); }

    // A text to 王芳 as her page sends it; the local row id.
    int Send(const QString& text) {
        QueuedSpy to_ids(controller_->Parse(), &MsgParse::update_to_id);
        QMetaObject::invokeMethod(controller_->Parse(), "OnMsgSend", Qt::QueuedConnection,
                                  Q_ARG(int, kWangFang), Q_ARG(QString, "王芳"), Q_ARG(int, 1),
                                  Q_ARG(int, 7), Q_ARG(QString, text));
        return to_ids.wait() ? to_ids.first().at(1).toInt() : 0;
    }
    void SendAgain(int row_id, const QString& text) {
        QMetaObject::invokeMethod(controller_->Parse(), "OnMsgReSend", Qt::QueuedConnection,
                                  Q_ARG(int, row_id), Q_ARG(int, kWangFang), Q_ARG(QString, "王芳"),
                                  Q_ARG(int, 1), Q_ARG(int, 8), Q_ARG(QString, text));
    }

private:
    bool ok_ = false;
    QObject context_;
    LoginWatchdog watchdog_;
    std::unique_ptr<MsgController> controller_{new MsgController};
};

// Every message once, and the conversation's unread number counts each.
bool StoredOnce(const QList<qint64>& ids) {
    for (qint64 id : ids) {
        if (Count("SELECT COUNT(*) FROM message_all WHERE message_id = :id", {{"id", id}}) != 1)
            return false;
    }
    return true;
}

bool AllStored(const QList<qint64>& ids) {
    for (qint64 id : ids) {
        if (Message(id).isEmpty())
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
    void expiredSessionAsksForLoginAndLosesNothing();
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
    Session zhang(sim, true);
    QVERIFY(zhang.Ok());
    QueuedSpy failed(zhang.Engine().HeartBeat(), &HeartBeatMsg::heart_msg_failed);
    zhang.Start();
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 10000);
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
    QVERIFY(StoredOnce(ids));
    QCOMPARE(Number(kWangFang), unread + 4);
    QCOMPARE(Order(kWangFang), 0);
}

void TestFaultRecovery::expiredSessionAsksForLoginAndLosesNothing() {
    SimServer sim(300, 300);
    Session zhang(sim, true);
    QVERIFY(zhang.Ok());
    QueuedSpy re_login(&zhang.Watchdog(), &LoginWatchdog::re_login);
    zhang.Start();
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 10000);
    sim.SetFault(kPoll, FaultKind::kEid1, 0, 1);
    QList<qint64> ids;
    ids << sim.SendChat("wangfang", "zhanglei", "第一条");
    ids << sim.SendChat("wangfang", "zhanglei", "第二条");
    QVERIFY(re_login.wait(10000));
    QTRY_VERIFY_WITH_TIMEOUT(AllStored(ids), 10000);
    QVERIFY(StoredOnce(ids));
    QCOMPARE(re_login.size(), 1);
}

// A poll the server holds past the watchdog: the user is sent to login, and the next engine
// takes up everything from where the stored messages end.
void TestFaultRecovery::pollHeldPastTheWatchdogRecoversOnNextLogin() {
    SimServer sim(300, 300);
    QList<qint64> ids;
    {
        Session zhang(sim, true, 1000);
        QVERIFY(zhang.Ok());
        QueuedSpy re_login(&zhang.Watchdog(), &LoginWatchdog::re_login);
        zhang.Start();
        QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 10000);
        sim.SetFault(kPoll, FaultKind::kHold, 4000, 1);
        ids << sim.SendChat("wangfang", "zhanglei", "等待中一");
        QVERIFY(re_login.wait(10000));
        ids << sim.SendChat("wangfang", "zhanglei", "等待中二");
    }
    Session again(sim, false);
    QVERIFY(again.Ok());
    again.Start();
    ids << sim.SendChat("wangfang", "zhanglei", "重新登录后");
    QTRY_VERIFY_WITH_TIMEOUT(AllStored(ids), 10000);
    QVERIFY(StoredOnce(ids));
}

void TestFaultRecovery::sendFaultsLeaveTheMessageToSendAgain_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    // Refused before the server kept it: the user sends it again.
    QTest::newRow("status 500") << int(FaultKind::kStatus) << 500;
    QTest::newRow("not json") << int(FaultKind::kNotJson) << 0;
    QTest::newRow("eid 1") << int(FaultKind::kEid1) << 0;
    // Kept, but the answer is lost: the poll brings it back as sent.
    QTest::newRow("dropped") << int(FaultKind::kDrop) << 0;
    QTest::newRow("50 MB") << int(FaultKind::kHuge) << 50;
    QTest::newRow("held") << int(FaultKind::kHold) << 2000;
}

void TestFaultRecovery::sendFaultsLeaveTheMessageToSendAgain() {
    QFETCH(int, kind);
    QFETCH(int, value);
    SimServer sim(300, 300);
    Session zhang(sim, true);
    QVERIFY(zhang.Ok());
    zhang.Start();
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 10000);
    sim.SetFault(kSend, FaultKind(kind), value, 1);
    const QString text = QStringLiteral("出故障时发送 %1").arg(kind);
    const int row = zhang.Send(text);
    QVERIFY(row > 0);
    QTRY_VERIFY(!sim.HasFault(kSend));

    const bool kept_by_server = FaultKind(kind) == FaultKind::kDrop ||
                                FaultKind(kind) == FaultKind::kHuge ||
                                FaultKind(kind) == FaultKind::kHold;
    if (!kept_by_server) {
        // Still there, marked as not sent; sending it again replaces it.
        QTRY_VERIFY(RowWithContent(text).value("is_send").toInt() <= 0);
        QCOMPARE(RowWithContent(text).value("id").toInt(), row);
        zhang.SendAgain(row, text);
    }
    QTRY_VERIFY_WITH_TIMEOUT(RowWithContent(text).value("is_send").toInt() == 1, 10000);
    QTRY_VERIFY(RowWithContent(text).value("message_id").toInt() > 0);
    QCOMPARE(Count("SELECT COUNT(*) FROM message_all WHERE content = :c", {{"c", text}}), 1);
}

CORAL_TEST_GUILESS_MAIN(TestFaultRecovery)
#include "tst_fault_recovery.moc"
