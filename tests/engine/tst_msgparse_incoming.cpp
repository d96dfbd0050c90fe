// Storing polled chat messages: conversation order and numbers, duplicates, own echoes,
// rejected elements, failing statements and texts that must survive as sent.

#include <QtTest>

#include "EngineTestEnv.h"
#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"

using namespace engine_test;

class TestMsgParseIncoming : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void newConversationsGoOnTopAndMoveUp();
    void readMessagesDoNotRaiseTheNumber();
    void groupMessageKeepsItsSender();
    void attachmentsAreFetchedOnStoring();
    void duplicatesAreIgnored();
    void ownEchoUpdatesTheLocalRow();
    void rejectedElementEndsItsArray();
    void failedStatementKeepsThePollPosition();
    void textIsStoredAsSent();
};

void TestMsgParseIncoming::newConversationsGoOnTopAndMoveUp() {
    ParserProbe probe;
    QCOMPARE(probe.LastPoll(), (QList<int>{0, 0, 0, 0}));
    Reply first;
    for (int i = 1; i <= 4; ++i) {
        ChatMsg msg;
        msg.message_id = i;
        msg.send_id = 2000 + i;
        first.Add(msg);
    }
    probe.Feed(first);
    QCOMPARE(probe.LastList(), (QStringList{"2004:1:0", "2003:1:1", "2002:1:2", "2001:1:3"}));
    QCOMPARE(probe.Avatars(), (QStringList{"2001", "2002", "2003", "2004"}));
    QCOMPARE(probe.Ints(probe.receipts, 0, 1), (QList<int>{1, 2, 3, 4}));
    QCOMPARE(probe.receipts.at(0).at(0).toInt(), 1);
    QCOMPARE(probe.Ints(probe.pages, 0, 0), (QList<int>{2001, 2002, 2003, 2004}));
    QCOMPARE(probe.bubbles.last().at(0).toInt(), 4);
    QCOMPARE(probe.trays.last(), (QList<QVariant>{2004, 4}));
    QCOMPARE(probe.LastPoll(), (QList<int>{4, 0, 0, 0}));

    // From position 2 to the top: only the two above move down.
    ChatMsg again;
    again.message_id = 5;
    again.send_id = 2002;
    probe.Feed(Reply().Add(again));
    QCOMPARE(probe.LastList(), (QStringList{"2002:2:0", "2004:1:1", "2003:1:2", "2001:1:3"}));
    QVERIFY(probe.avatars.isEmpty());
    QCOMPARE(probe.bubbles.last().at(0).toInt(), 5);
}

void TestMsgParseIncoming::readMessagesDoNotRaiseTheNumber() {
    ParserProbe probe;
    ChatMsg unread;
    unread.message_id = 1;
    ChatMsg read_elsewhere = unread;
    read_elsewhere.message_id = 2;
    read_elsewhere.is_read = 2;
    ChatMsg read_new = unread;
    read_new.message_id = 3;
    read_new.send_id = 2002;
    read_new.is_read = 2;
    probe.Feed(Reply().Add(unread).Add(read_elsewhere).Add(read_new));
    QCOMPARE(Number(2001), 1);
    QCOMPARE(Number(2002), 0);
    QCOMPARE(Order(2002), 0);
    QCOMPARE(probe.bubbles.last().at(0).toInt(), 1);
}

void TestMsgParseIncoming::groupMessageKeepsItsSender() {
    ParserProbe probe;
    ChatMsg member;
    member.message_id = 1;
    member.receive_id = -300;
    member.send_id = -300;
    member.send_id2 = 2005;
    member.send_name = QStringLiteral("赵老师");
    member.receive_name = QStringLiteral("语文组");
    ChatMsg own = member;
    own.message_id = 2;
    own.send_id = kUserId;
    probe.Feed(Reply().Add(member).Add(own));
    const QVariantMap received =
        Row(QStringLiteral("SELECT * FROM message_all WHERE message_id=1"));
    QCOMPARE(received.value("other_id").toInt(), -300);
    QCOMPARE(received.value("other_id2").toInt(), 2005);
    QCOMPARE(received.value("other_name").toString(), QStringLiteral("赵老师"));
    QCOMPARE(received.value("send_or_receive").toInt(), 0);
    const QVariantMap sent = Row(QStringLiteral("SELECT * FROM message_all WHERE message_id=2"));
    QCOMPARE(sent.value("other_id2").toInt(), 0);
    QCOMPARE(sent.value("other_name").toString(), QStringLiteral("语文组"));
    QCOMPARE(sent.value("send_or_receive").toInt(), 1);
    QCOMPARE(Number(-300), 1);
}

