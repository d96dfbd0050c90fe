// The engine as the main window runs it: five threads, the poll loop between parser and
// heartbeat, sending through the parser and the sender, and a clean stop, again and again.

#include <QPointer>
#include <QThread>
#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/MsgController.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "engine/MsgSendReceive.h"
#include "engine/ResourceDownloader.h"

using namespace engine_test;

namespace {

// Frees what the engine hands to the widgets, as their receivers would.
void FreeWidgetRecords(MsgController* controller, QObject* context) {
    QObject::connect(controller->Parse(), &MsgParse::update_connect_list_ui, context,
                     [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
    QObject::connect(controller->Parse(), &MsgParse::msgs_sys_has_receive, context,
                     [](MessageSysItemInfoPointers list) { qDeleteAll(list); });
    QObject::connect(controller->Loader(), &MsgLoader::msg_load_ready, context,
                     [](MessageItemInfoPointers list) { qDeleteAll(list); });
}

CannedReply Held() {
    CannedReply reply;
    reply.hold = true;
    return reply;
}

}  // namespace

class TestMsgController : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }

    void startsAndStopsRepeatedly();
    void pollLoopStoresAndAcknowledges();
    void sentMessageGetsTheServerId();
};

void TestMsgController::startsAndStopsRepeatedly() {
    CannedServer server;
    int polls = 0;
    server.SetHandler([&polls](const CannedRequest& request) -> CannedReply {
        if (!request.path.endsWith(QLatin1String("Message_GetByMaxID2")))
            return Json({{"EID", "0"}});
        return ++polls % 3 == 0 ? Held() : Json({{"EID", "0"}});
    });
    for (int round = 0; round < 3; ++round) {
        QVERIFY(SignIn(server.Base()));
        auto* controller = new MsgController;
        controller->Init();
        FreeWidgetRecords(controller, this);
        QSignalSpy eids(controller->HeartBeat(), &HeartBeatMsg::heart_msg_eid);
        QList<QPointer<QThread>> threads;
        for (QThread* thread : controller->Threads())
            threads.append(thread);
        QList<QPointer<QObject>> workers = {controller->HeartBeat(), controller->Parse(),
                                            controller->Downloader(), controller->Loader(),
                                            controller->SendReceive()};
        QCOMPARE(threads.size(), 5);
        controller->Start();
        QTRY_COMPARE(eids.size(), 2);

        delete controller;
        for (const QPointer<QThread>& thread : threads)
            QVERIFY(thread && thread->isFinished());
        for (const QPointer<QObject>& worker : workers)
            QVERIFY(worker.isNull());
        QTRY_VERIFY(std::all_of(threads.begin(), threads.end(),
                                [](const QPointer<QThread>& thread) { return thread.isNull(); }));
    }
    QCOMPARE(polls, 9);

    // Never started: the workers still go.
    auto* idle = new MsgController;
    idle->Init();
    QPointer<QObject> parse = idle->Parse();
    delete idle;
    QVERIFY(parse.isNull());
}

void TestMsgController::pollLoopStoresAndAcknowledges() {
    CannedServer server;
    ChatMsg msg;
    msg.message_id = 321;
    msg.content = QStringLiteral("明天 8:00 开会 & 带上\"教案\"");
    const QByteArray first_reply = Reply().Add(msg).Text().toUtf8();
    server.SetHandler([&](const CannedRequest& request) -> CannedReply {
        if (!request.path.endsWith(QLatin1String("Message_GetByMaxID2")))
            return Json({{"EID", "0"}});
        const int polls = server.CountEndingWith(QStringLiteral("Message_GetByMaxID2"));
        return polls == 1 ? CannedReply{200, first_reply} : Held();
    });
    QVERIFY(SignIn(server.Base()));
    MsgController controller;
    controller.Init();
    FreeWidgetRecords(&controller, this);
    QSignalSpy bubble(controller.Parse(), &MsgParse::update_msg_count_to_bubble_on_main_wid);
    QSignalSpy tray(controller.Parse(), &MsgParse::notify_tray);
    controller.Start();

    QTRY_COMPARE(server.CountEndingWith(QStringLiteral("Message_GetByMaxID2")), 2);
    const QList<CannedRequest> polls = server.EndingWith(QStringLiteral("Message_GetByMaxID2"));
    QCOMPARE(polls.at(0).Field("MaxMessage_ID"), QStringLiteral("0"));
    QCOMPARE(polls.at(1).Field("MaxMessage_ID"), QStringLiteral("321"));
    QTRY_COMPARE(server.CountEndingWith(QStringLiteral("Message_ReadMulti")), 1);
    const CannedRequest receipt = server.EndingWith(QStringLiteral("Message_ReadMulti")).first();
    QCOMPARE(receipt.Field("isRead"), QStringLiteral("1"));
    QCOMPARE(receipt.Field("MessageIDs"), QStringLiteral("321"));
    QTRY_COMPARE(bubble.size(), 1);
    QCOMPARE(bubble.at(0).at(0).toInt(), 1);
    QCOMPARE(tray.at(0), (QList<QVariant>{2001, 1}));
    QCOMPARE(Row(QStringLiteral("SELECT content FROM message_all WHERE message_id=321"))
                 .value("content")
                 .toString(),
             msg.content);
}

void TestMsgController::sentMessageGetsTheServerId() {
    CannedServer server;
    server.SetHandler([](const CannedRequest& request) -> CannedReply {
        if (request.path.endsWith(QLatin1String("Message_Send")))
            return Json({{"EID", "0"}, {"Message_ID", "888"}});
        return Held();
    });
    QVERIFY(SignIn(server.Base()));
    MsgController controller;
    controller.Init();
    FreeWidgetRecords(&controller, this);
    QSignalSpy states(controller.Parse(), &MsgParse::update_msg_send_reback_state);
    controller.Start();
    QTRY_COMPARE(server.CountEndingWith(QStringLiteral("Message_GetByMaxID2")), 1);
    QMetaObject::invokeMethod(controller.Parse(), "OnMsgSend", Qt::QueuedConnection,
                              Q_ARG(int, 2001), Q_ARG(QString, QStringLiteral("李老师")),
                              Q_ARG(int, 1), Q_ARG(int, 5), Q_ARG(QString, QStringLiteral("好")));
    QVERIFY(states.wait());
    QCOMPARE(states.at(0), (QList<QVariant>{2001, 5, 1, QStringLiteral("888")}));
    const CannedRequest send = server.EndingWith(QStringLiteral("Message_Send")).first();
    const QVariantMap row = Row(QStringLiteral("SELECT * FROM message_all"));
    QCOMPARE(send.Field("ClientMessage_ID"), row.value("id").toString());
    QCOMPARE(row.value("is_send").toInt(), 1);
    QCOMPARE(row.value("message_id").toInt(), 888);
}

QTEST_GUILESS_MAIN(TestMsgController)
#include "tst_msgcontroller.moc"
