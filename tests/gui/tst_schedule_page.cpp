// The schedule page against platform-sim: the week table, week navigation, the legend and the
// side panel's to-dos and meetings; paging and failed replies of the panel against a test server.

#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QMutex>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "base/Account.h"
#include "schedule/ElidedLabel.h"
#include "schedule/ScheduleEntryWid.h"
#include "schedule/ScheduleGrid.h"
#include "schedule/SchedulePage.h"
#include "schedule/SchedulePageHelper.h"
#include "schedule/ScheduleSideHelper.h"
#include "schedule/ScheduleSideWid.h"
#include "schedule/ScheduleTableWid.h"
#include "schedule/TodoItem.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestMain.h"

namespace {

// Makes `login` the current user of the unit record `unit_record` ("id,name,base url,").
void SignIn(const QString& unit_record, const QString& user_id = QStringLiteral("10001"),
            const QString& session = QStringLiteral("session-1"),
            const QString& login = QStringLiteral("zhanglei")) {
    Account::ResetState();
    AccountMap& account = Account::GetAccountInfo(login);
    account = {{"usr_id", login},
               {"User_ID", user_id},
               {"SessionID", session},
               {"Unit_ID", unit_record.section(QLatin1Char(','), 0, 0)},
               {"cur_unit", unit_record}};
    Account::SetCurUserId(login);
}

// Counts the debug lines that contain a text while it lives: a dropped reply leaves no other trace.
class LogWatch {
public:
    explicit LogWatch(const QString& needle) {
        needle_ = needle;
        count_ = 0;
        previous_ = qInstallMessageHandler(&LogWatch::Handle);
    }
    ~LogWatch() { qInstallMessageHandler(previous_); }

    int Count() const {
        QMutexLocker lock(&mutex_);
        return count_;
    }

private:
    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        {
            QMutexLocker lock(&mutex_);
            if (text.contains(needle_))
                ++count_;
        }
        if (previous_)
            previous_(type, context, text);
    }

    static inline QString needle_;
    static inline int count_ = 0;
    static inline QMutex mutex_;
    static inline QtMessageHandler previous_ = nullptr;
};

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
        for (const auto& field : TestHttpServer::DecodeForm(request.body)) {
            if (field.first == "PageIndex")
                pages << field.second;
        }
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
    void initTestCase();
    void init();
    void cleanup();
    void newYearWeekAndStacking();
    void narrowLabelsFallBack();
    void demoWeekFromPlatform();
    void weekNavigationStopsAtBothEnds();
    void replyOfALeftWeekIsDropped();
    void legendHidesAKind();
    void webLinksOpenThePlatformsPage();
    void pagesUntilTotalCountThenOneBuild();
    void failedRefreshKeepsTheRows();
    void singleObjectIsOneRow();
    void todoRowsOfTheDemoUser();
    void meetingsWithTheirStates();

private:
    // A page for the signed-in demo user, once this week's entries are in.
    SchedulePage* OpenPage();
    QToolButton* Button(const char* name) const {
        return page_->findChild<QToolButton*>(QLatin1String(name));
    }
    // The dates of the entries the table shows.
    QSet<QDate> ShownDates() const;

    void UseTestServer() { SignIn(QStringLiteral("1001,测试学校,%1,").arg(server_.Url("/"))); }

    SimServer sim_{300};
    TestHttpServer server_;
    SchedulePage* page_ = nullptr;
};

void TestSchedulePage::initTestCase() {
    QVERIFY(sim_.IsRunning());
}

void TestSchedulePage::init() {
    sim_.ClearFaults();
    SignIn(sim_.UnitRecord(), "10001", sim_.OpenSession("zhanglei"));
}

void TestSchedulePage::cleanup() {
    delete page_;
    page_ = nullptr;
}

SchedulePage* TestSchedulePage::OpenPage() {
    page_ = new SchedulePage;
    QSignalSpy ready(page_->Helper(), &SchedulePageHelper::schedule_ready);
    page_->resize(1100, 700);
    page_->show();
    if (!ready.wait(10000))
        return nullptr;
    return page_;
}

QSet<QDate> TestSchedulePage::ShownDates() const {
    QSet<QDate> dates;
    for (const ScheduleEntry& entry : Shown(page_->Table()))
        dates << QDate::fromString(entry.date, "yyyy-MM-dd");
    return dates;
}

