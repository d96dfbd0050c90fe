#include <QJsonObject>
#include <QtTest>

#include "schedule/MeetingItem.h"
#include "schedule/ScheduleGrid.h"
#include "schedule/ScheduleReplies.h"
#include "tests/support/TestMain.h"

namespace {

QByteArray Reply(const QByteArray& r) {
    return R"({"Velta":{"EID":"0","R":)" + r + "}}";
}

SectionInfos Sections(const QStringList& begins) {
    SectionInfos sections;
    for (const QString& begin : begins)
        sections.append({QStringLiteral("第%1节").arg(sections.size() + 1), begin, QString()});
    return sections;
}

QJsonObject Meeting(const QDateTime& start, const QDateTime& end) {
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    return {{"StartTime", start.toString(format)}, {"EndTime", end.toString(format)}};
}

}  // namespace

// Reading the schedule service's replies and placing entries in the week table.
class TestScheduleData : public QObject {
    Q_OBJECT
private slots:
    void rowPlacement();
    void weekColumnsAcrossTheNewYear();
    void currentTermAndWeek();
    void sectionsSkipAllDay();
    void singleObjectReadsAsArray();
    void unitDatesWithoutLeadingZeros();
    void failedRepliesChangeNothing();
    void meetingStatesAroundNow();
};

void TestScheduleData::rowPlacement() {
    const SectionInfos sections = Sections({"08:00", "09:00", "10:00"});
    // Before the first section: the first row; at or after the last one's begin: the last.
    const QList<QPair<QString, int>> rows = {
        {"07:30", 0}, {"08:59", 0}, {"9:05", 1}, {"10:00", 2}, {"20:30", 2}};
    for (const auto& [begin, row] : rows)
        QCOMPARE(ScheduleGrid::Row(begin, sections), row);
    QCOMPARE(ScheduleGrid::Row("08:00", SectionInfos()), -1);
}

void TestScheduleData::weekColumnsAcrossTheNewYear() {
    const QList<QDate> days = ScheduleGrid::Days({"第18周", "2024-12-30,2025-01-05"});
    QCOMPARE(days.size(), 7);
    QCOMPARE(days.last(), QDate(2025, 1, 5));
    // Ranges that do not read, run backwards or would make a huge table give no columns.
    QVERIFY(ScheduleGrid::Days({"x", "2025-01-05,2024-12-30"}).isEmpty());
    QVERIFY(ScheduleGrid::Days({"x", "2024-12-30"}).isEmpty());
    QVERIFY(ScheduleGrid::Days({"x", "2020-01-01,2030-01-01"}).isEmpty());
}

void TestScheduleData::currentTermAndWeek() {
    const QByteArray terms = Reply(R"([
        {"Term_ID":"6","BeginDate":"2024/2/19 0:00:00","EndDate":"2024/7/5 23:59:59"},
        {"Term_ID":"7","BeginDate":"2024/9/2 0:00:00","EndDate":"2025/1/19 23:59:59"}])");
    QString term = "unchanged";
    QVERIFY(ScheduleReplies::CurrentTerm(terms, QDateTime({2024, 9, 2}, {0, 0}), &term));
    QCOMPARE(term, QString("7"));
    QVERIFY(ScheduleReplies::CurrentTerm(terms, QDateTime({2024, 8, 1}, {9, 0}), &term));
    QCOMPARE(term, QString());

    const QByteArray weeks = Reply(R"([
        {"Name":"第1周","Time":"2024-09-02,2024-09-08","IsCurrent":"0"},
        {"Name":"第2周","Time":"2024-09-09,2024-09-15","IsCurrent":"1"},
        {"Name":"第3周","Time":"2024-09-16,2024-09-22","IsCurrent":"0"}])");
    TermWeeks list;
    int current = -1;
    QVERIFY(ScheduleReplies::Weeks(weeks, QDate(2024, 9, 20), &list, &current));
    QCOMPARE(current, 1);
    QCOMPARE(list.at(2).Last(), QDate(2024, 9, 22));
    // Without a marked week, the one that holds today.
    QByteArray unmarked = weeks;
    unmarked.replace(R"("IsCurrent":"1")", R"("IsCurrent":"0")");
    QVERIFY(ScheduleReplies::Weeks(unmarked, QDate(2024, 9, 20), &list, &current));
    QCOMPARE(current, 2);
}

