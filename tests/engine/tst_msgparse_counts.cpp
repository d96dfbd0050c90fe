// Status logs (read receipts coming back, reading on another device) and system messages with
// their per-category unread numbers.

#include <QtTest>

#include "EngineTestEnv.h"
#include "ParserProbe.h"
#include "engine/EngineMetaTypes.h"

using namespace engine_test;

namespace {

ChatMsg SystemMsg(int message_id, int remind_id, const QString& content) {
    ChatMsg msg;
    msg.message_id = message_id;
    msg.send_id = 0;
    msg.send_id2 = remind_id;
    msg.send_name = QStringLiteral("通知");
    msg.content = content;
    return msg;
}

QStringList SysEntries(const QSignalSpy& spy) {
    QStringList entries;
    for (const MessageSysItemInfo* item : spy.last().at(0).value<MessageSysItemInfoPointers>())
        entries.append(
            QStringLiteral("%1:%2:%3").arg(item->remind_id).arg(item->number).arg(item->content));
    return entries;
}

}  // namespace

class TestMsgParseCounts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { EngineMetaTypes::Register(); }
    void init() { QVERIFY(SignIn()); }

    void readLogsMarkMessagesAndResetNumbers();
    void systemMessagesAreCountedPerCategory();
    void readSystemMessagesClearTheSystemEntry();
};

void TestMsgParseCounts::readLogsMarkMessagesAndResetNumbers() {
    ParserProbe probe;
    ChatMsg received;
    received.message_id = 1;
    ChatMsg own;
    own.message_id = 60;
    own.send_id = kUserId;
    own.receive_id = 2002;
    probe.Feed(Reply().Add(received).Add(own));
    QCOMPARE(Number(2001), 1);

    Reply logs;
    logs.ml = {StatusLog(60, 100, kUserId, 2002, 1), StatusLog(60, 101, kUserId, 2002, 2),
               StatusLog(1, 102, 2001, kUserId, 2)};
    probe.Feed(logs);
    const QString sql = QStringLiteral("SELECT is_read FROM message_all WHERE message_id=:id");
    QCOMPARE(Count(sql, {{"id", 60}}), 2);
    QCOMPARE(Count(sql, {{"id", 1}}), 2);
    QCOMPARE(probe.read_marks.size(), 1);
    QCOMPARE(probe.read_marks.at(0), (QList<QVariant>{2002, 60}));
    QCOMPARE(Number(2001), 0);
    QCOMPARE(probe.LastList(), (QStringList{"2002:0:0", "2001:0:1"}));
    QCOMPARE(probe.bubbles.last().at(0).toInt(), 0);
    QCOMPARE(probe.LastPoll(), (QList<int>{60, 102, 0, 0}));
    QCOMPARE(Row(QStringLiteral("SELECT * FROM max_ids")).value("max_messagelog_id").toInt(), 102);

    // A restart continues from the saved position.
    ParserProbe restarted;
    QCOMPARE(restarted.LastPoll(), (QList<int>{60, 102, 0, 0}));
}

void TestMsgParseCounts::systemMessagesAreCountedPerCategory() {
    ParserProbe probe;
    Reply reply;
    reply.num_update = {NumUpdate(5, "通知公告", 2, 1), NumUpdate(6, "广告", 3, 0)};
    reply.Add(SystemMsg(70, 5, "first")).Add(SystemMsg(71, 5, "second"));
    reply.Add(SystemMsg(72, 6, "hidden"));
    probe.Feed(reply);

    QCOMPARE(MessageCount(), 3);
    const QVariantMap system_row = Row(QStringLiteral("SELECT * FROM message_list"));
    QCOMPARE(Count(QStringLiteral("SELECT COUNT(*) FROM message_list")), 1);
    QCOMPARE(system_row.value("other_id").toInt(), 0);
    QCOMPARE(system_row.value("content").toString(), QStringLiteral("second"));
    QCOMPARE(system_row.value("number").toInt(), 2);
    QCOMPARE(probe.sys_lists.size(), 1);
    QCOMPARE(SysEntries(probe.sys_lists), (QStringList{"5:2:second"}));
    QCOMPARE(probe.trays.last(), (QList<QVariant>{0, 2}));
    QCOMPARE(probe.Ints(probe.receipts, 0, 1), (QList<int>{70, 71, 72}));

    // A category without messages to show gets the placeholder text.
    Reply quiet;
    quiet.num_update = {NumUpdate(8, "日程", 0, 1)};
    quiet.Add(SystemMsg(73, 8, QString()));
    probe.Feed(quiet);
    QCOMPARE(SysEntries(probe.sys_lists),
             (QStringList{"5:2:second", QStringLiteral("8:0:暂无新消息")}));
    QCOMPARE(probe.LastList(), (QStringList{"0:3:0"}));
    QCOMPARE(probe.lists.last().at(0).value<ConnectListItemInfoPointers>().first()->content,
             QStringLiteral("暂无新消息"));
}

void TestMsgParseCounts::readSystemMessagesClearTheSystemEntry() {
    ParserProbe probe;
    Reply reply;
    reply.num_update = {NumUpdate(5, "通知公告", 1, 1), NumUpdate(9, "审批", 1, 1)};
    reply.Add(SystemMsg(70, 5, "notice")).Add(SystemMsg(71, 9, "approve"));
    probe.Feed(reply);

    // Category 9 read: the entry shows what is still unread, with the counted total.
    Reply read_one;
    read_one.num_update = {NumUpdate(9, "审批", 0, 1)};
    read_one.ml = {StatusLog(71, 300, 0, kUserId, 2, 3)};
    probe.Feed(read_one);
    const QVariantMap row = Row(QStringLiteral("SELECT * FROM message_list WHERE other_id=0"));
    QCOMPARE(row.value("content").toString(), QStringLiteral("notice"));
    QCOMPARE(row.value("number").toInt(), 1);
    QCOMPARE(probe.sys_counts.last().at(0).toInt(), 1);
    QCOMPARE(SysEntries(probe.sys_lists), (QStringList{"5:1:notice", "9:0:approve"}));

    Reply read_all;
    read_all.num_update = {NumUpdate(5, "通知公告", 0, 1)};
    read_all.ml = {StatusLog(70, 301, 0, kUserId, 2, 3)};
    probe.Feed(read_all);
    QCOMPARE(Number(0), 0);
    QCOMPARE(probe.sys_counts.last().at(0).toInt(), 0);
    QCOMPARE(probe.bubbles.last().at(0).toInt(), 0);
    QCOMPARE(probe.LastPoll().at(1), 301);
}

QTEST_GUILESS_MAIN(TestMsgParseCounts)
#include "tst_msgparse_counts.moc"
