// The engine's threads: started and stopped again and again in one process, with the poll
// loop running between them, and nothing left behind.

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
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

class TestMsgController : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void startsAndStopsRepeatedly();
};

void TestMsgController::startsAndStopsRepeatedly() {
    SimServer sim(200);
    QVERIFY(sim.IsRunning());
    for (int round = 0; round < 3; ++round) {
        QVERIFY(SignInAs("wangfang", 10002, sim.UnitRecord(), sim.OpenSession("wangfang")));
        auto* controller = new MsgController;
        controller->Init();
        QObject::connect(controller->Parse(), &MsgParse::update_connect_list_ui, this,
                         [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
        QSignalSpy eids(controller->HeartBeat(), &HeartBeatMsg::heart_msg_eid);
        QList<QPointer<QObject>> owned = {controller->HeartBeat(),   controller->Parse(),
                                          controller->Downloader(),  controller->Loader(),
                                          controller->SendReceive(), controller->Search()};
        for (QThread* thread : controller->Threads())
            owned.append(thread);
        QCOMPARE(owned.size(), 12);
        controller->Start();
        // Two answers: the loop went round through parser and heartbeat.
        QTRY_VERIFY(eids.size() >= 2);

        delete controller;
        for (const QPointer<QObject>& object : owned.mid(0, 6))
            QVERIFY(object.isNull());
        for (const QPointer<QObject>& thread : owned.mid(6))
            QVERIFY(qobject_cast<QThread*>(thread)->isFinished());
        QTRY_VERIFY(std::all_of(owned.begin(), owned.end(),
                                [](const QPointer<QObject>& object) { return object.isNull(); }));
    }

    // Never started: the workers go all the same.
    auto* idle = new MsgController;
    idle->Init();
    QPointer<QObject> parse = idle->Parse();
    delete idle;
    QVERIFY(parse.isNull());
}

CORAL_TEST_GUILESS_MAIN(TestMsgController)
#include "tst_msgcontroller.moc"
