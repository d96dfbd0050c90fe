// The schedule page: replies, the week table; against platform-sim the weeks, legend, to-dos and
// meetings; to-do paging and failed replies against a test server.

#include <QAtomicInt>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "schedule/ElidedLabel.h"
#include "schedule/MeetingItem.h"
#include "schedule/ScheduleEntryWid.h"
#include "schedule/ScheduleGrid.h"
#include "schedule/SchedulePage.h"
#include "schedule/SchedulePageHelper.h"
#include "schedule/ScheduleReplies.h"
#include "schedule/ScheduleSideHelper.h"
#include "schedule/ScheduleSideWid.h"
#include "schedule/ScheduleTableWid.h"
#include "schedule/TodoItem.h"
#include "tests/engine/EngineTestEnv.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using engine_test::SignInAs;

namespace {

// Counts the log lines that contain a text while it lives: a dropped reply leaves no other trace.
struct LogWatch {
    explicit LogWatch(const char* text) {
        needle = text;
        count = 0;
        previous = qInstallMessageHandler(Handle);
    }
    ~LogWatch() { qInstallMessageHandler(previous); }
    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& line) {
        if (line.contains(QLatin1String(needle)))
            count.ref();
        if (previous)
            previous(type, context, line);
    }
    static inline const char* needle = nullptr;
    static inline QAtomicInt count;
    static inline QtMessageHandler previous = nullptr;
};

QByteArray Reply(const QByteArray& r) {
    return R"({"Velta":{"EID":"0","R":)" + r + "}}";
}

// One page of a to-do reply: `count` plans to handle and the given total.
QByteArray TodoPage(int count, int total) {
    QByteArrayList plans;
    for (int i = 0; i < count; ++i) {
        plans << R"({"Work":"事项)" + QByteArray::number(i) +
                     R"(","EndDate":"2025-03-12 17:00",)"
                     R"("PlanEdiStatus":"1","ReadTime":"2025-03-10 08:00"})";
    }
    return R"({"Velta":{"EID":"0","TotalCount":")" + QByteArray::number(total) + R"(","R":[)" +
           plans.join(',') + R"(],"Audit":[],"Applying":[]}})";
}

QStringList Pages(const TestHttpServer& server) {
    QStringList pages;
    for (const TestHttpServer::Request& request : server.Requests()) {
        if (engine_test::FieldNames(request).contains("PageIndex"))
            pages << engine_test::Field(request, "PageIndex");
    }
    return pages;
}

QStringList Texts(QListWidget* list, const char* label) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        QWidget* row = list->itemWidget(list->item(i));
        auto* lab = row ? row->findChild<QLabel*>(QLatin1String(label)) : nullptr;
        auto* elided = qobject_cast<ElidedLabel*>(lab);
        texts << (elided ? elided->FullText() : lab ? lab->text() : QString());
    }
    return texts;
}

ScheduleEntry Entry(const QString& date, const QString& begin, const QString& type = "1") {
    return {date, QStringLiteral("工作 %1").arg(begin), "地点", begin, "23:00", type, "0"};
}

// The entries the table shows.
QList<ScheduleEntry> Shown(const ScheduleTableWid* table) {
    QList<ScheduleEntry> entries;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            for (ScheduleEntryWid* entry : table->EntriesAt(row, column))
                entries << entry->Entry();
        }
    }
    return entries;
}

// Receives the web pages the page opens instead of the desktop's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler("http", this, "Open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("http"); }
    QStringList urls;

public slots:
    void Open(const QUrl& url) { urls << url.toString(); }
};

}  // namespace

class TestSchedulePage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(sim_.IsRunning()); }
    void init() {
        sim_.ClearFaults();
        QVERIFY(SignInAs("zhanglei", 10001, sim_.UnitRecord(), sim_.OpenSession("zhanglei")));
    }
    void cleanup() {
        delete page_;
        page_ = nullptr;
    }
    void termWeeksSectionsAndOwnEntries();
    void weekTableAcrossTheNewYear();
    void demoWeekFromPlatform();
    void weekNavigation();
    void todoPagesAndFailedRefresh();
    void meetingsWithTheirStates();

