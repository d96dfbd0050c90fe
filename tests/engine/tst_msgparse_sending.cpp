// Messages written here: the local row before sending, the send result, re-sending, and the
// group names handed over by the contacts panel.

#include <QtTest>

#include "EngineTestEnv.h"
#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"

using namespace engine_test;

class TestMsgParseSending : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void storesTheMessageBeforeSending();
    void sentMessageMovesItsConversationUp();
    void sendResultUpdatesTheRow();
    void reSendReplacesTheRow();
    void groupNamesAreStoredAsGiven();
};

void TestMsgParseSending::storesTheMessageBeforeSending() {
    ParserProbe probe;
    const QString text = QStringLiteral("It's \"ok\" + & 中文 [微笑]");
    probe.parse.OnMsgSend(2001, QStringLiteral("李老师"), 1, 11, text);
    QCOMPARE(probe.send_requests.size(), 1);
    const int id = probe.send_requests.at(0).at(2).toInt();
    QCOMPARE(probe.send_requests.at(0),
             (QList<QVariant>{2001, QStringLiteral("李老师"), id, 1, text}));
    QCOMPARE(probe.to_ids.at(0), (QList<QVariant>{2001, id}));

    const QVariantMap row =
        Row(QStringLiteral("SELECT * FROM message_all WHERE id=:id"), {{"id", id}});
    QCOMPARE(row.value("content").toString(), text);
    QCOMPARE(row.value("url").toString(), QString());
    QCOMPARE(row.value("client_message_id").toInt(), id);
    QCOMPARE(row.value("is_send").toInt(), -1);
    QCOMPARE(row.value("message_id").toInt(), -1);
    QCOMPARE(row.value("send_or_receive").toInt(), 1);
    QCOMPARE(row.value("client_code").toString(), Account::DeviceId());
    QCOMPARE(row.value("user_id").toInt(), kUserId);
    QCOMPARE(row.value("unit_id").toInt(), 7);
    QCOMPARE(probe.LastList(), (QStringList{"2001:0:0"}));

    const QString path = QStringLiteral("/home/t/图 片's.png");
    probe.parse.OnMsgSend(2001, QStringLiteral("李老师"), 3, 12, path);
    const int image_id = probe.to_ids.last().at(1).toInt();
    const QVariantMap image =
        Row(QStringLiteral("SELECT * FROM message_all WHERE id=:id"), {{"id", image_id}});
    QCOMPARE(image.value("content").toString(), QString());
    QCOMPARE(image.value("url").toString(), path);
    QCOMPARE(probe.send_requests.last().at(4).toString(), path);
}

void TestMsgParseSending::sentMessageMovesItsConversationUp() {
    ParserProbe probe;
    Reply reply;
    for (int i = 1; i <= 3; ++i) {
        ChatMsg msg;
        msg.message_id = i;
        msg.send_id = 2000 + i;
        reply.Add(msg);
    }
    ChatMsg second;
    second.message_id = 4;
    second.send_id = 2002;
    probe.Feed(reply.Add(second));
    probe.Clear();
    probe.parse.OnMsgSend(2001, QStringLiteral("李老师"), 1, 11, QStringLiteral("回复"));
    QCOMPARE(probe.LastList(), (QStringList{"2001:1:0", "2002:2:1", "2003:1:2"}));
    QCOMPARE(Row(QStringLiteral("SELECT content FROM message_list WHERE other_id=2001"))
                 .value("content")
                 .toString(),
             QStringLiteral("回复"));
}

