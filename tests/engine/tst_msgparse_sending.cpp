// Messages written here: the local row before sending, the send result, re-sending, and the
// group names handed over by the contacts panel.

#include <QtTest>

#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

class TestMsgParseSending : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void storesTheMessageBeforeSending();
    void sendResultUpdatesTheRow();
    void reSendReplacesTheRow();
    void refusedConversationRowKeepsTheMessage();
    void groupNamesAreStoredAsGiven();
};

void TestMsgParseSending::storesTheMessageBeforeSending() {
    ParserProbe probe;
    probe.Feed(Reply().Add(From(2001, 1)).Add(From(2002, 2)).Add(From(2002, 3)).Add(From(2003, 4)));
    probe.Clear();
    const QString text = "It's \"ok\" + & 中文 [微笑]";
    const int id = probe.Send(2001, 1, 11, text);
    QCOMPARE(probe.send_requests.at(0), (QList<QVariant>{2001, "李老师", id, 1, text}));
    QCOMPARE(probe.to_ids.at(0), (QList<QVariant>{2001, id}));
    const QVariantMap row = Row("SELECT * FROM message_all WHERE id=:id", {{"id", id}});
    QCOMPARE(row.value("content").toString(), text);
    QCOMPARE(row.value("url").toString(), QString());
    QCOMPARE(row.value("client_message_id").toInt(), id);
    QCOMPARE(row.value("is_send").toInt(), -1);
    QCOMPARE(row.value("message_id").toInt(), -1);
    QCOMPARE(row.value("client_code").toString(), Account::DeviceId());
    QCOMPARE(row.value("user_id").toInt(), kUserId);
    // The conversation comes to the top and keeps its number.
    QCOMPARE(probe.LastList(), (QStringList{"2001:1:0", "2003:1:1", "2002:2:2"}));

    const QString path = "/home/t/图 片's.png";
    const int image = probe.Send(2001, 3, 12, path);
    const QVariantMap image_row = Row("SELECT * FROM message_all WHERE id=:id", {{"id", image}});
    QCOMPARE(image_row.value("content").toString(), QString());
    QCOMPARE(image_row.value("url").toString(), path);
}

void TestMsgParseSending::sendResultUpdatesTheRow() {
    ParserProbe probe;
    probe.Feed(Reply().Add(From(2001, 40)));
    const int accepted = probe.Send(2001, 1, 11, "a");
    const int refused = probe.Send(2001, 1, 12, "b");
    probe.parse.OnMsgSendReback(accepted, 1, "777");
    probe.parse.OnMsgSendReback(refused, 0, "对方已不在群内");
    probe.parse.OnMsgSendReback(9999, 1, "5");
    QCOMPARE(probe.send_states.size(), 2);
    QCOMPARE(probe.send_states.at(0), (QList<QVariant>{2001, 11, 1, "777"}));
    QCOMPARE(probe.send_states.at(1), (QList<QVariant>{2001, 12, 0, "对方已不在群内"}));
    const QString sql = "SELECT * FROM message_all WHERE id=:id";
    QCOMPARE(Row(sql, {{"id", accepted}}).value("is_send").toInt(), 1);
    QCOMPARE(Row(sql, {{"id", accepted}}).value("message_id").toInt(), 777);
    QCOMPARE(Row(sql, {{"id", refused}}).value("is_send").toInt(), 0);

    // A restart polls on from the last polled message: the id from a send answer that the poll
    // has not brought back yet would skip messages, the -1 of a refused one repeat them all.
    ParserProbe restarted;
    QCOMPARE(restarted.LastPoll().first(), 40);
}

void TestMsgParseSending::reSendReplacesTheRow() {
    ParserProbe probe;
    const int old_id = probe.Send(-300, 1, 11, "x");
    probe.parse.OnMsgSendReback(old_id, 0, "失败");
    probe.parse.OnMsgReSend(old_id, -300, "语文组", 1, 13, "x");
    const int new_id = probe.to_ids.last().at(1).toInt();
    QVERIFY(new_id > old_id);
    QCOMPARE(MessageCount(), 1);
    QCOMPARE(Row("SELECT * FROM message_all").value("client_message_id").toInt(), new_id);
    QCOMPARE(probe.send_requests.last().at(2).toInt(), new_id);
}

void TestMsgParseSending::refusedConversationRowKeepsTheMessage() {
    ParserProbe probe;
    probe.Feed(Reply().Add(From(2001, 1)).Add(From(2002, 2)));
    QVERIFY(
        SqlExec::Update("CREATE TRIGGER refuse_new BEFORE INSERT ON message_list BEGIN "
                        "SELECT RAISE(ABORT, 'no'); END;"));
    QVERIFY(
        SqlExec::Update("CREATE TRIGGER refuse_top BEFORE UPDATE OF content ON message_list "
                        "BEGIN SELECT RAISE(ABORT, 'no'); END;"));
    const int to_new = probe.Send(2003, 1, 11, "新");
    const int to_old = probe.Send(2001, 1, 12, "旧");
    // Both messages are kept and go out; the list stays as it was, not half moved.
    QCOMPARE(probe.send_requests.size(), 2);
    for (int id : {to_new, to_old}) {
        const QVariantMap row = Row("SELECT * FROM message_all WHERE id=:id", {{"id", id}});
        QCOMPARE(row.value("client_message_id").toInt(), id);
        QCOMPARE(row.value("is_send").toInt(), -1);
    }
    QCOMPARE(Count("SELECT COUNT(*) FROM message_list"), 2);
    QCOMPARE(Order(2002), 0);
    QCOMPARE(Order(2001), 1);

    // The echo of the message writes its conversation row.
    QVERIFY(SqlExec::Update("DROP TRIGGER refuse_new;"));
    QVERIFY(SqlExec::Update("DROP TRIGGER refuse_top;"));
    ChatMsg echo = From(kUserId, 3);
    echo.receive_id = 2003;
    echo.client_message_id = to_new;
    echo.client_code = Account::DeviceId();
    probe.Feed(Reply().Add(echo));
    QCOMPARE(MessageCount(), 4);
    QCOMPARE(probe.LastList(), (QStringList{"2003:0:0", "2002:1:1", "2001:1:2"}));
}

void TestMsgParseSending::groupNamesAreStoredAsGiven() {
    ParserProbe probe;
    probe.parse.OnUpdateDBGroupInfo({"300,O'Neil's \"组\"", "bad", "x,无效", "", "301,初一,二班"});
    probe.parse.OnUpdateDBGroupInfo({"302,旧名", "302,新名字"});
    const QString sql = "SELECT group_name FROM group_infos WHERE group_id=:id";
    QCOMPARE(Row(sql, {{"id", 300}}).value("group_name").toString(), QString("O'Neil's \"组\""));
    QCOMPARE(Row(sql, {{"id", 301}}).value("group_name").toString(), QString("初一,二班"));
    QCOMPARE(Row(sql, {{"id", 302}}).value("group_name").toString(), QString("新名字"));
    QCOMPARE(Count("SELECT COUNT(*) FROM group_infos"), 3);
}

CORAL_TEST_GUILESS_MAIN(TestMsgParseSending)
#include "tst_msgparse_sending.moc"