private:
    // A page for the signed-in demo user, once this week's entries are in.
    SchedulePage* OpenPage();
    QToolButton* Button(const char* name) const {
        return page_->findChild<QToolButton*>(QLatin1String(name));
    }
    // The dates of the entries the table shows.
    QSet<QDate> ShownDates() const;
    bool UseTestServer() {
        return SignInAs("zhanglei", 10001,
                        QStringLiteral("1001,测试学校,%1,").arg(server_.Url("/")), "session-1");
    }

    SimServer sim_{300};
    TestHttpServer server_;
    SchedulePage* page_ = nullptr;
};

SchedulePage* TestSchedulePage::OpenPage() {
    page_ = new SchedulePage;
    QSignalSpy ready(page_->Helper(), &SchedulePageHelper::schedule_ready);
    page_->resize(1100, 700);
    page_->show();
    return ready.wait(10000) ? page_ : nullptr;
}

QSet<QDate> TestSchedulePage::ShownDates() const {
    QSet<QDate> dates;
    for (const ScheduleEntry& entry : Shown(page_->Table()))
        dates << QDate::fromString(entry.date, "yyyy-MM-dd");
    return dates;
}

void TestSchedulePage::termWeeksSectionsAndOwnEntries() {
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
    // Without a marked week, the one that holds today.
    QByteArray unmarked = weeks;
    unmarked.replace(R"("IsCurrent":"1")", R"("IsCurrent":"0")");
    QVERIFY(ScheduleReplies::Weeks(unmarked, QDate(2024, 9, 20), &list, &current));
    QCOMPARE(current, 2);

    // Sections of the whole day are no rows; a lone section comes as an object.
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

    // Own entries are type 4 and concern the user, whatever the reply says.
    ScheduleEntries entries;
    QVERIFY(ScheduleReplies::Entries(
        Reply(R"([{"Date":"2025-01-02","BeginTime":"09:05","Type":"7","IsMember":"0"}])"), true,
        &entries));
    QCOMPARE(entries.at(0).type, QString("4"));
    QCOMPARE(entries.at(0).is_member, QString("1"));

    // Failed replies change nothing.
    term = "7";
    for (const QByteArray& failed :
         {QByteArray("<html>500</html>"), QByteArray(R"({"EID":"0","R":[]})"),
          QByteArray(R"({"Velta":{"EID":"1","ErrorMessage":"会话过期"}})")}) {
        QVERIFY(!ScheduleReplies::Entries(failed, false, &entries));
        QCOMPARE(entries.size(), 1);
        QVERIFY(!ScheduleReplies::Sections(failed, &sections));
        QCOMPARE(sections.size(), 3);
        QVERIFY(!ScheduleReplies::CurrentTerm(failed, QDateTime::currentDateTime(), &term));
        QCOMPARE(term, QString("7"));
    }
}

