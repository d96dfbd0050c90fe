// MsgParse: polled messages stored (conversation order and numbers, duplicates, own echoes,
// rejected elements, failing statements, texts as sent), messages written here, group names,
// status logs, system messages counted per category and the page each leads to. MsgLoader: the
// pages of a conversation both ways, new rows only, and the row the page shows after sending.

#include <QtTest>

#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"
#include "engine/ExternalLink.h"
#include "engine/MessageStore.h"
#include "engine/MsgLoader.h"
#include "engine/ReplyDate.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

ChatMsg SystemMsg(int message_id, int remind_id, const QString& content) {
    ChatMsg msg = From(0, message_id);
    msg.send_id2 = remind_id;
    msg.send_name = "通知";
    msg.content = content;
    msg.send_date = QStringLiteral("2024/5/6 8:%1:00").arg(message_id - 60);
    return msg;
}

// "remind_id:number:content" of the last system list sent.
QStringList SysEntries(const QSignalSpy& spy) {
    QStringList entries;
    for (const auto* item : spy.last().at(0).value<MessageSysItemInfoPointers>())
        entries
            << QStringLiteral("%1:%2:%3").arg(item->remind_id).arg(item->number).arg(item->content);
    return entries;
}

void StoreReminder(int remind_id, int message_id, const QString& url) {
    MessageRecord msg;
    msg.other_id2 = remind_id;
    msg.message_id = message_id;
    msg.url = url;
    QVERIFY(MessageStore::Insert(msg) > 0);
}

int Store(int other_id, int message_id, int msg_type = 1, const QString& url = QString(),
          int is_send = 1) {
    MessageRecord msg;
    msg.other_id = other_id;
    msg.message_id = message_id;
    msg.msg_type = msg_type;
    msg.url = url;
    msg.send_or_receive = is_send == -1 ? 1 : 0;
    msg.is_send = is_send;
    msg.send_date = QDateTime(QDate(2024, 5, 6), QTime(8, 0)).addSecs(message_id);
    return MessageStore::Insert(msg);
}

// Every field a page shows of a record, one text per record.
QStringList Fields(const MessageItemInfoPointers& items) {
    QStringList texts;
    for (const MessageItemInfo* m : items) {
        QString text;
        QDebug(&text) << m->id << m->other_id << m->other_id2 << m->other_name << m->msg_type
                      << m->content << m->send_date << m->url << m->send_or_receive << m->message_id
                      << m->is_read << m->is_send << m->client_message_id << m->group_name
                      << m->file_name;
        texts << text;
    }
    return texts;
}

struct LoaderProbe {
    MsgLoader loader;
    QSignalSpy pages{&loader, &MsgLoader::msg_load_ready};
    QSignalSpy nulls{&loader, &MsgLoader::msg_null_load_ready};

    ~LoaderProbe() { FreeRecords<MessageItemInfoPointers>(pages); }
    MessageItemInfoPointers Last() const {
        return pages.last().at(0).value<MessageItemInfoPointers>();
    }
    QList<int> LastIds() const {
        QList<int> ids;
        for (const MessageItemInfo* item : Last())
            ids.append(item->id);
        return ids;
    }
};

QList<int> Ids(int from, int to, int step = 1) {
    QList<int> ids;
    for (int id = from; id <= to; id += step)
        ids.append(id);
    return ids;
}

}  // namespace

class TestMsgParse : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void conversationsMoveToTheTop();
    void readGroupAndOwnMessagesAndTheirLogs();
    void ownEchoAndDuplicates();
    void rejectedElementEndsItsArray();
    void failedStatementKeepsThePollPosition();
    void storesTheMessageBeforeSendingAndTheResultAfter();
    void refusedConversationRowKeepsTheMessage();
    void groupNamesAreStoredAsGiven();
    void datesReadAsQtReadsThem();
    void systemMessagesAreCountedPerCategory();
    void systemMessagesOpenTheirOwnPage();
    void freshRecordsAreTheLoadersRecords();
    void loaderDeliversNewMessagesOnce();
    void loaderPagesGoBothWaysFortyAtATime();
};

