// The poll request and its reply check, and the login watchdog that watches the loop.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/LoginWatchdog.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

class TestHeartBeat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }

    void pollCarriesThePosition();
    void onlyParsedRepliesReachTheParser();
    void watchdogAsksForLoginOnEidOneOrSilence();
};

void TestHeartBeat::pollCarriesThePosition() {
    TestHttpServer server;
    server.Reply(200, Envelope({{"EID", "0"}}));
    QVERIFY(SignIn(server.Url("/")));
    HeartBeatMsg heart;
    QSignalSpy to_parse(&heart, &HeartBeatMsg::heart_msg_to_parse);
    heart.OnStart();
    heart.OnReqHeartMsg({5, 6, 7, 8});
    QVERIFY(to_parse.wait());
    const TestHttpServer::Request& request = server.Requests().first();
    QCOMPARE(request.target, QByteArray("/BasePlate/Interface/IInterfaceJson.asmx/"
                                        "Message_GetByMaxID2"));
    auto fields = TestHttpServer::DecodeForm(request.body);
    QCOMPARE(fields.size(), 7);
    const QPair<QString, QString> math_num = fields.takeLast();
    QCOMPARE(fields, (QList<QPair<QString, QString>>{{"User_ID", QString::number(kUserId)},
                                                     {"SessionID", "session-1"},
                                                     {"MaxMessage_ID", "5"},
                                                     {"MaxMessageLog_ID", "6"},
                                                     {"MaxBellLog_ID", "7"},
                                                     {"MaxNumUpdateLog_ID", "8"}}));
    QCOMPARE(math_num.first, QString("MathNum"));
    bool numeric = false;
    const int number = math_num.second.toInt(&numeric);
    QVERIFY(numeric && number >= 0 && number < 100);
}

void TestHeartBeat::onlyParsedRepliesReachTheParser() {
    TestHttpServer server;
    QVERIFY(SignIn(server.Url("/")));
    const QList<QPair<int, QByteArray>> replies = {
        {200, "<html>maintenance</html>"},
        {500, Envelope({{"EID", "0"}})},
        {200, Envelope({{"EID", "1"}, {"ErrorMessage", "登录已失效"}})},
        {200, Envelope({{"EID", "3"}, {"ErrorMessage", "忙"}})},
    };
    int parsed = 0;
    QStringList eids;
    // A fresh worker for each reply: one that fails is sent again later by the worker itself.
    for (const auto& reply : replies) {
        server.Reply(reply.first, reply.second);
        HeartBeatMsg heart;
        QSignalSpy ready(&heart, &HeartBeatMsg::heart_msg_ready);
        QSignalSpy to_parse(&heart, &HeartBeatMsg::heart_msg_to_parse);
        QSignalSpy eid(&heart, &HeartBeatMsg::heart_msg_eid);
        heart.OnStart();
        heart.OnReqHeartMsg({0, 0, 0, 0});
        QVERIFY(ready.wait());
        parsed += to_parse.size();
        for (const QList<QVariant>& call : eid)
            eids << call.at(0).toString();
    }
    QCOMPARE(parsed, 2);
    QCOMPARE(eids, (QStringList{"1", "3"}));
}

void TestHeartBeat::watchdogAsksForLoginOnEidOneOrSilence() {
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

CORAL_TEST_GUILESS_MAIN(TestHeartBeat)
#include "tst_heartbeat.moc"