// Columns carry their real dates, so both years of a new-year week get their entries.
void TestSchedulePage::newYearWeekAndStacking() {
    ScheduleTableWid table;
    table.SetDays(ScheduleGrid::Days({"第18周", "2024-12-30,2025-01-05"}), QDate(2025, 1, 2));
    table.SetSections(
        {{"第一节", "08:00", "08:40"}, {"第二节", "09:00", "09:40"}, {"第三节", "10:00", "10:40"}});
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

// An entry's time shows its begin alone where the range does not fit; a label too narrow for
// more than the ellipsis stays empty.
void TestSchedulePage::narrowLabelsFallBack() {
    ElidedLabel label;
    label.SetFullText("08:00-08:40", "08:00");
    label.show();
    const QFontMetrics metrics = label.fontMetrics();
    label.resize(metrics.horizontalAdvance("08:00-08:40") + 2, 20);
    QCOMPARE(label.text(), QString("08:00-08:40"));
    QVERIFY(label.toolTip().isEmpty());
    label.resize(metrics.horizontalAdvance("08:00") + 2, 20);
    QCOMPARE(label.text(), QString("08:00"));
    QCOMPARE(label.toolTip(), QString("08:00-08:40"));
    label.resize(metrics.horizontalAdvance("08:00") - 2, 20);
    QVERIFY(label.text().endsWith(QChar(0x2026)));
    label.resize(2, 20);
    QCOMPARE(label.text(), QString());
}

void TestSchedulePage::demoWeekFromPlatform() {
    QVERIFY(OpenPage());
    ScheduleTableWid* table = page_->Table();
    const QDate monday = QDate::currentDate().addDays(1 - QDate::currentDate().dayOfWeek());
    QCOMPARE(table->Days().first(), monday);
    // The demo's sections without "全天".
    QCOMPARE(table->rowCount(), 9);
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
}

void TestSchedulePage::weekNavigationStopsAtBothEnds() {
    QVERIFY(OpenPage());
    const int weeks = page_->Helper()->Weeks().size();
    QVERIFY(weeks > 2);
    QToolButton* last = Button("last_week_btn");
    QToolButton* next = Button("next_week_btn");
    QSignalSpy ready(page_->Helper(), &SchedulePageHelper::schedule_ready);

    next->click();
    QVERIFY(ready.wait(10000));
    const QDate next_monday = page_->Table()->Days().first();
    QVERIFY(next_monday > QDate::currentDate());
    for (const QDate& date : ShownDates())
        QVERIFY(date >= next_monday && date < next_monday.addDays(7));
    // With the way back to this week shown, the page still fits the main window's least width.
    QVERIFY(page_->findChild<QToolButton*>("this_week_btn")->isVisible());
    QVERIFY(page_->minimumSizeHint().width() <= 863);

    while (page_->WeekIndex() > 0)
        last->click();
    QCOMPARE(page_->WeekIndex(), 0);
    const QDate first_monday = page_->Table()->Days().first();
    last->click();
    QCOMPARE(page_->WeekIndex(), 0);
    QCOMPARE(page_->Table()->Days().first(), first_monday);

    while (page_->WeekIndex() < weeks - 1)
        next->click();
    QCOMPARE(page_->WeekIndex(), weeks - 1);
    next->click();
    QCOMPARE(page_->WeekIndex(), weeks - 1);
    QCOMPARE(page_->Table()->Days().first(), first_monday.addDays(7 * (weeks - 1)));
}

// The reply for a week the user has already left arrives last and must not fill the table.
void TestSchedulePage::replyOfALeftWeekIsDropped() {
    QVERIFY(OpenPage());
    const QDate this_monday = page_->Table()->Days().first();
    LogWatch dropped("stale reply dropped");
    sim_.SetFault("Schedule_GetTotalList", FaultKind::kDelay, 1500, 1);
    QSignalSpy ready(page_->Helper(), &SchedulePageHelper::schedule_ready);
    Button("last_week_btn")->click();
    Button("next_week_btn")->click();
    QVERIFY(ready.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(dropped.Count(), 1, 10000);
    QCOMPARE(ready.size(), 1);
    QCOMPARE(page_->Table()->Days().first(), this_monday);
    QVERIFY(!ShownDates().isEmpty());
    for (const QDate& date : ShownDates())
        QVERIFY(date >= this_monday && date < this_monday.addDays(7));
}

void TestSchedulePage::legendHidesAKind() {
    QVERIFY(OpenPage());
    const auto count = [this](const QString& type) {
        const QList<ScheduleEntry> shown = Shown(page_->Table());
        return int(std::count_if(shown.begin(), shown.end(),
                                 [&type](const ScheduleEntry& e) { return e.type == type; }));
    };
    QVERIFY(count("1") > 0);
    const int lessons = count("7");
    // The legend's text sits on the button that toggles its kind.
    auto* school_btn =
        qobject_cast<QToolButton*>(page_->findChild<QLabel*>("about_school")->parentWidget());
    QVERIFY(school_btn);
    school_btn->click();
    QCOMPARE(count("1"), 0);
    QCOMPARE(count("7"), lessons);
    school_btn->click();
    QVERIFY(count("1") > 0);
}

// The link of the page and every row of the panel open the platform's schedule page.
void TestSchedulePage::webLinksOpenThePlatformsPage() {
    QVERIFY(OpenPage());
    QTRY_VERIFY(page_->PanelShown());
    const QString web = sim_.UnitBase() + "/Web/MSGIndex.aspx?Type=3&MID=24064&RD=58135047";
    UrlCatcher catcher;
    Button("web_link_btn")->click();
    QCOMPARE(catcher.urls, QStringList({web}));
    QListWidget* todos = page_->Side()->TodoList();
    QTRY_VERIFY_WITH_TIMEOUT(todos->count() > 3, 10000);
    QTest::mouseClick(todos->viewport(), Qt::LeftButton, {},
                      todos->visualItemRect(todos->item(2)).center());
    QCOMPARE(catcher.urls, QStringList({web, web}));
}

void TestSchedulePage::pagesUntilTotalCountThenOneBuild() {
    UseTestServer();
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
}

void TestSchedulePage::failedRefreshKeepsTheRows() {
    UseTestServer();
    server_.Reply(200, TodoPage(3, 3));
    ScheduleSideWid side;
    QSignalSpy built(side.Helper(), &ScheduleSideHelper::todo_list_ready);
    QVERIFY(built.wait(10000));
    QCOMPARE(side.TodoList()->count(), 3);

    LogWatch answered("Plan_GetToDoList3: data: ");
    server_.Reply(200, R"({"Velta":{"EID":"1","ErrorMessage":"会话过期"}})");
    side.Refresh();
    QTRY_COMPARE_WITH_TIMEOUT(answered.Count(), 1, 10000);
    QCOMPARE(side.TodoList()->count(), 3);
    QCOMPARE(side.Helper()->Handle().size(), 3);
}

void TestSchedulePage::singleObjectIsOneRow() {
    UseTestServer();
    server_.Reply(200, R"({"Velta":{"EID":"0","TotalCount":"1","R":{"Work":"唯一事项",
        "EndDate":"2025-03-12 17:00","PlanEdiStatus":"0","ReadTime":""},
        "Audit":[],"Applying":{"Work":"收集表","Count_0":"2","Count_1":"8"}}})");
    ScheduleSideWid side;
    QSignalSpy built(side.Helper(), &ScheduleSideHelper::todo_list_ready);
    QVERIFY(built.wait(10000));
    QCOMPARE(side.TodoList()->count(), 2);
    // Inserted at the top: the collected plans come first.
    QCOMPARE(Texts(side.TodoList(), "todo_count_o"), QStringList({"2人已完成", ""}));
    QCOMPARE(Texts(side.TodoList(), "todo_count_z").first(), QString("8人未完成"));
    QCOMPARE(Texts(side.TodoList(), "todo_state").last(), QString("[去确认]"));
}