void TestMsgParseIncoming::attachmentsAreFetchedOnStoring() {
    ParserProbe probe;
    Reply reply;
    for (int type = 1; type <= 5; ++type) {
        ChatMsg msg;
        msg.message_id = type;
        msg.msg_type = type;
        msg.url = type == 1 ? QString() : QStringLiteral("up/%1|名字%1.bin").arg(type);
        reply.Add(msg);
    }
    probe.Feed(reply);
    QCOMPARE(probe.downloads.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(probe.downloads.at(i).at(0).toInt(), i + 3);
        QCOMPARE(probe.downloads.at(i).at(1).toString(),
                 QStringLiteral("up/%1|名字%1.bin").arg(i + 3));
    }
}

void TestMsgParseIncoming::duplicatesAreIgnored() {
    ParserProbe probe;
    ChatMsg msg;
    msg.message_id = 52;
    probe.Feed(Reply().Add(msg));
    probe.Feed(Reply().Add(msg));
    QCOMPARE(MessageCount(), 1);
    QCOMPARE(Number(2001), 1);
    QVERIFY(probe.receipts.isEmpty());
    QVERIFY(probe.lists.isEmpty());
    QVERIFY(probe.pages.isEmpty());
    QVERIFY(probe.trays.isEmpty());
    QCOMPARE(probe.LastPoll().first(), 52);
}

void TestMsgParseIncoming::ownEchoUpdatesTheLocalRow() {
    ParserProbe probe;
    probe.parse.OnMsgSend(2001, QStringLiteral("李老师"), 3, 77, QStringLiteral("/tmp/a.png"));
    const int local_id = probe.to_ids.last().at(1).toInt();

    ChatMsg echo;
    echo.message_id = 50;
    echo.send_id = kUserId;
    echo.receive_id = 2001;
    echo.msg_type = 3;
    echo.url = QStringLiteral("up/9|a.png");
    echo.client_message_id = local_id;
    echo.client_code = Account::DeviceId();
    echo.send_date = QStringLiteral("2024/5/6 9:00:00");
    probe.Feed(Reply().Add(echo));
    QCOMPARE(MessageCount(), 1);
    const QVariantMap row = Row(QStringLiteral("SELECT * FROM message_all"));
    QCOMPARE(row.value("id").toInt(), local_id);
    QCOMPARE(row.value("is_send").toInt(), 1);
    QCOMPARE(row.value("message_id").toInt(), 50);
    QCOMPARE(row.value("url").toString(), echo.url);
    QCOMPARE(row.value("send_date").toString(), QStringLiteral("2024-05-06T09:00:00"));
    QVERIFY(probe.receipts.isEmpty());
    QCOMPARE(probe.LastPoll().first(), 50);

    // The same user writing from another device is a new message, whatever its local id.
    ChatMsg phone = echo;
    phone.message_id = 51;
    phone.client_code = QStringLiteral("phone");
    probe.Feed(Reply().Add(phone));
    QCOMPARE(MessageCount(), 2);
    QCOMPARE(
        Row(QStringLiteral("SELECT message_id FROM message_all WHERE id=:id"), {{"id", local_id}})
            .value("message_id")
            .toInt(),
        50);
    QCOMPARE(probe.Ints(probe.pages, 0, 0), (QList<int>{2001}));
    QCOMPARE(Number(2001), 0);
}

