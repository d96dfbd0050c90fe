// Posting messages, files and receipts: the fields as the server must read them, the send
// results, and the size limit for attachments.

#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MessageStore.h"
#include "engine/MsgSendReceive.h"

using namespace engine_test;

namespace {

QStringList Names(const CannedRequest& request) {
    QStringList names;
    for (const auto& field : request.Fields())
        names.append(field.first);
    return names;
}

const QStringList kSenderFields = {"User_ID",          "UserName",   "Other_ID", "OtherName",
                                   "ClientMessage_ID", "ClientCode", "Unit_ID",  "SessionID"};

}  // namespace

class TestMsgSendReceive : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }

    void textArrivesAsTyped();
    void sendResultsAreReported();
    void fileArrivesByteExact();
    void oversizedFileIsNotRead();
    void receiptsListTheMessageIds();
};

void TestMsgSendReceive::textArrivesAsTyped() {
    CannedServer server;
    server.SetHandler([](const CannedRequest&) {
        return Json({{"EID", "0"}, {"Message_ID", "9001"}});
    });
    QVERIFY(SignIn(server.Base()));
    MsgSendReceive sender;
    QSignalSpy states(&sender, &MsgSendReceive::msg_send_state);
    sender.OnStart();
    const QString text = QStringLiteral("a+b=c & d%20 \"它's\" 中文 [微笑]\n第二行");
    sender.OnMsgSend(2001, QStringLiteral("李 老师+"), 55, 1, text);
    QVERIFY(states.wait());

    const CannedRequest& request = server.requests.first();
    QVERIFY(
        request.path.endsWith(QLatin1String("/BasePlate/Interface/IInterfaceJson.asmx/"
                                            "Message_Send")));
    QCOMPARE(Names(request), kSenderFields + QStringList({"Content"}));
    QCOMPARE(request.Field("Content"), text);
    QCOMPARE(request.Field("OtherName"), QStringLiteral("李 老师+"));
    QCOMPARE(request.Field("Other_ID"), QStringLiteral("2001"));
    QCOMPARE(request.Field("ClientMessage_ID"), QStringLiteral("55"));
    QCOMPARE(request.Field("ClientCode"), Account::DeviceId());
    QCOMPARE(request.Field("UserName"), QStringLiteral("王老师"));
    QCOMPARE(states.at(0), (QList<QVariant>{55, 1, QStringLiteral("9001")}));
}

void TestMsgSendReceive::sendResultsAreReported() {
    CannedServer server;
    server.SetHandler([](const CannedRequest& request) -> CannedReply {
        const int id = request.Field("ClientMessage_ID").toInt();
        if (id == 1)
            return Json({{"EID", "7"}, {"ErrorMessage", "对方不是好友"}});
        if (id == 2)
            return {500, R"({"Velta":{"EID":"0","Message_ID":"1"}})"};
        if (id == 3)
            return {200, "not json"};
        return Json({{"EID", "0"}, {"Message_ID", "4004"}});
    });
    QVERIFY(SignIn(server.Base()));
    MsgSendReceive sender;
    QSignalSpy states(&sender, &MsgSendReceive::msg_send_state);
    sender.OnStart();
    for (int id = 1; id <= 4; ++id)
        sender.OnMsgSend(2001, QStringLiteral("李老师"), id, 1, QStringLiteral("x"));
    QTRY_COMPARE(server.requests.size(), 4);
    QTRY_COMPARE(states.size(), 2);
    QTest::qWait(100);
    QCOMPARE(states.size(), 2);
    QMap<int, QList<QVariant>> by_id;
    for (const QList<QVariant>& state : states)
        by_id.insert(state.at(0).toInt(), state);
    QCOMPARE(by_id.value(1), (QList<QVariant>{1, 0, QStringLiteral("对方不是好友")}));
    QCOMPARE(by_id.value(4), (QList<QVariant>{4, 1, QStringLiteral("4004")}));
}

