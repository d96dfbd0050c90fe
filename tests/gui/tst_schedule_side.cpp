#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "ScheduleTestUtil.h"
#include "schedule/ElidedLabel.h"
#include "schedule/MeetingItem.h"
#include "schedule/ScheduleSideHelper.h"
#include "schedule/ScheduleSideWid.h"
#include "schedule/TodoItem.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestMain.h"

using namespace schedule_test;

namespace {

// One page of a to-do reply: `count` plans to handle and the given total.
QByteArray TodoPage(int count, int total) {
    QByteArray plans;
    for (int i = 0; i < count; ++i) {
        plans +=
            (i ? "," : "") + QStringLiteral(R"({"Work":"事项%1","EndDate":"2025-03-12 17:00",)"
                                            R"("PlanEdiStatus":"1","ReadTime":"2025-03-10 08:00"})")
                                 .arg(i)
                                 .toUtf8();
    }
    return R"({"Velta":{"EID":"0","TotalCount":")" + QByteArray::number(total) + R"(","R":[)" +
           plans + R"(],"Audit":[],"Applying":[]}})";
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

}  // namespace

class TestScheduleSide : public QObject {
    Q_OBJECT
private slots:
    void init();
    void pagesUntilTotalCountThenOneBuild();
    void failedRefreshKeepsTheRows();
    void singleObjectIsOneRow();
    void todoRowsOfTheDemoUser();
    void meetingsWithTheirStates();

private:
    SimServer sim_{300};
    TestHttpServer server_;
};

void TestScheduleSide::init() {
    SignIn(QStringLiteral("1001,测试学校,%1,").arg(server_.Url("/")));
}

void TestScheduleSide::pagesUntilTotalCountThenOneBuild() {
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

void TestScheduleSide::failedRefreshKeepsTheRows() {
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

void TestScheduleSide::singleObjectIsOneRow() {
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
    QVERIFY(side.TodoList()
                ->itemWidget(side.TodoList()->item(1))
                ->findChild<QLabel*>("todo_red_point"));
}

void TestScheduleSide::todoRowsOfTheDemoUser() {
    SignIn(sim_.UnitRecord(), "10001", sim_.OpenSession("zhanglei"));
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

void TestScheduleSide::meetingsWithTheirStates() {
    SignIn(sim_.UnitRecord(), "10001", sim_.OpenSession("zhanglei"));
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

CORAL_TEST_MAIN(TestScheduleSide)
#include "tst_schedule_side.moc"
