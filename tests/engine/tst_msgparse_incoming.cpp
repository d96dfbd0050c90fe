// Storing polled chat messages: conversation order and numbers, duplicates, own echoes,
// rejected elements, failing statements and texts that must survive as sent.

#include <QtTest>

#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

class TestMsgParseIncoming : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void conversationsMoveToTheTop();
    void burstOfRepliesBuildsTheListOnce();
    void readAndGroupMessages();
    void ownEchoAndDuplicates();
    void rejectedElementEndsItsArray();
    void failedStatementKeepsThePollPosition();
};

void TestMsgParseIncoming::conversationsMoveToTheTop() {
    ParserProbe probe;
    QCOMPARE(probe.LastPoll(), (QList<int>{0, 0, 0, 0}));
    Reply first;
    for (int i = 1; i <= 4; ++i)
        first.Add(From(2000 + i, i));
    probe.Feed(first);
    QCOMPARE(probe.LastList(), (QStringList{"2004:1:0", "2003:1:1", "2002:1:2", "2001:1:3"}));
    QCOMPARE(probe.avatars.size(), 4);
    QCOMPARE(probe.Ints(probe.receipts, 1), (QList<int>{1, 2, 3, 4}));
    QCOMPARE(probe.Ints(probe.pages), (QList<int>{2001, 2002, 2003, 2004}));
    QCOMPARE(probe.trays.last(), (QList<QVariant>{2004, 4}));
    QCOMPARE(probe.LastPoll(), (QList<int>{4, 0, 0, 0}));

    // From position 2 to the top: only the two above move down. Attachments to show are
    // fetched at once, files only when opened.
    ChatMsg image = From(2002, 5);
    image.msg_type = 3;
    image.url = "up/5|图.png";
    ChatMsg file = From(2002, 6);
    file.msg_type = 2;
    file.url = "up/6|a.doc|12";
    probe.Feed(Reply().Add(image).Add(file));
    QCOMPARE(probe.LastList(), (QStringList{"2002:3:0", "2004:1:1", "2003:1:2", "2001:1:3"}));
    QVERIFY(probe.avatars.isEmpty());
    QCOMPARE(probe.LastBubble(), 6);
    QCOMPARE(probe.downloads.size(), 1);
    QCOMPARE(probe.downloads.at(0), (QList<QVariant>{3, "up/5|图.png"}));
}

void TestMsgParseIncoming::burstOfRepliesBuildsTheListOnce() {
    ParserProbe probe;
    probe.Clear();
    // Replies one after the other, as while catching up: each page is told at once, the list,
    // the tray and the unread total once, after the last, with all of them in it.
    for (int i = 1; i <= 5; ++i)
        probe.parse.OnHeartBeatMsgToParse(Reply().Add(From(2000 + i, i)).Text());
    QCOMPARE(probe.pages.size(), 5);
    QCOMPARE(probe.polls.size(), 5);
    QVERIFY(probe.lists.isEmpty() && probe.trays.isEmpty() && probe.bubbles.isEmpty());
    QTRY_COMPARE(probe.lists.size(), 1);
    QCOMPARE(probe.trays.size(), 1);
    QCOMPARE(probe.LastBubble(), 5);
    QCOMPARE(probe.LastList(),
             (QStringList{"2005:1:0", "2004:1:1", "2003:1:2", "2002:1:3", "2001:1:4"}));
    QTest::qWait(2 * MsgParse::kWidgetDelayMs);
    QCOMPARE(probe.lists.size(), 1);

    // A message written here moves the list at once.
    probe.Send(2001, 1, 77, "好的");
    QCOMPARE(probe.lists.size(), 2);
    QCOMPARE(probe.LastList().first(), QString("2001:1:0"));
}

void TestMsgParseIncoming::readAndGroupMessages() {
    ParserProbe probe;
    ChatMsg read_elsewhere = From(2001, 2);
    read_elsewhere.is_read = 2;
    ChatMsg read_new = From(2002, 3);
    read_new.is_read = 2;
    ChatMsg member = From(-300, 4);
    member.receive_id = -300;
    member.send_id2 = 2005;
    member.send_name = "赵老师";
    member.receive_name = "语文组";
    ChatMsg own = member;
    own.message_id = 5;
    own.send_id = kUserId;
    probe.Feed(Reply().Add(From(2001, 1)).Add(read_elsewhere).Add(read_new).Add(member).Add(own));
    // Messages read already never raise a number, on a new conversation or an old one.
    QCOMPARE(Number(2001), 1);
    QCOMPARE(Number(2002), 0);
    QCOMPARE(Number(-300), 1);

    // A member's message keeps the member for its avatar; one's own keeps the group's name.
    QCOMPARE(Message(4).value("other_id").toInt(), -300);
    QCOMPARE(Message(4).value("other_id2").toInt(), 2005);
    QCOMPARE(Message(4).value("other_name").toString(), QString("赵老师"));
    QCOMPARE(Message(5).value("other_id2").toInt(), 0);
    QCOMPARE(Message(5).value("other_name").toString(), QString("语文组"));
    QCOMPARE(Message(5).value("send_or_receive").toInt(), 1);
}

