// The poll request and its reply check, and the login watchdog that watches the loop.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/LoginWatchdog.h"

using namespace engine_test;

class TestHeartBeat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }

    void pollCarriesThePosition();
    void onlyParsedRepliesReachTheParser();
    void onePollIsOutstandingAtATime();
    void watchdogAsksForLoginOnEidOneOrSilence();
};

void TestHeartBeat::pollCarriesThePosition() {
    CannedServer server;
    server.SetHandler([](const CannedRequest&) { return Json({{"EID", "0"}}); });
    QVERIFY(SignIn(server.Base()));
    HeartBeatMsg heart;
    QSignalSpy to_parse(&heart, &HeartBeatMsg::heart_msg_to_parse);
    QSignalSpy eids(&heart, &HeartBeatMsg::heart_msg_eid);
    heart.OnStart();
    heart.OnReqHeartMsg({5, 6, 7, 8});
    QVERIFY(eids.wait());

    QCOMPARE(server.requests.size(), 1);
    const CannedRequest& request = server.requests.first();
    QCOMPARE(request.path, QStringLiteral("/BasePlate/Interface/IInterfaceJson.asmx/"
                                          "Message_GetByMaxID2"));
    const auto fields = request.Fields();
    QStringList names;
    for (const auto& field : fields)
        names.append(field.first);
    QCOMPARE(names, (QStringList{"User_ID", "SessionID", "MaxMessage_ID", "MaxMessageLog_ID",
                                 "MaxBellLog_ID", "MaxNumUpdateLog_ID", "MathNum"}));
    QCOMPARE(request.Field("User_ID"), QString::number(kUserId));
    QCOMPARE(request.Field("SessionID"), QStringLiteral("session-1"));
    QCOMPARE(request.Field("MaxMessage_ID"), QStringLiteral("5"));
    QCOMPARE(request.Field("MaxNumUpdateLog_ID"), QStringLiteral("8"));
    bool numeric = false;
    const int math_num = request.Field("MathNum").toInt(&numeric);
    QVERIFY(numeric && math_num >= 0 && math_num < 100);
    QCOMPARE(eids.at(0).at(0).toString(), QStringLiteral("0"));
    QVERIFY(to_parse.at(0).at(0).toString().contains(QLatin1String("\"EID\"")));
}

void TestHeartBeat::onlyParsedRepliesReachTheParser() {
    QList<CannedReply> replies = {
        {200, "<html>maintenance</html>"},
        {500, R"({"Velta":{"EID":"0"}})"},
        {200, R"({"Velta":{"EID":"1","ErrorMessage":"登录已失效"}})"},
        {200, R"({"Velta":{"EID":"3","ErrorMessage":"忙"}})"},
    };
    CannedServer server;
    server.SetHandler([&replies](const CannedRequest&) { return replies.takeFirst(); });
    QVERIFY(SignIn(server.Base()));
    HeartBeatMsg heart;
    QSignalSpy ready(&heart, &HeartBeatMsg::heart_msg_ready);
    QSignalSpy to_parse(&heart, &HeartBeatMsg::heart_msg_to_parse);
    QSignalSpy eids(&heart, &HeartBeatMsg::heart_msg_eid);
    heart.OnStart();
    for (int i = 0; i < 4; ++i) {
        heart.OnReqHeartMsg({0, 0, 0, 0});
        QTRY_COMPARE(ready.size(), i + 1);
    }
    QCOMPARE(ready.at(1).at(0).toByteArray(), QByteArray());
    QCOMPARE(to_parse.size(), 2);
    QCOMPARE(eids.size(), 2);
    QCOMPARE(eids.at(0).at(0).toString(), QStringLiteral("1"));
    QCOMPARE(eids.at(1).at(0).toString(), QStringLiteral("3"));
}

void TestHeartBeat::onePollIsOutstandingAtATime() {
    CannedServer server;
    server.SetHandler([](const CannedRequest&) {
        CannedReply held;
        held.hold = true;
        return held;
    });
    QVERIFY(SignIn(server.Base()));
    HeartBeatMsg heart;
    heart.OnStart();
    heart.OnReqHeartMsg({1, 0, 0, 0});
    heart.OnReqHeartMsg({2, 0, 0, 0});
    QTRY_COMPARE(server.requests.size(), 1);
    QTest::qWait(200);
    QCOMPARE(server.requests.size(), 1);
    QCOMPARE(server.requests.first().Field("MaxMessage_ID"), QStringLiteral("1"));
}

void TestHeartBeat::watchdogAsksForLoginOnEidOneOrSilence() {
    LoginWatchdog watchdog(50);
    QSignalSpy re_login(&watchdog, &LoginWatchdog::re_login);
    QCOMPARE(LoginWatchdog().IntervalMs(), 60000);
    QVERIFY(!watchdog.IsRunning());

    watchdog.OnHeartMsgEid(QStringLiteral("0"));
    QVERIFY(watchdog.IsRunning());
    QVERIFY(re_login.wait());
    QVERIFY(!watchdog.IsRunning());
    QTest::qWait(150);
    QCOMPARE(re_login.size(), 1);

    // Any EID but "1" restarts the watch; "1" ends it at once.
    watchdog.OnHeartMsgEid(QStringLiteral("3"));
    QVERIFY(watchdog.IsRunning());
    watchdog.OnHeartMsgEid(QStringLiteral("1"));
    QCOMPARE(re_login.size(), 2);
    QVERIFY(!watchdog.IsRunning());
    QTest::qWait(150);
    QCOMPARE(re_login.size(), 2);
}

QTEST_GUILESS_MAIN(TestHeartBeat)
#include "tst_heartbeat.moc"