void TestSchedulePage::todoRowsOfTheDemoUser() {
    ScheduleSideWid side;
    QSignalSpy built(side.Helper(), &ScheduleSideHelper::todo_list_ready);
    QVERIFY(built.wait(10000));
    QCOMPARE(side.TodoList()->count(), 137);
    QList<int> kinds;
    int unread = 0;
    for (int i = 0; i < side.TodoList()->count(); ++i) {
        auto* row = qobject_cast<TodoItem*>(side.TodoList()->itemWidget(side.TodoList()->item(i)));
        QVERIFY(row);
        if (kinds.isEmpty() || kinds.last() != row->ItemKind())
            kinds << row->ItemKind();
        unread += row->findChild<QLabel*>("todo_red_point") != nullptr;
    }
    QCOMPARE(kinds, QList<int>({TodoItem::kApplying, TodoItem::kAudit, TodoItem::kHandle}));
    QCOMPARE(unread, 3);
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

    // Five minutes on, the meeting that was about to begin is in progress.
    side.BuildMeetingRows(QDateTime::currentDateTime().addSecs(5 * 60));
    QCOMPARE(Texts(side.MeetingList(), "meet_state"),
             QStringList({"进行中", "进行中", "未开始", "未开始"}));

    // A user with one meeting gets it as a single object.
    SignIn(sim_.UnitRecord(), "10003", sim_.OpenSession("liming"), "liming");
    side.Refresh();
    QVERIFY(meetings.wait(10000));
    QCOMPARE(side.MeetingList()->count(), 1);
    QCOMPARE(Texts(side.MeetingList(), "meet_state"), QStringList({"进行中"}));
}

CORAL_TEST_MAIN(TestSchedulePage)
#include "tst_schedule_page.moc"
