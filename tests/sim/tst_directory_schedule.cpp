// The directory and schedule services where the panels' own tests against the demo do not
// reach: lists that stay arrays, refused sessions and dates, lessons in later weeks and lists of
// one item as single objects.

#include <QtTest>

#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

namespace {

using Fields = QList<QPair<QString, QString>>;

}  // namespace

class TestDirectorySchedule : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(sim_.IsRunning()); }
    void directoryListsAndSessions();
    void entriesOfLaterWeeksAndSingleObjects();

private:
    // A schedule method as a demo user of unit 1001 calls it.
    Json Schedule(const QString& method, const Fields& extra = Fields(),
                  const QString& login = "zhanglei") {
        static const QMap<QString, QString> ids = {
            {"zhanglei", "10001"}, {"wangfang", "10002"}, {"zhaoli", "10004"}};
        FormBody body;
        body.Add("User_ID", ids.value(login))
            .Add("SessionID", sim_.OpenSession(login))
            .Add("Unit_ID", "1001");
        for (const auto& field : extra)
            body.Add(field.first, field.second);
        return Post(Services::ScheduleUrl(sim_.UnitBase(), method), body);
    }

    SimServer sim_{300};
};

void TestDirectorySchedule::directoryListsAndSessions() {
    // Discussion lists stay arrays even with none; a session that is gone answers EID 1.
    const Json none = Post(Services::InterfaceUrl(sim_.UnitBase("1003"), "DiscussGroup_GetList"),
                           FormBody()
                               .Add("user_id", "30001")
                               .Add("sessionid", sim_.OpenSession("guoyang"))
                               .Add("unit_id", "1003"));
    QCOMPARE(none.Text("Velta.EID"), QString("0"));
    QVERIFY(none.Value("Velta.R").isArray());
    QCOMPARE(Post(Services::InterfaceUrl(sim_.UnitBase(), "MyGroup_GetList"),
                  FormBody().Add("user_id", "10001").Add("sessionid", "expired"))
                 .Text("Velta.EID"),
             QString("1"));
}

void TestDirectorySchedule::entriesOfLaterWeeksAndSingleObjects() {
    const QDate monday = QDate::currentDate().addDays(1 - QDate::currentDate().dayOfWeek());
    const auto week = [](const QDate& from) {
        return Fields{{"BeginDay", from.toString("yyyy-MM-dd")},
                      {"EndDay", from.addDays(6).toString("yyyy-MM-dd")}};
    };
    // Lessons (type 7) are listed to their teacher every week of the term, in the week asked.
    const QDate later = monday.addDays(35);
    int lessons = 0;
    for (const QJsonValue& e :
         Schedule("CourseSchedule_GetList", week(later), "zhaoli").Objects("Velta.R")) {
        const QJsonObject entry = e.toObject();
        const QDate date =
            QDate::fromString(entry.value("Date").toString().section(' ', 0, 0), "yyyy/M/d");
        QVERIFY(date >= later && date <= later.addDays(6));
        lessons += entry.value("Type").toString() == "7" &&
                   entry.value("Work").toString() == "语文 三（2）班";
    }
    QCOMPARE(lessons, 5);
    QVERIFY(Schedule("CourseSchedule_GetList", {{"BeginDay", "x"}, {"EndDay", "y"}})
                .Text("Velta.EID") != "0");

    // Lists of one item come as single objects.
    QVERIFY(
        Schedule("Schedule_GetTotalList", week(monday), "wangfang").Value("Velta.R").isObject());
    const Json todo =
        Schedule("Plan_GetToDoList3", {{"PageIndex", "0"}, {"PageSize", "100"}}, "wangfang");
    QVERIFY(todo.Value("Velta.Audit").isObject() && todo.Value("Velta.Applying").isObject());
    QCOMPARE(todo.Text("Velta.TotalCount"), QString("2"));
}

CORAL_TEST_GUILESS_MAIN(TestDirectorySchedule)
#include "tst_directory_schedule.moc"
