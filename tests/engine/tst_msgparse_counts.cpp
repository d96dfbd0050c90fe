// Status logs (read receipts coming back, reading on another device) and system messages with
// their per-category unread numbers.

#include <QtTest>

#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"
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

}  // namespace

class TestMsgParseCounts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void readLogsMarkMessagesAndResetNumbers();
    void groupReadLogsClearTheGroup();
    void systemMessagesAreCountedPerCategory();
};

void TestMsgParseCounts::readLogsMarkMessagesAndResetNumbers() {
    ParserProbe probe;
    ChatMsg own = From(kUserId, 60);
    own.receive_id = 2002;
    probe.Feed(Reply().Add(From(2001, 1)).Add(own));
    Reply logs;
    logs.Append("ML", StatusLog(60, 100, kUserId, 2002, 1))
        .Append("ML", StatusLog(60, 101, kUserId, 2002, 2))
        .Append("ML", StatusLog(1, 102, 2001, kUserId, 2));
    probe.Feed(logs);
    QCOMPARE(Message(60).value("is_read").toInt(), 2);
    QCOMPARE(Message(1).value("is_read").toInt(), 2);
    // The other side read one's own message; one's own reading elsewhere clears the number.
    QCOMPARE(probe.read_marks.size(), 1);
    QCOMPARE(probe.read_marks.at(0), (QList<QVariant>{2002, 60}));
    QCOMPARE(probe.LastList(), (QStringList{"2002:0:0", "2001:0:1"}));
    QCOMPARE(probe.LastBubble(), 0);
    QCOMPARE(probe.LastPoll(), (QList<int>{60, 102, 0, 0}));
    ParserProbe restarted;
    QCOMPARE(restarted.LastPoll(), (QList<int>{60, 102, 0, 0}));
}

void TestMsgParseCounts::groupReadLogsClearTheGroup() {
    ParserProbe probe;
    ChatMsg in_group = From(-2001, 10);
    in_group.receive_id = -5;
    in_group.send_id2 = 2001;
    ChatMsg own_in_group = From(kUserId, 12);
    own_in_group.receive_id = -5;
    probe.Feed(Reply().Add(in_group).Add(From(2001, 11)).Add(own_in_group));
    const auto number = [&probe](int other_id) {
        for (const QString& entry : probe.LastList())
            if (entry.section(':', 0, 0).toInt() == other_id)
                return entry.section(':', 1, 1).toInt();
        return -1;
    };
    QCOMPARE(number(-5), 1);
    QCOMPARE(number(2001), 1);
    // A member read one's own message: one's unread number in the group stays.
    probe.Feed(Reply().Append("ML", StatusLog(12, 200, kUserId, -5, 2)));
    probe.Feed(Reply().Add(From(2001, 13)));
    QCOMPARE(number(-5), 1);
    // The group message read on another device clears the group, not the sender's own chat.
    probe.Feed(Reply().Append("ML", StatusLog(10, 201, 2001, -5, 2)));
    QCOMPARE(Message(10).value("is_read").toInt(), 2);
    QCOMPARE(number(-5), 0);
    QCOMPARE(number(2001), 2);
    // The next session shows what is still unread before any news.
    ParserProbe restarted;
    QCOMPARE(restarted.LastBubble(), 2);
}

void TestMsgParseCounts::systemMessagesAreCountedPerCategory() {
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

CORAL_TEST_GUILESS_MAIN(TestMsgParseCounts)
#include "tst_msgparse_counts.moc"
