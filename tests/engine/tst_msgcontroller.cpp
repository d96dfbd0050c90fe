// The engine's threads against platform-sim: started and stopped again and again, one poll out
// at a time, and a stop that does not wait for a poll the platform holds.

#include <QPointer>
#include <QThread>
#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/MsgController.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "engine/MsgSearch.h"
#include "engine/MsgSendReceive.h"
#include "engine/ResourceDownloader.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

// 王芳's engine as the main window builds it; the record lists are freed as the widgets would.
class Engine {
public:
    explicit Engine(SimServer& sim) {
        ok_ = SignInAs("wangfang", 10002, sim.UnitRecord(), sim.OpenSession("wangfang"));
        controller_ = new MsgController;
        controller_->Init();
        QObject::connect(controller_->Parse(), &MsgParse::update_connect_list_ui, &context_,
                         [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
        QObject::connect(controller_->Parse(), &MsgParse::msgs_sys_has_receive, &context_,
                         [](MessageSysItemInfoPointers list) { qDeleteAll(list); });
    }
    ~Engine() { Stop(); }

    bool Ok() const { return ok_; }
    MsgController* Controller() const { return controller_; }
    // The workers, then their threads.
    QList<QPointer<QObject>> Owned() const {
        QList<QPointer<QObject>> owned = {controller_->HeartBeat(),   controller_->Parse(),
                                          controller_->Downloader(),  controller_->Loader(),
                                          controller_->SendReceive(), controller_->Search()};
        for (QThread* thread : controller_->Threads())
            owned.append(thread);
        return owned;
    }
    // Deletes the controller as the main window does, then takes in the lists still on their way.
    void Stop() {
        delete controller_;
        controller_ = nullptr;
        QCoreApplication::sendPostedEvents(&context_, QEvent::MetaCall);
    }

private:
    bool ok_ = false;
    QObject context_;
    MsgController* controller_ = nullptr;
};

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
    void onePollAtATime();
    void stopsWhileThePlatformHoldsThePoll();
};

void TestMsgController::startsAndStopsRepeatedly() {
    SimServer sim(200);
    QVERIFY(sim.IsRunning());
    for (int round = 0; round < 3; ++round) {
        Engine engine(sim);
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
        engine.Controller()->Start();
        // Two answers: the loop went round through parser and heartbeat.
        QVERIFY(eids.waitFor(2));

        engine.Stop();
        QVERIFY(AllGone(owned.mid(0, 6)));
        QTRY_VERIFY(AllGone(owned));
    }

    // Never started: the workers go all the same.
    Engine idle(sim);
    const QList<QPointer<QObject>> owned = idle.Owned();
    idle.Stop();
    QVERIFY(AllGone(owned));
}

void TestMsgController::onePollAtATime() {
    SimServer sim;  // the platform's own hold time
    Engine engine(sim);
    QVERIFY(engine.Ok());
    HeartBeatMsg* heart = engine.Controller()->HeartBeat();
    QueuedSpy replies(heart, &HeartBeatMsg::heart_msg_to_parse);
    engine.Controller()->Start();
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 20000);
    const int answered = replies.size();

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
}

void TestMsgController::stopsWhileThePlatformHoldsThePoll() {
    SimServer sim;  // the platform's own hold time
    Engine engine(sim);
    QVERIFY(engine.Ok());
    const QList<QPointer<QObject>> owned = engine.Owned();
    engine.Controller()->Start();
    QTRY_COMPARE_WITH_TIMEOUT(sim.HeldPolls(), 1, 20000);

    engine.Stop();
    // Everything is gone while the platform still holds the poll: the stop did not wait for it.
    QCOMPARE(sim.HeldPolls(), 1);
    QVERIFY(AllGone(owned.mid(0, 6)));
    QTRY_VERIFY(AllGone(owned));
}

CORAL_TEST_GUILESS_MAIN(TestMsgController)
#include "tst_msgcontroller.moc"