void TestMsgParseIncoming::rejectedElementEndsItsArray() {
    ParserProbe probe;
    ChatMsg good;
    good.message_id = 1;
    ChatMsg bad_date = good;
    bad_date.message_id = 2;
    bad_date.send_date = QStringLiteral("2024-05-06 08:09");
    ChatMsg after = good;
    after.message_id = 3;
    Reply reply;
    reply.Add(good).Add(bad_date).Add(after);
    QJsonObject bad_type = after.ToJson();
    bad_type["MsgType"] = QStringLiteral("text");
    reply.m.insert(1, bad_type);
    reply.num_update = {NumUpdate(5, "通知", 1, 1), QJsonObject{{"Remind_ID", "6"}},
                        NumUpdate(7, "审批", 1, 1)};
    QJsonObject bad_log = StatusLog(1, 31, 2001, kUserId, 2);
    bad_log["LogDate"] = QStringLiteral("yesterday");
    reply.ml = {StatusLog(1, 30, 2001, kUserId, 1), bad_log};
    reply.b = {QJsonObject{{"BellLog_ID", "40"}}, QJsonObject{{"BellLog_ID", "x"}},
               QJsonObject{{"BellLog_ID", "41"}}};
    QString text = reply.Text();
    text.replace(QLatin1String("\"EID\""),
                 QLatin1String("\"MaxNumUpdateLog_ID\": \"12\", \"EID\""));
    probe.Clear();
    probe.parse.OnHeartBeatMsgToParse(text);

    QCOMPARE(MessageCount(), 1);
    QCOMPARE(Count(QStringLiteral("SELECT COUNT(*) FROM num_update")), 1);
    QCOMPARE(probe.LastPoll(), (QList<int>{1, 30, 40, 12}));
    const QVariantMap saved = Row(QStringLiteral("SELECT * FROM max_ids"));
    QCOMPARE(saved.value("max_messagelog_id").toInt(), 30);
    QCOMPARE(saved.value("max_belllog_id").toInt(), 40);
    QCOMPARE(saved.value("max_numupdatelog_id").toInt(), 12);

    // Not a reply at all: nothing stored, the same position asked again.
    probe.Clear();
    probe.parse.OnHeartBeatMsgToParse(QStringLiteral("<html>busy</html>"));
    QCOMPARE(probe.LastPoll(), (QList<int>{1, 30, 40, 12}));
}

void TestMsgParseIncoming::failedStatementKeepsThePollPosition() {
    ParserProbe probe;
    QVERIFY(SqlExec::Update(QStringLiteral(
        "CREATE TRIGGER refuse_msg BEFORE INSERT ON message_all WHEN NEW.message_id = 12 "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;")));
    QVERIFY(SqlExec::Update(QStringLiteral(
        "CREATE TRIGGER refuse_row BEFORE INSERT ON message_list WHEN NEW.other_id = 2009 "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;")));
    Reply reply;
    for (int id : {11, 12, 13}) {
        ChatMsg msg;
        msg.message_id = id;
        msg.send_id = 2000 + id;
        reply.Add(msg);
    }
    probe.Feed(reply);
    QCOMPARE(MessageCount(), 1);
    QCOMPARE(probe.LastPoll().first(), 11);
    QCOMPARE(Count(QStringLiteral("SELECT COUNT(*) FROM message_list")), 1);
    QCOMPARE(probe.Ints(probe.receipts, 0, 1), (QList<int>{11}));

    // The message row is stored but its conversation row is refused: neither stays.
    ChatMsg half;
    half.message_id = 14;
    half.send_id = 2009;
    probe.Feed(Reply().Add(half));
    QCOMPARE(MessageCount(), 1);
    QCOMPARE(probe.LastPoll().first(), 11);
    QVERIFY(probe.receipts.isEmpty());

    QVERIFY(SqlExec::Update(QStringLiteral("DROP TRIGGER refuse_msg;")));
    QVERIFY(SqlExec::Update(QStringLiteral("DROP TRIGGER refuse_row;")));
    reply.m.removeFirst();
    reply.Add(half);
    probe.Feed(reply);
    QCOMPARE(MessageCount(), 4);
    QCOMPARE(probe.LastPoll().first(), 14);
    QCOMPARE(Order(2009), 0);
    QCOMPARE(Number(2009), 1);
}

void TestMsgParseIncoming::textIsStoredAsSent() {
    ParserProbe probe;
    ChatMsg msg;
    msg.content = QStringLiteral("It's \"quoted\" + & 100% 中文 '); DROP TABLE message_all; --");
    msg.send_name = QStringLiteral("O'Brien");
    msg.client_code = QStringLiteral("code' OR '1'='1");
    probe.Feed(Reply().Add(msg));
    const QVariantMap row = Row(QStringLiteral("SELECT * FROM message_all"));
    QCOMPARE(row.value("content").toString(), msg.content);
    QCOMPARE(row.value("other_name").toString(), msg.send_name);
    QCOMPARE(row.value("client_code").toString(), msg.client_code);
    const QVariantMap list = Row(QStringLiteral("SELECT * FROM message_list"));
    QCOMPARE(list.value("content").toString(), msg.content);
    QCOMPARE(list.value("other_name").toString(), msg.send_name);
}

QTEST_GUILESS_MAIN(TestMsgParseIncoming)
#include "tst_msgparse_incoming.moc"
