// The whole engine against platform-sim: started and stopped again and again, one poll out at a
// time, a stop that does not wait for a held poll; a poll padded far past any real answer, a
// send whose answer is cut off or held: the engine recovers, every message arrives exactly once.
// (A session lost and logged in again: tst_app_flow.)

#include <QtTest>

#include "SimEngine.h"
#include "engine/EngineMetaTypes.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

bool AllGone(const QList<QPointer<QObject>>& objects) {
    return std::all_of(objects.begin(), objects.end(),
                       [](const QPointer<QObject>& object) { return object.isNull(); });
}

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

class TestMsgController : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void startsAndStopsRepeatedly();
    void onePollAtATimeAndStopWithoutWaitingForIt();
    void pollKeepsGoingThroughHugeAnswers();
    void lostSendAnswersAreMadeUpByThePoll_data();
    void lostSendAnswersAreMadeUpByThePoll();
};

void TestMsgController::startsAndStopsRepeatedly() {
    SimServer sim(200);
    QVERIFY(sim.IsRunning());
    for (int round = 0; round < 3; ++round) {
        SimEngine engine(sim, "wangfang", kWangFang);
        QVERIFY(engine.Ok());
        const QList<QPointer<QObject>> owned = engine.Owned();
        QueuedSpy eids(engine.Controller()->HeartBeat(), &HeartBeatMsg::heart_msg_eid);
        engine.Start();
        // Two answers: the loop went round through parser and heartbeat.
        QVERIFY(eids.waitFor(2));

        engine.Stop();
        QVERIFY(AllGone(owned.mid(0, 6)));
        QTRY_VERIFY(AllGone(owned));
    }

    // Never started: the workers go all the same.
    SimEngine idle(sim, "wangfang", kWangFang);
    const QList<QPointer<QObject>> owned = idle.Owned();
    idle.Stop();
    QVERIFY(AllGone(owned));
}

void TestMsgController::onePollAtATimeAndStopWithoutWaitingForIt() {
    SimServer sim;  // the platform's own hold time
    SimEngine engine(sim, "wangfang", kWangFang);
    QVERIFY(engine.Ok());
    const QList<QPointer<QObject>> owned = engine.Owned();
    HeartBeatMsg* heart = engine.Controller()->HeartBeat();
    QueuedSpy replies(heart, &HeartBeatMsg::heart_msg_to_parse);
    engine.Start();
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 20000);
    // The answers before the held poll were passed on before it was asked for.
    QCoreApplication::sendPostedEvents();
    const int answered = replies.size();
    QVERIFY(answered > 0);

    // Asked again while its poll is out, the heartbeat sends nothing. From position 0 the
    // platform would answer at once with the whole history.
    for (int i = 0; i < 3; ++i)
        QMetaObject::invokeMethod(heart, [heart] { heart->OnReqHeartMsg({0, 0, 0, 0}); });
    QMetaObject::invokeMethod(
        heart, [] {}, Qt::BlockingQueuedConnection);

    // News wakes the one held poll; the parser stores it and asks for the next.
    const qint64 id = sim.SendChat("zhanglei", "wangfang", "一次一个");
    QVERIFY(replies.waitFor(answered + 1, 20000));
    QTRY_VERIFY_WITH_TIMEOUT(!Message(id).isEmpty(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 20000);
    QCOMPARE(replies.size(), answered + 1);

    engine.Stop();
    // Everything is gone while the platform still holds the poll: the stop did not wait for it.
    QCOMPARE(sim.HeldPolls(), 1);
    QVERIFY(AllGone(owned.mid(0, 6)));
    QTRY_VERIFY(AllGone(owned));
}

// Polls answered far beyond any real answer. (Polls cut off: tst_app_flow; answered with an error
// status or a page that is no JSON: tst_requests.)
void TestMsgController::pollKeepsGoingThroughHugeAnswers() {
    SimServer sim(300, 300);
    SimEngine zhang(sim, "zhanglei", kZhangLei);
    QueuedSpy failed(zhang.Controller()->HeartBeat(), &HeartBeatMsg::heart_msg_failed);
    QVERIFY(StartZhang(zhang, sim));
    const int unread = Number(kWangFang);

    // Two polls in a row are spoiled; messages keep coming meanwhile.
    sim.SetFault(kPoll, FaultKind::kHuge, 50, 2);
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

void TestMsgController::lostSendAnswersAreMadeUpByThePoll_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    // Kept, but the answer is lost or late: the poll brings it back as sent. (Refused and sent
    // again in its place: tst_chat_e2e.)
    QTest::newRow("dropped") << int(FaultKind::kDrop) << 0;
    QTest::newRow("held") << int(FaultKind::kHold) << 2000;
}

void TestMsgController::lostSendAnswersAreMadeUpByThePoll() {
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
    QTRY_VERIFY_WITH_TIMEOUT(RowWithContent(text).value("is_send").toInt() == 1, 10000);
    QCOMPARE(RowWithContent(text).value("id").toInt(), row);
    QTRY_VERIFY(RowWithContent(text).value("message_id").toInt() > 0);
    QCOMPARE(Count("SELECT COUNT(*) FROM message_all WHERE content = :c", {{"c", text}}), 1);
}

CORAL_TEST_GUILESS_MAIN(TestMsgController)
#include "tst_msgcontroller.moc"