void TestMsgSendReceive::fileArrivesByteExact() {
    CannedServer server;
    server.SetHandler([](const CannedRequest&) {
        return Json({{"EID", "0"}, {"Message_ID", "12"}});
    });
    QVERIFY(SignIn(server.Base()));
    QByteArray content;
    for (int i = 0; i < 70000; ++i)
        content.append(static_cast<char>((i * 7 + i / 256) % 256));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("图 片+1.png"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    MsgSendReceive sender;
    QSignalSpy states(&sender, &MsgSendReceive::msg_send_state);
    sender.OnStart();
    sender.OnMsgSend(-300, QStringLiteral("语文组"), 56, 3, path);
    QVERIFY(states.wait());
    const CannedRequest& request = server.requests.first();
    QVERIFY(request.path.endsWith(QLatin1String("Message_SendFile")));
    QCOMPARE(Names(request), kSenderFields + QStringList({"MsgType", "FileName", "Base64Data"}));
    QCOMPARE(request.Field("MsgType"), QStringLiteral("3"));
    QCOMPARE(request.Field("FileName"), QStringLiteral("图 片+1.png"));
    QCOMPARE(QByteArray::fromBase64(request.Field("Base64Data").toLatin1()), content);
}

void TestMsgSendReceive::oversizedFileIsNotRead() {
    CannedServer server;
    QVERIFY(SignIn(server.Base()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.mp4"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(MsgSendReceive::kMaxFileBytes + 1));
    file.close();

    MsgSendReceive sender;
    QSignalSpy refused(&sender, &MsgSendReceive::catch_exceptions);
    sender.OnStart();
    sender.OnMsgSend(2001, QStringLiteral("李老师"), 57, 5, path);
    QCOMPARE(refused.size(), 1);
    QTest::qWait(100);
    QVERIFY(server.requests.isEmpty());
}

void TestMsgSendReceive::receiptsListTheMessageIds() {
    CannedServer server;
    server.SetHandler([](const CannedRequest&) { return Json({{"EID", "0"}}); });
    QVERIFY(SignIn(server.Base()));
    auto store = [](int message_id, int other_id, int is_read, int send_or_receive) {
        MessageRecord msg;
        msg.message_id = message_id;
        msg.other_id = other_id;
        msg.is_read = is_read;
        msg.send_or_receive = send_or_receive;
        MessageStore::Insert(msg);
    };
    store(11, 2001, 0, 0);
    store(12, 2001, 1, 0);
    store(13, 2001, 2, 0);
    store(14, 2001, 0, 1);
    store(15, 2002, 0, 0);

    MsgSendReceive sender;
    sender.OnStart();
    sender.OnMsgHasReceived(1, {1, 2, 3});
    QTRY_COMPARE(server.requests.size(), 1);
    sender.OnMsgHasReceived(1, {7});
    QTRY_COMPARE(server.requests.size(), 2);
    sender.OnMsgIsReaded(2001);
    QTRY_COMPARE(server.requests.size(), 3);
    sender.OnMsgIsReaded(2003);
    QTest::qWait(100);
    QCOMPARE(server.requests.size(), 3);

    const CannedRequest& first = server.requests.at(0);
    QVERIFY(first.path.endsWith(QLatin1String("Message_ReadMulti")));
    QCOMPARE(Names(first),
             (QStringList{"User_ID", "SessionID", "Unit_ID", "isRead", "MessageIDs"}));
    QCOMPARE(first.Field("isRead"), QStringLiteral("1"));
    QCOMPARE(first.Field("MessageIDs"), QStringLiteral("1,2,3,"));
    QCOMPARE(server.requests.at(1).Field("MessageIDs"), QStringLiteral("7"));
    QCOMPARE(server.requests.at(2).Field("isRead"), QStringLiteral("2"));
    QCOMPARE(server.requests.at(2).Field("MessageIDs"), QStringLiteral("11,12,"));
}

QTEST_GUILESS_MAIN(TestMsgSendReceive)
#include "tst_msgsendreceive.moc"
