// The engine's threads against platform-sim: started and stopped again and again, one poll out
// at a time, and a stop that does not wait for a poll the platform holds.

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

}  // namespace

class TestMsgController : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void startsAndStopsRepeatedly();
    void onePollAtATimeAndStopWithoutWaitingForIt();
};

void TestMsgController::startsAndStopsRepeatedly() {
    SimServer sim(200);
    QVERIFY(sim.IsRunning());
    for (int round = 0; round < 3; ++round) {
        SimEngine engine(sim, "wangfang", 10002);
        QVERIFY(engine.Ok());
        const QList<QPointer<QObject>> owned = engine.Owned();
        // Every worker on a thread of its own.
        QSet<QThread*> threads;
        for (const QPointer<QObject>& worker : owned.mid(0, 6)) {
            QVERIFY(engine.Controller()->Threads().contains(worker->thread()));
            threads.insert(worker->thread());
        }
        QCOMPARE(threads.size(), 6);
        QueuedSpy eids(engine.Controller()->HeartBeat(), &HeartBeatMsg::heart_msg_eid);
        engine.Start();
        // Two answers: the loop went round through parser and heartbeat.
        QVERIFY(eids.waitFor(2));

        engine.Stop();
        QVERIFY(AllGone(owned.mid(0, 6)));
        QTRY_VERIFY(AllGone(owned));
    }

    // Never started: the workers go all the same.
    SimEngine idle(sim, "wangfang", 10002);
    const QList<QPointer<QObject>> owned = idle.Owned();
    idle.Stop();
    QVERIFY(AllGone(owned));
}

void TestMsgController::onePollAtATimeAndStopWithoutWaitingForIt() {
    SimServer sim;  // the platform's own hold time
    SimEngine engine(sim, "wangfang", 10002);
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

CORAL_TEST_GUILESS_MAIN(TestMsgController)
#include "tst_msgcontroller.moc"
