#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "ScheduleTestUtil.h"
#include "schedule/ElidedLabel.h"
#include "schedule/ScheduleEntryWid.h"
#include "schedule/ScheduleGrid.h"
#include "schedule/SchedulePage.h"
#include "schedule/SchedulePageHelper.h"
#include "schedule/ScheduleSideWid.h"
#include "schedule/ScheduleTableWid.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace schedule_test;

namespace {

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
    void zoomAndWebLinks();

private:
    // A page for the signed-in demo user, once this week's entries are in.
    SchedulePage* OpenPage();
    QToolButton* Button(const char* name) const {
        return page_->findChild<QToolButton*>(QLatin1String(name));
    }
    // The dates of the entries the table shows.
    QSet<QDate> ShownDates() const;

    SimServer sim_{300};
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
    QCOMPARE(table->Days().size(), 7);
    QCOMPARE(table->Days().first(), monday);
    QCOMPARE(page_->findChild<QLabel*>("week_info_lab")->text(),
             page_->Helper()->Weeks().value(page_->WeekIndex()).name);
    // The demo's sections without "全天".
    QCOMPARE(table->rowCount(), 9);
    // Tuesday, second section: a lesson, a visit and an own entry.
    QCOMPARE(table->EntriesAt(1, 1).size(), 3);
    QCOMPARE(table->rowHeight(1), ScheduleGrid::RowHeight(3));
    // Thursday: early reading at 07:30 in the first row; Friday 20:30 in the last.
    QCOMPARE(table->EntriesAt(0, 3).first()->Entry().begin, QString("07:30"));
    QCOMPARE(table->EntriesAt(8, 4).last()->Entry().begin, QString("20:30"));
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
    QCOMPARE(next_monday.dayOfWeek(), 1);
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

void TestSchedulePage::zoomAndWebLinks() {
    QVERIFY(OpenPage());
    QToolButton* zoom = Button("zoom_btn");
    QTRY_VERIFY(page_->PanelShown());
    QVERIFY(page_->Side()->isVisible());
    zoom->click();
    QVERIFY(!page_->Side()->isVisible());
    zoom->click();
    QVERIFY(page_->Side()->isVisible());

    // The link of the page and every row of the panel open the platform's schedule page.
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

CORAL_TEST_MAIN(TestSchedulePage)
#include "tst_schedule_page.moc"