// Columns carry their real dates, so both years of a new-year week get their entries.
void TestSchedulePage::weekTableAcrossTheNewYear() {
    const SectionInfos sections = {
        {"第一节", "08:00", "08:40"}, {"第二节", "09:00", "09:40"}, {"第三节", "10:00", "10:40"}};
    // Before the first section: the first row; at or after the last one's begin: the last.
    const QList<QPair<QString, int>> rows = {
        {"07:30", 0}, {"08:59", 0}, {"9:05", 1}, {"10:00", 2}, {"20:30", 2}};
    for (const auto& [begin, row] : rows)
        QCOMPARE(ScheduleGrid::Row(begin, sections), row);
    QCOMPARE(ScheduleGrid::Row("08:00", SectionInfos()), -1);
    // Ranges that do not read, run backwards or would make a huge table give no columns.
    QVERIFY(ScheduleGrid::Days({"x", "2025-01-05,2024-12-30"}).isEmpty());
    QVERIFY(ScheduleGrid::Days({"x", "2024-12-30"}).isEmpty());
    QVERIFY(ScheduleGrid::Days({"x", "2020-01-01,2030-01-01"}).isEmpty());

    ScheduleTableWid table;
    table.SetDays(ScheduleGrid::Days({"第18周", "2024-12-30,2025-01-05"}), QDate(2025, 1, 2));
    table.SetSections(sections);
    table.SetEntries({Entry("2024-12-31", "08:00"), Entry("2025-01-02", "09:59"),
                      Entry("2025-01-02", "09:00", "7"), Entry("2025-01-02", "09:30", "4"),
                      Entry("2025-01-06", "08:00")});
    QCOMPARE(table.EntriesAt(0, 1).size(), 1);
    const QList<ScheduleEntryWid*> stacked = table.EntriesAt(1, 3);
    QCOMPARE(stacked.size(), 3);
    // Stacked by begin time.
    QCOMPARE(stacked.first()->Entry().begin, QString("09:00"));
    QCOMPARE(table.rowHeight(1), ScheduleGrid::RowHeight(3));
    // The entry of the next week is left out.
    QCOMPARE(Shown(&table).size(), 4);

    // A new week clears the old entries and row heights.
    table.SetDays(ScheduleGrid::Days({"第19周", "2025-01-06,2025-01-12"}), QDate(2025, 1, 2));
    QVERIFY(table.EntriesAt(1, 3).isEmpty());
    QCOMPARE(table.rowHeight(1), ScheduleGrid::kRowHeight);
}

void TestSchedulePage::demoWeekFromPlatform() {
    QVERIFY(OpenPage());
    ScheduleTableWid* table = page_->Table();
    const QDate monday = QDate::currentDate().addDays(1 - QDate::currentDate().dayOfWeek());
    QCOMPARE(table->Days().first(), monday);
    // Tuesday, second section: a lesson, a visit and an own entry.
    QCOMPARE(table->EntriesAt(1, 1).size(), 3);
    QCOMPARE(table->rowHeight(1), ScheduleGrid::RowHeight(3));
    QStringList types;
    for (const ScheduleEntry& e : page_->Helper()->Entries())
        types << e.type;
    for (const char* type : {"1", "2", "3", "4", "7"})
        QVERIFY2(types.contains(type), type);
    // Another teacher's lessons are not the user's.
    for (const ScheduleEntry& e : page_->Helper()->Entries())
        QVERIFY(!e.work.startsWith("语文 三（2）班"));

    // The legend's text sits on the button that toggles its kind.
    const auto count = [this](const QString& type) {
        const QList<ScheduleEntry> shown = Shown(page_->Table());
        return int(std::count_if(shown.begin(), shown.end(),
                                 [&type](const ScheduleEntry& e) { return e.type == type; }));
    };
    QVERIFY(count("1") > 0);
    const int lessons = count("7");
    auto* school_btn =
        qobject_cast<QToolButton*>(page_->findChild<QLabel*>("about_school")->parentWidget());
    QVERIFY(school_btn);
    school_btn->click();
    QCOMPARE(count("1"), 0);
    QCOMPARE(count("7"), lessons);
    school_btn->click();
    QVERIFY(count("1") > 0);

    // The side panel: plans being collected, to audit, then to handle; its rows and the page's
    // link open the platform's schedule page.
    QTRY_VERIFY(page_->PanelShown());
    QListWidget* todos = page_->Side()->TodoList();
    QTRY_COMPARE_WITH_TIMEOUT(todos->count(), 137, 10000);
    QList<int> kinds;
    int unread = 0;
    for (int i = 0; i < todos->count(); ++i) {
        auto* row = qobject_cast<TodoItem*>(todos->itemWidget(todos->item(i)));
        QVERIFY(row);
        if (kinds.isEmpty() || kinds.last() != row->ItemKind())
            kinds << row->ItemKind();
        unread += row->findChild<QLabel*>("todo_red_point") != nullptr;
    }
    QCOMPARE(kinds, QList<int>({TodoItem::kApplying, TodoItem::kAudit, TodoItem::kHandle}));
    QCOMPARE(unread, 3);
    UrlCatcher catcher;
    Button("web_link_btn")->click();
    QTest::mouseClick(todos->viewport(), Qt::LeftButton, {},
                      todos->visualItemRect(todos->item(2)).center());
    const QString web = sim_.UnitBase() + "/Web/MSGIndex.aspx?Type=3&MID=24064&RD=58135047";
    QCOMPARE(catcher.urls, QStringList({web, web}));
}