void TestScheduleData::sectionsSkipAllDay() {
    const QByteArray reply = Reply(R"({"Time":[
        {"Name":"全天","Section":[{"Name":"全天","Begin":"00:00","End":"23:59"}]},
        {"Name":"上午","Section":[{"Name":"第一节","Begin":"08:00","End":"08:40"},
                                  {"Name":"第二节","Begin":"08:50","End":"09:30"}]},
        {"Name":"中午","Section":{"Name":"午休","Begin":"12:00","End":"13:30"}}]})");
    SectionInfos sections;
    QVERIFY(ScheduleReplies::Sections(reply, &sections));
    QStringList names;
    for (const SectionInfo& s : sections)
        names << s.name + "@" + s.begin;
    QCOMPARE(names, QStringList({"第一节@08:00", "第二节@08:50", "午休@12:00"}));
}

void TestScheduleData::singleObjectReadsAsArray() {
    const QByteArray one = R"({"Date":"2024-12-31","Work":"教研, 听课","Address":"A|B",
        "BeginTime":"08:00","EndTime":"08:40","Type":"2","IsMember":"1"})";
    ScheduleEntries from_object, from_array;
    QVERIFY(ScheduleReplies::Entries(Reply(one), false, &from_object));
    QVERIFY(ScheduleReplies::Entries(Reply("[" + one + "]"), false, &from_array));
    QCOMPARE(from_object.size(), 1);
    QCOMPARE(from_object.first().Text(), from_array.first().Text());
    // Commas and bars typed by users stay inside their field.
    QCOMPARE(from_object.first().work, QString("教研, 听课"));
    QCOMPARE(from_object.first().address, QString("A|B"));
    // Own entries are type 4 and concern the user, whatever the reply says.
    ScheduleEntries own;
    QVERIFY(ScheduleReplies::Entries(Reply(one), true, &own));
    QCOMPARE(own.first().type, QString("4"));
    QCOMPARE(own.first().is_member, QString("1"));
}

void TestScheduleData::unitDatesWithoutLeadingZeros() {
    ScheduleEntries entries;
    QVERIFY(ScheduleReplies::Entries(
        Reply(R"([{"Date":"2025/1/2 0:00:00","BeginTime":"9:05","Type":"1","IsMember":"0"},
                  {"Date":"2024/12/30 13:40:00","BeginTime":"13:40","Type":"7","IsMember":"1"}])"),
        false, &entries));
    QCOMPARE(entries.at(0).date, QString("2025-01-02"));
    QCOMPARE(entries.at(1).date, QString("2024-12-30"));
    QCOMPARE(ScheduleReplies::DayKey("2025-1-2"), QString("2025-01-02"));
    QCOMPARE(ScheduleReplies::DayKey("明天"), QString("明天"));
}

void TestScheduleData::failedRepliesChangeNothing() {
    const QList<QByteArray> failures = {"<html>500</html>", R"({"EID":"0","R":[]})",
                                        R"({"Velta":{"EID":"1","ErrorMessage":"会话过期"}})"};
    for (const QByteArray& reply : failures) {
        ScheduleEntries entries = {ScheduleEntry{"2025-01-02", "kept"}};
        QVERIFY(!ScheduleReplies::Entries(reply, false, &entries));
        QCOMPARE(entries.size(), 1);
        SectionInfos sections = Sections({"08:00"});
        QVERIFY(!ScheduleReplies::Sections(reply, &sections));
        QCOMPARE(sections.size(), 1);
        QString term = "kept";
        QVERIFY(!ScheduleReplies::CurrentTerm(reply, QDateTime::currentDateTime(), &term));
        QCOMPARE(term, QString("kept"));
    }
}

void TestScheduleData::meetingStatesAroundNow() {
    const QDateTime now({2025, 3, 12}, {9, 30, 0});
    // Seconds from now to the start and to the end; both ends belong to the meeting.
    const QList<std::tuple<int, int, MeetingItem::State>> meetings = {
        {-3600, -60, MeetingItem::kEnded},
        {60, 3600, MeetingItem::kNotStarted},
        {0, 60, MeetingItem::kInProgress},
        {-60, 0, MeetingItem::kInProgress}};
    for (const auto& [start, end, state] : meetings)
        QCOMPARE(MeetingItem::StateAt(Meeting(now.addSecs(start), now.addSecs(end)), now), state);
    QCOMPARE(MeetingItem::StateAt({{"StartTime", "明天上午"}, {"EndTime", "x"}}, now),
             MeetingItem::kUnknown);
}

CORAL_TEST_MAIN(TestScheduleData)
#include "tst_schedule_data.moc"