void TestMsgParseSending::sendResultUpdatesTheRow() {
    ParserProbe probe;
    ChatMsg polled;
    polled.message_id = 40;
    probe.Feed(Reply().Add(polled));
    probe.Clear();
    probe.parse.OnMsgSend(2001, QStringLiteral("李老师"), 1, 11, QStringLiteral("a"));
    probe.parse.OnMsgSend(2001, QStringLiteral("李老师"), 1, 12, QStringLiteral("b"));
    const int accepted = probe.to_ids.at(0).at(1).toInt();
    const int refused = probe.to_ids.at(1).at(1).toInt();

    probe.parse.OnMsgSendReback(accepted, 1, QStringLiteral("777"));
    probe.parse.OnMsgSendReback(refused, 0, QStringLiteral("对方已不在群内"));
    probe.parse.OnMsgSendReback(9999, 1, QStringLiteral("5"));
    QCOMPARE(probe.send_states.size(), 2);
    QCOMPARE(probe.send_states.at(0), (QList<QVariant>{2001, 11, 1, QStringLiteral("777")}));
    QCOMPARE(probe.send_states.at(1),
             (QList<QVariant>{2001, 12, 0, QStringLiteral("对方已不在群内")}));

    const QString sql = QStringLiteral("SELECT * FROM message_all WHERE id=:id");
    QCOMPARE(Row(sql, {{"id", accepted}}).value("is_send").toInt(), 1);
    QCOMPARE(Row(sql, {{"id", accepted}}).value("message_id").toInt(), 777);
    QCOMPARE(Row(sql, {{"id", refused}}).value("is_send").toInt(), 0);
    QCOMPARE(Row(sql, {{"id", refused}}).value("message_id").toInt(), -1);

    // After a restart the poll goes on from the last polled message: the id of an answer that
    // the poll has not brought back yet, or the -1 of a refused message, would skip or repeat.
    ParserProbe restarted;
    QCOMPARE(restarted.LastPoll().first(), 40);
}

void TestMsgParseSending::reSendReplacesTheRow() {
    ParserProbe probe;
    probe.parse.OnMsgSend(-300, QStringLiteral("语文组"), 1, 11, QStringLiteral("x"));
    const int old_id = probe.to_ids.last().at(1).toInt();
    probe.parse.OnMsgSendReback(old_id, 0, QStringLiteral("失败"));
    probe.parse.OnMsgReSend(old_id, -300, QStringLiteral("语文组"), 1, 13, QStringLiteral("x"));
    const int new_id = probe.to_ids.last().at(1).toInt();
    QVERIFY(new_id > old_id);
    QCOMPARE(MessageCount(), 1);
    QVERIFY(
        Row(QStringLiteral("SELECT * FROM message_all WHERE id=:id"), {{"id", old_id}}).isEmpty());
    QCOMPARE(probe.send_requests.last().at(2).toInt(), new_id);
    QCOMPARE(Row(QStringLiteral("SELECT * FROM message_all")).value("client_message_id").toInt(),
             new_id);
}

void TestMsgParseSending::groupNamesAreStoredAsGiven() {
    ParserProbe probe;
    probe.parse.OnUpdateDBGroupInfo({QStringLiteral("300,O'Neil's \"组\""), QStringLiteral("bad"),
                                     QStringLiteral("x,无效"), QString(),
                                     QStringLiteral("301,初一,二班")});
    const QString sql = QStringLiteral("SELECT group_name FROM group_infos WHERE group_id=:id");
    QCOMPARE(Row(sql, {{"id", 300}}).value("group_name").toString(),
             QStringLiteral("O'Neil's \"组\""));
    QCOMPARE(Row(sql, {{"id", 301}}).value("group_name").toString(), QStringLiteral("初一,二班"));
    QCOMPARE(Count(QStringLiteral("SELECT COUNT(*) FROM group_infos")), 2);

    probe.parse.OnUpdateDBGroupInfo({QStringLiteral("300,新名字")});
    QCOMPARE(Row(sql, {{"id", 300}}).value("group_name").toString(), QStringLiteral("新名字"));
    QCOMPARE(Count(QStringLiteral("SELECT COUNT(*) FROM group_infos")), 2);
}

QTEST_GUILESS_MAIN(TestMsgParseSending)
#include "tst_msgparse_sending.moc"