void TestMsgParse::conversationsMoveToTheTop() {
    ParserProbe probe;
    QCOMPARE(probe.LastPoll(), (QList<int>{0, 0, 0, 0}));
    probe.Clear();
    // Replies one after the other, as while catching up: each page is told at once, the list,
    // the tray and the unread total once, after the last, with all of them in it.
    for (int i = 1; i <= 4; ++i)
        probe.parse.OnHeartBeatMsgToParse(Reply().Add(From(2000 + i, i)).Text());
    QCOMPARE(probe.Ints(probe.pages, 0, 3), QList<int>{2004});
    QCOMPARE(probe.Ints(probe.receipts, 1, 3), QList<int>{4});
    QCOMPARE(probe.polls.size(), 4);
    QVERIFY(probe.lists.isEmpty() && probe.trays.isEmpty() && probe.bubbles.isEmpty());
    QTRY_COMPARE(probe.lists.size(), 1);
    QCOMPARE(probe.LastList(), (QStringList{"2004:1:0", "2003:1:1", "2002:1:2", "2001:1:3"}));
    QCOMPARE(probe.trays, (QList<QList<QVariant>>{{2004, 4}}));
    QCOMPARE(probe.LastBubble(), 4);
    QCOMPARE(probe.avatars.size(), 4);
    QCOMPARE(probe.LastPoll(), (QList<int>{4, 0, 0, 0}));
    QTest::qWait(2 * MsgParse::kWidgetDelayMs);
    QCOMPARE(probe.lists.size(), 1);

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

void TestMsgParse::readGroupAndOwnMessagesAndTheirLogs() {
    ParserProbe probe;
    ChatMsg read_elsewhere = From(2001, 2);
    read_elsewhere.is_read = 2;
    ChatMsg read_new = From(2002, 3);
    read_new.is_read = 2;
    ChatMsg member = From(-2001, 4);
    member.receive_id = -300;
    member.send_id2 = 2001;
    member.send_name = "赵老师";
    member.receive_name = "语文组";
    ChatMsg own = member;
    own.message_id = 5;
    own.send_id = kUserId;
    ChatMsg own_direct = From(kUserId, 60);
    own_direct.receive_id = 2002;
    probe.Feed(Reply()
                   .Add(From(2001, 1))
                   .Add(read_elsewhere)
                   .Add(read_new)
                   .Add(member)
                   .Add(own)
                   .Add(own_direct));
    // Messages read already never raise a number, on a new conversation or an old one.
    QCOMPARE(Number(2001), 1);
    QCOMPARE(Number(2002), 0);
    QCOMPARE(Number(-300), 1);

    // A member's message keeps the member for its avatar; one's own keeps the group's name.
    QCOMPARE(Message(4).value("other_id").toInt(), -300);
    QCOMPARE(Message(4).value("other_id2").toInt(), 2001);
    QCOMPARE(Message(4).value("other_name").toString(), QString("赵老师"));
    QCOMPARE(Message(5).value("other_id2").toInt(), 0);
    QCOMPARE(Message(5).value("other_name").toString(), QString("语文组"));
    QCOMPARE(Message(5).value("send_or_receive").toInt(), 1);

    // The other side got, then read one's own message: the page is told once.
    probe.Feed(Reply()
                   .Append("ML", StatusLog(60, 100, kUserId, 2002, 1))
                   .Append("ML", StatusLog(60, 101, kUserId, 2002, 2)));
    QCOMPARE(Message(60).value("is_read").toInt(), 2);
    QCOMPARE(probe.read_marks.size(), 1);
    QCOMPARE(probe.read_marks.at(0), (QList<QVariant>{2002, 60}));
    // A member read one's own message: one's unread number in the group stays.
    probe.Feed(Reply().Append("ML", StatusLog(5, 200, kUserId, -300, 2)));
    QCOMPARE(Number(-300), 1);
    // The group message read on another device clears the group, not the member's own chat.
    probe.Feed(Reply().Append("ML", StatusLog(4, 201, 2001, -300, 2)));
    QCOMPARE(Message(4).value("is_read").toInt(), 2);
    QCOMPARE(Number(-300), 0);
    QCOMPARE(Number(2001), 1);
    QCOMPARE(probe.LastList(), (QStringList{"2002:0:0", "-300:0:1", "2001:1:2"}));
    // The next session shows what is still unread before any news.
    ParserProbe restarted;
    QCOMPARE(restarted.LastBubble(), 1);

    // Read on another device, the chat message clears its conversation too.
    probe.Feed(Reply().Append("ML", StatusLog(1, 202, 2001, kUserId, 2)));
    QCOMPARE(Message(1).value("is_read").toInt(), 2);
    QCOMPARE(probe.LastBubble(), 0);
    QCOMPARE(probe.LastPoll(), (QList<int>{60, 202, 0, 0}));
}

void TestMsgParse::ownEchoAndDuplicates() {
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

void TestMsgParse::rejectedElementEndsItsArray() {
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
    ParserProbe restarted;
    QCOMPARE(restarted.LastPoll(), (QList<int>{1, 30, 40, 12}));

    // Not a reply at all: nothing stored, the same position asked for again.
    probe.Clear();
    probe.parse.OnHeartBeatMsgToParse("<html>busy</html>");
    QCOMPARE(probe.LastPoll(), (QList<int>{1, 30, 40, 12}));
}

void TestMsgParse::failedStatementKeepsThePollPosition() {
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

void TestMsgParse::storesTheMessageBeforeSendingAndTheResultAfter() {
    ParserProbe probe;
    probe.Feed(Reply().Add(From(2001, 1)).Add(From(2002, 2)).Add(From(2002, 3)).Add(From(2003, 4)));
    probe.Clear();
    const QString text = "It's \"ok\" + & 中文 [微笑]";
    const int accepted = probe.Send(2001, 1, 11, text);
    QCOMPARE(probe.send_requests.at(0), (QList<QVariant>{2001, "李老师", accepted, 1, text}));
    QCOMPARE(probe.to_ids.at(0), (QList<QVariant>{2001, accepted}));
    const QString sql = "SELECT * FROM message_all WHERE id=:id";
    const QVariantMap row = Row(sql, {{"id", accepted}});
    QCOMPARE(row.value("content").toString(), text);
    QCOMPARE(row.value("url").toString(), QString());
    QCOMPARE(row.value("client_message_id").toInt(), accepted);
    QCOMPARE(row.value("is_send").toInt(), -1);
    QCOMPARE(row.value("message_id").toInt(), -1);
    QCOMPARE(row.value("client_code").toString(), Account::DeviceId());
    QCOMPARE(row.value("user_id").toInt(), kUserId);
    // The conversation comes to the top and keeps its number.
    QCOMPARE(probe.LastList(), (QStringList{"2001:1:0", "2003:1:1", "2002:2:2"}));

    const int refused = probe.Send(2001, 1, 12, "b");
    probe.parse.OnMsgSendReback(accepted, 1, "777");
    probe.parse.OnMsgSendReback(refused, 0, "对方已不在群内");
    probe.parse.OnMsgSendReback(9999, 1, "5");
    QCOMPARE(probe.send_states.size(), 2);
    QCOMPARE(probe.send_states.at(0), (QList<QVariant>{2001, 11, 1, "777"}));
    QCOMPARE(probe.send_states.at(1), (QList<QVariant>{2001, 12, 0, "对方已不在群内"}));
    QCOMPARE(Row(sql, {{"id", accepted}}).value("is_send").toInt(), 1);
    QCOMPARE(Row(sql, {{"id", accepted}}).value("message_id").toInt(), 777);
    QCOMPARE(Row(sql, {{"id", refused}}).value("is_send").toInt(), 0);

    // A restart polls on from the last polled message: the id from a send answer that the poll
    // has not brought back yet would skip messages, the -1 of a refused one repeat them all.
    ParserProbe restarted;
    QCOMPARE(restarted.LastPoll().first(), 4);
}

void TestMsgParse::refusedConversationRowKeepsTheMessage() {
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

void TestMsgParse::groupNamesAreStoredAsGiven() {
    ParserProbe probe;
    probe.parse.OnUpdateDBGroupInfo({"300,O'Neil's \"组\"", "bad", "x,无效", "", "301,初一,二班"});
    probe.parse.OnUpdateDBGroupInfo({"302,旧名", "302,新名字"});
    const QString sql = "SELECT group_name FROM group_infos WHERE group_id=:id";
    QCOMPARE(Row(sql, {{"id", 300}}).value("group_name").toString(), QString("O'Neil's \"组\""));
    QCOMPARE(Row(sql, {{"id", 301}}).value("group_name").toString(), QString("初一,二班"));
    QCOMPARE(Row(sql, {{"id", 302}}).value("group_name").toString(), QString("新名字"));
    QCOMPARE(Count("SELECT COUNT(*) FROM group_infos"), 3);
}

void TestMsgParse::systemMessagesAreCountedPerCategory() {
    ParserProbe probe;
    Reply reply;
    reply.Append("NumUpdate", NumUpdate(5, "通知公告", 2, 1))
        .Append("NumUpdate", NumUpdate(6, "广告", 3, 0))
        .Append("NumUpdate", NumUpdate(8, "日程", 0, 1))
        .Append("NumUpdate", NumUpdate(9, "审批", 1, 1));
    reply.Add(SystemMsg(70, 5, "first")).Add(SystemMsg(71, 5, "second"));
    reply.Add(SystemMsg(72, 6, "hidden")).Add(SystemMsg(73, 8, "")).Add(SystemMsg(74, 9, "ok?"));
    probe.Feed(reply);
    // The uncounted category is stored but stays out of the list entry and the system page.
    QCOMPARE(MessageCount(), 5);
    QCOMPARE(probe.LastList(), QStringList{"0:4:0"});
    QCOMPARE(SysEntries(probe.sys_lists), (QStringList{"5:2:second", "8:0:暂无新消息", "9:1:ok?"}));
    QCOMPARE(probe.trays.last(), (QList<QVariant>{0, 4}));

    // Read receipts of chat messages come back as status logs. The first brings the entry's
    // number to the counted total; one that leaves the counts as they are does not build the
    // system page again.
    probe.Feed(Reply().Add(From(2001, 76)).Add(From(2001, 77)));
    probe.Feed(Reply().Append("ML", StatusLog(76, 298, 2001, kUserId, 1)));
    QCOMPARE(probe.sys_counts.last().at(0).toInt(), 3);
    probe.Feed(Reply().Append("ML", StatusLog(77, 299, 2001, kUserId, 1)));
    QVERIFY(probe.sys_lists.isEmpty());
    QVERIFY(probe.sys_counts.isEmpty());
    QCOMPARE(engine_test::Number(0), 3);

    // Category 9 read: the entry shows the newest message still unread and the total.
    Reply read;
    read.Append("NumUpdate", NumUpdate(9, "审批", 0, 1));
    read.Append("ML", StatusLog(74, 300, 0, kUserId, 2, 3));
    probe.Feed(read);
    QCOMPARE(Row("SELECT content FROM message_list").value("content").toString(),
             QString("second"));
    QCOMPARE(probe.sys_counts.last().at(0).toInt(), 2);
    QCOMPARE(probe.LastPoll().at(1), 300);

    Reply read_all;
    read_all.Append("NumUpdate", NumUpdate(5, "通知公告", 0, 1));
    read_all.Append("ML", StatusLog(71, 301, 0, kUserId, 2, 3));
    read_all.Add(SystemMsg(75, 8, ""));
    probe.Feed(read_all);
    QCOMPARE(probe.sys_counts.last().at(0).toInt(), 0);
    QCOMPARE(probe.lists.last().at(0).value<ConnectListItemInfoPointers>().first()->content,
             QString("暂无新消息"));
    QCOMPARE(SysEntries(probe.sys_lists), (QStringList{"5:0:second", "9:0:ok?", "8:0:暂无新消息"}));
}

// The reply's dates are read by hand; whatever the text, the result is Qt's own.
void TestMsgParse::datesReadAsQtReadsThem() {
    for (const QString& text :
         {"2024/5/6 8:09:10", "2024/05/06 08:09:10", "2024/2/30 8:09:10", "2024/5/6 24:00:00",
          "24/5/6 8:09:10", " 2024/5/6 8:09:10", "2024/5/6 8:09:10 ", "2024/5/6 8:9:10",
          "2024/13/6 8:09:10", "2024/5/6 8:09", "２０２４/5/6 8:09:10", "2024/5/6 8:09:1０", ""})
        QCOMPARE(ReplyDate::Message(text), QDateTime::fromString(text, ReplyDate::kMessageFormat));
    for (const QString& text : {"2024-05-06 08:10", "2024-5-6 08:10", "2023-02-29 23:59",
                                "2024-05-06 08:10:00", "2024/05/06 08:10"})
        QCOMPARE(ReplyDate::Log(text), QDateTime::fromString(text, ReplyDate::kLogFormat));
    QVERIFY(ReplyDate::Message("2024/5/6 8:09:10").isValid());
    QVERIFY(ReplyDate::Log("2024-05-06 08:10").isValid());
}

void TestMsgParse::systemMessagesOpenTheirOwnPage() {
    QVERIFY(SignIn("http://127.0.0.1:9/unit/7/"));
    StoreReminder(9417, 71, "Web/Notice/NoticeView.aspx?Notice_ID=325");
    // A quote in the stored url is part of the address, not of a statement.
    StoreReminder(2302, 72, "DavEdevo/Affair/AffairView.aspx?Affair_ID=56' OR '1'='1");
    StoreReminder(2202, 73, "17");
    // Same message id, other category: not this message.
    StoreReminder(9418, 75, "Web/Other.aspx");
    // Stored without a url: no page of its own either.
    StoreReminder(9428, 76, "");
    ExternalLink link;
    QSignalSpy unsupported(&link, &ExternalLink::dont_support_on_pc);
    QSignalSpy opened(&link, &ExternalLink::open_link);
    // Categories without a page: a note for some, nothing for others.
    for (int remind : {9421, 9419, 9406, 9424})
        link.OnOpenSysMsg(remind, 1);
    QCOMPARE(unsupported.size(), 2);
    QVERIFY(opened.isEmpty());
    for (const auto& message : {qMakePair(9417, 71), qMakePair(2302, 72), qMakePair(2202, 73),
                                qMakePair(9417, 75), qMakePair(9428, 76)})
        link.OnOpenSysMsg(message.first, message.second);
    QStringList links;
    for (const QVariantList& call : opened)
        links << call.at(0).toString().mid(QString("http://127.0.0.1:9/unit/7//").size());
    QCOMPARE(links, QStringList({"/Web/Notice/NoticeView.aspx?Notice_ID=325",
                                 "/DavEdevo/Affair/AffairView.aspx?Affair_ID=56' OR '1'='1",
                                 "/DavEdevo/SetManage/SetMendDetail.aspx?SetMend_ID=17",
                                 "/Web/MSGIndex.aspx?Type=1&MID=24064&RD=58135047",
                                 "/Web/MSGIndex.aspx?Type=1&MID=24064&RD=58135047"}));
    QCOMPARE(unsupported.size(), 2);
    // A unit address without a scheme gets one, never a second.
    QCOMPARE(ExternalLink::LinkFor("www.school.cn/", "/a.aspx"),
             QString("http://www.school.cn///a.aspx"));
    QCOMPARE(ExternalLink::LinkFor("HTTPS://www.school.cn/", "/a.aspx"),
             QString("HTTPS://www.school.cn///a.aspx"));
}

void TestMsgParse::freshRecordsAreTheLoadersRecords() {
    SqlExec::Insert("INSERT INTO group_infos (group_id, group_name) VALUES (300, '语文组')");
    const int earlier = Store(-300, 1);
    ParserProbe probe;
    QSignalSpy fresh(&probe.parse, &MsgParse::fresh_msgs_stored);
    ChatMsg file = From(-2001, 2);
    file.receive_id = -300;
    file.send_id2 = 2001;
    file.send_name = "赵老师";
    file.receive_name = "语文组";
    file.msg_type = 2;
    file.url = "up/6|教 案.doc|12";
    ChatMsg text = From(2002, 3);
    text.content = "a+b <b>粗</b>\r\n第二行";
    text.is_read = 2;
    // The second copy of a message is no new row.
    probe.Feed(Reply().Add(file).Add(text).Add(text));
    QCOMPARE(fresh.size(), 2);
    QMap<int, int> previous;
    for (const QList<QVariant>& call : fresh) {
        const auto records = call.at(1).value<MessageItemInfoPointers>();
        const int other_id = records.first()->other_id;
        previous.insert(other_id, call.at(0).toInt());
        const MessageItemInfoPointers loaded = MsgLoader::Items(SqlExec::SelectRows(
            "SELECT * FROM message_all WHERE other_id = :other_id AND id > :id ORDER BY id",
            {{"other_id", other_id}, {"id", call.at(0).toInt()}}));
        const QStringList shown = Fields(records);
        qDeleteAll(records);
        QCOMPARE(shown, Fields(loaded));
        QCOMPARE(shown.size(), 1);
        qDeleteAll(loaded);
    }
    QCOMPARE(previous, (QMap<int, int>{{-300, earlier}, {2002, 0}}));
}

void TestMsgParse::loaderDeliversNewMessagesOnce() {
    for (int i = 1; i <= 3; ++i)
        Store(2001, i);
    LoaderProbe probe;
    probe.loader.OnUpdateMsgPage(2001, 0, 0);
    Store(2001, 4);
    Store(2001, 5);
    probe.loader.OnNewMsgComming({2001});
    QCOMPARE(probe.LastIds(), Ids(4, 5));
    probe.loader.OnNewMsgComming({2001});
    QCOMPARE(probe.pages.size(), 2);

    // The page already shows what it sent; only the answer after it is new.
    probe.loader.OnUpdateToId(2001, Store(2001, -1, 1, QString(), -1));
    const int answer = Store(2001, 7);
    probe.loader.OnNewMsgComming({2001});
    QCOMPARE(probe.LastIds(), QList<int>{answer});

    // A conversation not loaded yet gets its newest page, its records named by group and file;
    // the system entry gets nothing.
    SqlExec::Insert("INSERT INTO group_infos (group_id, group_name) VALUES (300, '语文组')");
    Store(-300, 1, 2, "files/42|教案.docx|12");
    Store(-300, 2, 3, "/home/t/本地|照片.png", -1);
    Store(-300, 3, 3, "no-bar.png");
    Store(-300, 4, 1, "ignored|x");
    Store(0, 9);
    probe.loader.OnNewMsgComming({0, -300});
    QCOMPARE(probe.pages.size(), 4);
    const MessageItemInfoPointers items = probe.Last();
    QCOMPARE(items.size(), 4);
    QCOMPARE(items.at(0)->group_name, QString("语文组"));
    QCOMPARE(items.at(0)->file_name, QString("教案.docx"));
    QCOMPARE(items.at(1)->file_name, QString("/home/t/本地|照片.png"));
    QCOMPARE(items.at(2)->file_name, QString("no-bar.png"));
    QCOMPARE(items.at(3)->file_name, QString());
    QCOMPARE(items.at(0)->send_date, QDateTime(QDate(2024, 5, 6), QTime(8, 0, 1)));
}

void TestMsgParse::loaderPagesGoBothWaysFortyAtATime() {
    // 2001 has the odd ids 1..199, 2002 the even ones.
    for (int i = 1; i <= 100; ++i) {
        Store(2001, i);
        Store(2002, 1000 + i);
    }
    LoaderProbe probe;
    QSignalSpy around(&probe.loader, &MsgLoader::msg_around_ready);
    QSignalSpy newer(&probe.loader, &MsgLoader::msg_newer_ready);
    auto ids = [](const QSignalSpy& spy, int arg) {
        QList<int> ids;
        const auto items = spy.last().at(arg).value<MessageItemInfoPointers>();
        for (const MessageItemInfo* item : items)
            ids.append(item->id);
        qDeleteAll(items);
        return ids;
    };
    probe.loader.OnUpdateMsgPage(2003, 0, 0);
    QCOMPARE(probe.nulls.size(), 1);
    QCOMPARE(probe.nulls.at(0).at(0).toInt(), 2003);
    probe.loader.OnUpdateMsgPage(2001, 0, 0);
    QCOMPARE(probe.LastIds(), Ids(121, 199, 2));
    probe.loader.OnUpdateMsgPage(2001, probe.LastIds().first(), 1);
    QCOMPARE(probe.LastIds(), Ids(41, 119, 2));
    probe.loader.OnUpdateMsgPage(2001, probe.LastIds().first(), 1);
    QCOMPARE(probe.LastIds(), Ids(1, 39, 2));
    probe.loader.OnUpdateMsgPage(2001, 1, 1);
    QCOMPARE(probe.pages.size(), 3);
    QCOMPARE(probe.nulls.size(), 1);

    // Opened at a message: pages on either side of it, newer ones up to the newest.
    probe.loader.OnLoadAround(2001, 101);
    QCOMPARE(around.last().at(1).toInt(), 101);
    QCOMPARE(ids(around, 2), Ids(61, 141, 2));
    QCOMPARE(around.last().at(3).toBool(), true);
    QCOMPARE(around.last().at(4).toBool(), true);
    probe.loader.OnLoadNewer(2001, 141);
    QCOMPARE(ids(newer, 1), Ids(143, 199, 2));
    QCOMPARE(newer.last().at(2).toBool(), false);

    // At the newest row, new messages are delivered after it, once.
    const int next = Store(2001, 500);
    probe.loader.OnNewMsgComming({2001});
    QCOMPARE(probe.LastIds(), QList<int>{next});
    probe.loader.OnLoadNewer(2001, next);
    QVERIFY(ids(newer, 1).isEmpty());

    // Near either end, and a row of another conversation or gone.
    probe.loader.OnLoadAround(2002, 2);
    QCOMPARE(ids(around, 2), Ids(2, 42, 2));
    QCOMPARE(around.last().at(3).toBool(), false);
    probe.loader.OnLoadAround(2001, 2);
    QVERIFY(ids(around, 2).isEmpty());
    QCOMPARE(around.size(), 3);
}

CORAL_TEST_GUILESS_MAIN(TestMsgParse)
#include "tst_msgparse.moc"