void TestMsgParseIncoming::ownEchoAndDuplicates() {
    ParserProbe probe;
    const int local_id = probe.Send(2001, 3, 77, "/tmp/a.png");
    ChatMsg echo = From(kUserId, 50);
    echo.receive_id = 2001;
    echo.msg_type = 3;
    echo.url = "up/9|a.png";
    echo.client_message_id = local_id;
    echo.client_code = Account::DeviceId();
    echo.send_date = "2024/5/6 9:00:00";
    probe.Feed(Reply().Add(echo));
    QCOMPARE(MessageCount(), 1);
    const QVariantMap row = Message(50);
    QCOMPARE(row.value("id").toInt(), local_id);
    QCOMPARE(row.value("is_send").toInt(), 1);
    QCOMPARE(row.value("url").toString(), echo.url);
    QCOMPARE(row.value("send_date").toString(), QString("2024-05-06T09:00:00"));
    QVERIFY(probe.receipts.isEmpty());

    // The same user writing from another device is a new message, whatever its local id.
    ChatMsg phone = echo;
    phone.message_id = 51;
    phone.client_code = "phone";
    probe.Feed(Reply().Add(phone));
    QCOMPARE(MessageCount(), 2);
    QCOMPARE(Message(50).value("id").toInt(), local_id);

    // Text goes in as it came, and a message already stored is left alone.
    ChatMsg quoted = From(2001, 52);
    quoted.content = "It's \"quoted\" + & 100% 中文 '); DROP TABLE message_all; --";
    quoted.send_name = "O'Brien";
    probe.Feed(Reply().Add(quoted));
    probe.Feed(Reply().Add(quoted));
    QCOMPARE(MessageCount(), 3);
    QCOMPARE(Message(52).value("content").toString(), quoted.content);
    QCOMPARE(Row("SELECT content FROM message_list").value("content").toString(), quoted.content);
    QCOMPARE(Number(2001), 1);
    QVERIFY(probe.receipts.isEmpty() && probe.lists.isEmpty() && probe.trays.isEmpty());
    QCOMPARE(probe.LastPoll().first(), 52);
}

void TestMsgParseIncoming::rejectedElementEndsItsArray() {
    ParserProbe probe;
    ChatMsg bad_date = From(2001, 2);
    bad_date.send_date = "2024-05-06 08:09";
    QJsonObject bad_type = From(2001, 3).ToJson();
    bad_type["MsgType"] = "text";
    QJsonObject bad_log = StatusLog(1, 31, 2001, kUserId, 2);
    bad_log["LogDate"] = "yesterday";
    Reply reply;
    reply.Add(From(2001, 1)).Add(bad_date).Append("M", bad_type).Add(From(2001, 4));
    reply.Append("NumUpdate", NumUpdate(5, "通知", 1, 1))
        .Append("NumUpdate", QJsonObject{{"Remind_ID", "6"}})
        .Append("NumUpdate", NumUpdate(7, "审批", 1, 1));
    reply.Append("ML", StatusLog(1, 30, 2001, kUserId, 1)).Append("ML", bad_log);
    reply.Append("B", {{"BellLog_ID", "40"}}).Append("B", {{"BellLog_ID", "x"}});
    reply.velta["MaxNumUpdateLog_ID"] = "12";
    probe.Feed(reply);
    QCOMPARE(MessageCount(), 1);
    QCOMPARE(Count("SELECT COUNT(*) FROM num_update"), 1);
    QCOMPARE(probe.LastPoll(), (QList<int>{1, 30, 40, 12}));
    const QVariantMap saved = Row("SELECT * FROM max_ids");
    QCOMPARE(saved.value("max_messagelog_id").toInt(), 30);
    QCOMPARE(saved.value("max_belllog_id").toInt(), 40);
    QCOMPARE(saved.value("max_numupdatelog_id").toInt(), 12);

    // Not a reply at all: nothing stored, the same position asked for again.
    probe.Clear();
    probe.parse.OnHeartBeatMsgToParse("<html>busy</html>");
    QCOMPARE(probe.LastPoll(), (QList<int>{1, 30, 40, 12}));
}

void TestMsgParseIncoming::failedStatementKeepsThePollPosition() {
    ParserProbe probe;
    QVERIFY(
        SqlExec::Update("CREATE TRIGGER refuse_msg BEFORE INSERT ON message_all WHEN "
                        "NEW.message_id = 12 BEGIN SELECT RAISE(ABORT, 'no'); END;"));
    QVERIFY(
        SqlExec::Update("CREATE TRIGGER refuse_row BEFORE INSERT ON message_list WHEN "
                        "NEW.other_id = 2014 BEGIN SELECT RAISE(ABORT, 'no'); END;"));
    probe.Feed(Reply().Add(From(2011, 11)).Add(From(2012, 12)).Add(From(2013, 13)));
    QCOMPARE(MessageCount(), 1);
    QCOMPARE(probe.LastPoll().first(), 11);
    QCOMPARE(probe.Ints(probe.receipts, 1), QList<int>{11});

    // The message row goes in but its conversation row is refused: neither stays.
    probe.Feed(Reply().Add(From(2014, 14)));
    QCOMPARE(MessageCount(), 1);
    QCOMPARE(Count("SELECT COUNT(*) FROM message_list"), 1);
    QCOMPARE(probe.LastPoll().first(), 11);

    QVERIFY(SqlExec::Update("DROP TRIGGER refuse_msg;"));
    QVERIFY(SqlExec::Update("DROP TRIGGER refuse_row;"));
    probe.Feed(Reply().Add(From(2012, 12)).Add(From(2013, 13)).Add(From(2014, 14)));
    QCOMPARE(MessageCount(), 4);
    QCOMPARE(probe.LastPoll().first(), 14);
    QCOMPARE(probe.LastList(), (QStringList{"2014:1:0", "2013:1:1", "2012:1:2", "2011:1:3"}));
}

CORAL_TEST_GUILESS_MAIN(TestMsgParseIncoming)
#include "tst_msgparse_incoming.moc"