void TestSchedulePage::weekNavigation() {
    QVERIFY(OpenPage());
    const int weeks = page_->Helper()->Weeks().size();
    QVERIFY(weeks > 2);
    QToolButton* last = Button("last_week_btn");
    QToolButton* next = Button("next_week_btn");
    QSignalSpy ready(page_->Helper(), &SchedulePageHelper::schedule_ready);

    // The reply for a week the user has already left arrives last and must not fill the table.
    const QDate this_monday = page_->Table()->Days().first();
    LogWatch dropped("stale reply dropped");
    sim_.SetFault("Schedule_GetTotalList", FaultKind::kDelay, 1500, 1);
    last->click();
    next->click();
    QVERIFY(ready.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(dropped.count.loadAcquire(), 1, 10000);
    QCOMPARE(ready.size(), 1);
    QCOMPARE(page_->Table()->Days().first(), this_monday);
    QVERIFY(!ShownDates().isEmpty());
    for (const QDate& date : ShownDates())
        QVERIFY(date >= this_monday && date < this_monday.addDays(7));

    // Next week's entries only; the way back to this week shown, and the page still fits the
    // main window's least width.
    next->click();
    QVERIFY(ready.wait(10000));
    const QDate next_monday = page_->Table()->Days().first();
    QVERIFY(next_monday > QDate::currentDate());
    for (const QDate& date : ShownDates())
        QVERIFY(date >= next_monday && date < next_monday.addDays(7));
    QVERIFY(page_->findChild<QToolButton*>("this_week_btn")->isVisible());
    QVERIFY(page_->minimumSizeHint().width() <= 863);

    // The buttons stop at the term's first and last weeks.
    for (QToolButton* button : {last, next}) {
        const int end = button == last ? 0 : weeks - 1;
        while (page_->WeekIndex() != end)
            button->click();
        const QDate monday = page_->Table()->Days().first();
        button->click();
        QCOMPARE(page_->WeekIndex(), end);
        QCOMPARE(page_->Table()->Days().first(), monday);
        QCOMPARE(monday, ScheduleGrid::Days(page_->Helper()->Weeks().at(end)).value(0));
    }
}

void TestSchedulePage::todoPagesAndFailedRefresh() {
    QVERIFY(UseTestServer());
    const int before = Pages(server_).size();
    server_.Reply(200, TodoPage(100, 250));
    ScheduleSideHelper helper;
    QSignalSpy built(&helper, &ScheduleSideHelper::todo_list_ready);
    helper.RefreshTodos();
    QVERIFY(built.wait(10000));
    QCOMPARE(built.size(), 1);
    QCOMPARE(Pages(server_).mid(before), QStringList({"0", "1", "2"}));
    QCOMPARE(helper.Handle().size(), 300);
    const QList<QPair<QString, QString>> fields =
        TestHttpServer::DecodeForm(server_.Requests().last().body);
    QCOMPARE(fields.value(0), qMakePair(QString("User_ID"), QString("10001")));
    QCOMPARE(fields.value(3), qMakePair(QString("PageSize"), QString("100")));
    QVERIFY(server_.Requests().last().target.endsWith(
        "/DavEdevo/MSGSchedule/InterfaceJson.asmx/Plan_GetToDoList3"));

    // One page holds all: the next page would have been asked for before the list was built.
    server_.Reply(200, TodoPage(100, 100));
    helper.RefreshTodos();
    QVERIFY(built.wait(10000));
    QCOMPARE(Pages(server_).mid(before + 3), QStringList({"0"}));

    // A total the pages never reach ends with the first empty page.
    server_.Reply(200, TodoPage(0, 100000));
    helper.RefreshTodos();
    QVERIFY(built.wait(10000));
    QCOMPARE(Pages(server_).mid(before + 4), QStringList({"0"}));
    QVERIFY(helper.Handle().isEmpty());

    // Lists of one come as single objects; a refresh that fails keeps the rows.
    server_.Reply(200, R"({"Velta":{"EID":"0","TotalCount":"1","R":{"Work":"唯一事项",
        "EndDate":"2025-03-12 17:00","PlanEdiStatus":"0","ReadTime":""},
        "Audit":[],"Applying":{"Work":"收集表","Count_0":"2","Count_1":"8"}}})");
    ScheduleSideWid side;
    QSignalSpy side_built(side.Helper(), &ScheduleSideHelper::todo_list_ready);
    QVERIFY(side_built.wait(10000));
    QCOMPARE(side.TodoList()->count(), 2);
    // Inserted at the top: the collected plans come first.
    QCOMPARE(Texts(side.TodoList(), "todo_count_o"), QStringList({"2人已完成", ""}));
    QCOMPARE(Texts(side.TodoList(), "todo_state").last(), QString("[去确认]"));

    QSignalSpy answered(side.Helper(), &ScheduleSideHelper::todo_infos_ready);
    server_.Reply(200, R"({"Velta":{"EID":"1","ErrorMessage":"会话过期"}})");
    side.Refresh();
    QVERIFY(answered.wait(10000));
    QCOMPARE(side.TodoList()->count(), 2);
    QCOMPARE(side.Helper()->Handle().size(), 1);
}

void TestSchedulePage::meetingsWithTheirStates() {
    ScheduleSideWid side;
    QSignalSpy meetings(side.Helper(), &ScheduleSideHelper::meeting_list_ready);
    side.findChild<QPushButton*>("meeting_btn")->click();
    QVERIFY(meetings.wait(10000));
    QCOMPARE(side.CurrentTab(), int(ScheduleSideWid::kMeetingTab));
    // The two meetings that have ended are not listed.
    QCOMPARE(side.Helper()->Meetings().size(), 6);
    QCOMPARE(Texts(side.MeetingList(), "meet_state"),
             QStringList({"进行中", "未开始", "未开始", "未开始"}));
    QVERIFY(Texts(side.MeetingList(), "meet_users").first().startsWith("出席人员: 张磊,王芳"));

    // A user with one meeting gets it as a single object.
    QVERIFY(SignInAs("liming", 10003, sim_.UnitRecord(), sim_.OpenSession("liming")));
    side.Refresh();
    QVERIFY(meetings.wait(10000));
    QCOMPARE(side.MeetingList()->count(), 1);
    QCOMPARE(Texts(side.MeetingList(), "meet_state"), QStringList({"进行中"}));

    // Seconds from now to the start and to the end; both ends belong to the meeting.
    const QDateTime now({2025, 3, 12}, {9, 30, 0});
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    const QList<std::tuple<int, int, MeetingItem::State>> states = {
        {-3600, -60, MeetingItem::kEnded},
        {0, 60, MeetingItem::kInProgress},
        {-60, 0, MeetingItem::kInProgress}};
    for (const auto& [start, end, state] : states) {
        const QJsonObject meeting{{"StartTime", now.addSecs(start).toString(format)},
                                  {"EndTime", now.addSecs(end).toString(format)}};
        QCOMPARE(MeetingItem::StateAt(meeting, now), state);
    }
    QCOMPARE(MeetingItem::StateAt({{"StartTime", "明天上午"}, {"EndTime", "x"}}, now),
             MeetingItem::kUnknown);
}

CORAL_TEST_MAIN(TestSchedulePage)
#include "tst_schedule_page.moc"
