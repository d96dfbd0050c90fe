#include <QtTest>

#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

class TestDirectorySchedule : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void organisationTree();
    void groupsAndMembers();
    void termWeekAndSections();
    void entriesOfTheWeek();
    void todoPagesAndMeetings();

private:
    Json Directory(const QString& method, const QString& field = QString(),
                   const QString& value = QString()) const;
    using Fields = QList<QPair<QString, QString>>;
    Json Schedule(const QString& method, const Fields& extra = Fields()) const;
    // The same call made by another demo user.
    Json ScheduleOf(const QString& login, const QString& user_id, const QString& method,
                    const Fields& extra = Fields());
    QStringList Values(const QJsonArray& records, const QString& key) const;

    SimServer sim_{300};
    QString session_;
};

void TestDirectorySchedule::initTestCase() {
    QVERIFY(sim_.IsRunning());
    session_ = sim_.OpenSession("zhanglei");
}

Json TestDirectorySchedule::Directory(const QString& method, const QString& field,
                                      const QString& value) const {
    FormBody body;
    body.Add("user_id", "10001").Add("sessionid", session_).Add("unit_id", "1001");
    if (!field.isEmpty())
        body.Add(field, value);
    return Post(Services::InterfaceUrl(sim_.UnitBase(), method), body);
}

Json TestDirectorySchedule::Schedule(const QString& method, const Fields& extra) const {
    FormBody body;
    body.Add("User_ID", "10001").Add("SessionID", session_).Add("Unit_ID", "1001");
    for (const auto& field : extra)
        body.Add(field.first, field.second);
    return Post(Services::ScheduleUrl(sim_.UnitBase(), method), body);
}

Json TestDirectorySchedule::ScheduleOf(const QString& login, const QString& user_id,
                                       const QString& method, const Fields& extra) {
    FormBody body;
    body.Add("User_ID", user_id).Add("SessionID", sim_.OpenSession(login)).Add("Unit_ID", "1001");
    for (const auto& field : extra)
        body.Add(field.first, field.second);
    return Post(Services::ScheduleUrl(sim_.UnitBase(), method), body);
}

QStringList TestDirectorySchedule::Values(const QJsonArray& records, const QString& key) const {
    QStringList values;
    for (const QJsonValue& record : records)
        values << record.toObject().value(key).toString();
    return values;
}

void TestDirectorySchedule::organisationTree() {
    const Json top = Directory("OrgAndUser_GetList", "org_id", "0");
    QCOMPARE(top.Text("Velta.EID"), QString("0"));
    QCOMPARE(Values(top.Array("Velta.R"), "ID"), QStringList({"-11", "-12", "-13", "-14"}));
    QCOMPARE(Values(top.Array("Velta.R"), "Name").first(), QString("校长室"));
    QCOMPARE(Directory("OrgAndUser_GetList", "org_id", "14").Array("Velta.R").size(), 4);
    // One person in an office comes as a single object.
    const Json office = Directory("OrgAndUser_GetList", "org_id", "11");
    QVERIFY(office.Value("Velta.R").isObject());
    QCOMPARE(office.Text("Velta.R.ID"), QString("10001"));
    QCOMPARE(office.Text("Velta.R.Name"), QString("张磊"));
}

void TestDirectorySchedule::groupsAndMembers() {
    const QJsonArray open = Directory("PublicGroup_GetList").Array("Velta.R");
    QCOMPARE(Values(open, "Group_ID"), QStringList({"101", "102"}));
    for (const char* key : {"GroupName", "CreateUser_ID", "CreateUserName", "Tag", "IsShow"})
        QVERIFY2(open.at(0).toObject().value(key).isString(), key);
    QCOMPARE(open.at(1).toObject().value("CreateUserName").toString(), QString("王芳"));
    const QJsonArray members = Directory("RoleAndUser_GetList", "role_id", "102").Array("Velta.R");
    QCOMPARE(members.size(), 6);
    QVERIFY(members.at(0).toObject().contains("ID") &&
            !members.at(0).toObject().contains("Group_ID"));

    QCOMPARE(Values(Directory("MyGroup_GetList").Array("Velta.R"), "Group_ID"),
             QStringList({"201", "202"}));
    QCOMPARE(Values(Directory("GroupUser_GetList", "group_id", "202").Array("Velta.R"), "UserName"),
             QStringList({"吴军", "张磊", "黄伟"}));
    QCOMPARE(Values(Directory("DiscussGroup_GetList").Array("Velta.R"), "Group_ID"),
             QStringList({"-301", "-302"}));

    // Member and discussion lists stay arrays even with one entry or none.
    const QString lonely = sim_.OpenSession("guoyang");
    const Json none =
        Post(Services::InterfaceUrl(sim_.UnitBase("1003"), "DiscussGroup_GetList"),
             FormBody().Add("user_id", "30001").Add("sessionid", lonely).Add("unit_id", "1003"));
    QCOMPARE(none.Text("Velta.EID"), QString("0"));
    QVERIFY(none.Value("Velta.R").isArray());
    QCOMPARE(Post(Services::InterfaceUrl(sim_.UnitBase(), "MyGroup_GetList"),
                  FormBody().Add("user_id", "10001").Add("sessionid", "expired"))
                 .Text("Velta.EID"),
             QString("1"));
}

void TestDirectorySchedule::termWeekAndSections() {
    const QDateTime now = QDateTime::currentDateTime();
    QString current;
    for (const QJsonValue& term : Schedule("Term_GetList").Objects("Velta.R")) {
        const QJsonObject t = term.toObject();
        const QDateTime begin =
            QDateTime::fromString(t.value("BeginDate").toString(), "yyyy/M/d h:mm:ss");
        const QDateTime end =
            QDateTime::fromString(t.value("EndDate").toString(), "yyyy/M/d h:mm:ss");
        QVERIFY(begin.isValid() && end.isValid());
        if (begin <= now && now <= end) {
            QVERIFY2(current.isEmpty(), "two terms hold the present");
            current = t.value("Term_ID").toString();
        }
    }
    QVERIFY(!current.isEmpty());

    const QJsonArray weeks =
        Schedule("TermWeek_GetList", {{"Term_ID", current}}).Objects("Velta.R");
    QStringList this_week;
    for (const QJsonValue& week : weeks) {
        if (week.toObject().value("IsCurrent").toString() == "1")
            this_week << week.toObject().value("Time").toString();
    }
    QCOMPARE(this_week.size(), 1);
    const QDate first = QDate::fromString(this_week.first().section(',', 0, 0), "yyyy-MM-dd");
    const QDate last = QDate::fromString(this_week.first().section(',', 1, 1), "yyyy-MM-dd");
    QCOMPARE(first.dayOfWeek(), 1);
    QCOMPARE(first.daysTo(last), 6);
    QVERIFY(first <= QDate::currentDate() && QDate::currentDate() <= last);

    const QJsonArray groups = Schedule("ScheduleSection_GetXD2")
                                  .Objects("Velta.R")
                                  .at(0)
                                  .toObject()
                                  .value("Time")
                                  .toArray();
    QVERIFY(Values(groups, "Name").contains("全天"));
    int single = 0;
    for (const QJsonValue& group : groups) {
        const QJsonArray sections = group.toObject().value("Section").toArray();
        single += sections.size() == 1;
        for (const QJsonValue& s : sections)
            QVERIFY(QTime::fromString(s.toObject().value("Begin").toString(), "hh:mm").isValid());
    }
    QVERIFY(single >= 2);
    QVERIFY(Schedule("TermWeek_GetList", {{"Term_ID", "999"}}).Text("Velta.EID") != "0");
}

void TestDirectorySchedule::entriesOfTheWeek() {
    const QDate monday = QDate::currentDate().addDays(1 - QDate::currentDate().dayOfWeek());
    const Fields week = {{"BeginDay", monday.toString("yyyy-MM-dd")},
                         {"EndDay", monday.addDays(6).toString("yyyy-MM-dd")}};
    const QJsonArray own = Schedule("Schedule_GetTotalList", week).Objects("Velta.R");
    QCOMPARE(own.size(), 5);
    for (const QJsonValue& entry : own) {
        const QDate date =
            QDate::fromString(entry.toObject().value("Date").toString(), "yyyy-MM-dd");
        QVERIFY(date >= monday && date <= monday.addDays(6));
        QVERIFY(
            QTime::fromString(entry.toObject().value("BeginTime").toString(), "hh:mm").isValid());
    }
    const Json unit = Schedule("CourseSchedule_GetList", week);
    QVERIFY(unit.Value("Velta.R").isArray());
    QSet<QString> types, member;
    for (const QJsonValue& entry : unit.Array("Velta.R")) {
        const QJsonObject e = entry.toObject();
        const QDate date =
            QDate::fromString(e.value("Date").toString().section(' ', 0, 0), "yyyy/M/d");
        QVERIFY(date >= monday && date <= monday.addDays(6));
        types << e.value("Type").toString();
        member << e.value("IsMember").toString();
    }
    QCOMPARE(types, QSet<QString>({"1", "2", "3", "7"}));
    QCOMPARE(member, QSet<QString>({"0", "1"}));
    // Lessons (type 7) are listed to their teacher only, every week of the term.
    const auto lessons = [&](const QString& login, const QString& id, const Fields& days) {
        QStringList works;
        for (const QJsonValue& e :
             ScheduleOf(login, id, "CourseSchedule_GetList", days).Objects("Velta.R")) {
            if (e.toObject().value("Type").toString() == "7")
                works << e.toObject().value("Work").toString();
        }
        return works;
    };
    QCOMPARE(lessons("zhaoli", "10004", week).count("语文 三（2）班"), 5);
    QVERIFY(!lessons("zhanglei", "10001", week).contains("语文 三（2）班"));
    const Fields later = {{"BeginDay", monday.addDays(35).toString("yyyy-MM-dd")},
                          {"EndDay", monday.addDays(41).toString("yyyy-MM-dd")}};
    QCOMPARE(lessons("zhaoli", "10004", later).count("语文 三（2）班"), 5);
    // One own entry this week comes as a single object.
    QVERIFY(
        ScheduleOf("wangfang", "10002", "Schedule_GetTotalList", week).Value("Velta.R").isObject());
    QVERIFY(Schedule("CourseSchedule_GetList", {{"BeginDay", "x"}, {"EndDay", "y"}})
                .Text("Velta.EID") != "0");
}

void TestDirectorySchedule::todoPagesAndMeetings() {
    const auto page = [&](const QString& method, int index) {
        return Schedule(method, {{"PageIndex", QString::number(index)}, {"PageSize", "100"}});
    };
    // The client's paging: ask for the next page while (index + 1) * 100 < TotalCount.
    QJsonArray handle, audit, applying;
    int index = 0, requests = 0;
    for (;; ++index) {
        const Json reply = page("Plan_GetToDoList3", index);
        ++requests;
        for (const QJsonValue& v : reply.Objects("Velta.R"))
            handle.append(v);
        for (const QJsonValue& v : reply.Objects("Velta.Audit"))
            audit.append(v);
        for (const QJsonValue& v : reply.Objects("Velta.Applying"))
            applying.append(v);
        if ((index + 1) * 100 >= reply.Text("Velta.TotalCount").toInt())
            break;
    }
    QCOMPARE(requests, 2);
    QCOMPARE(handle.size(), 130);
    QCOMPARE(audit.size(), 4);
    QCOMPARE(applying.size(), 3);
    const QStringList works = Values(handle, "Work");
    QCOMPARE(QSet<QString>(works.begin(), works.end()).size(), 130);
    QVERIFY(Values(handle, "ReadTime").contains(QString()));
    QVERIFY(Values(handle, "PlanEdiStatus").contains("0"));
    QVERIFY(applying.at(0).toObject().contains("Count_0") &&
            applying.at(0).toObject().contains("Count_1"));

    const QDateTime now = QDateTime::currentDateTime();
    int ended = 0, running = 0, coming = 0;
    for (const QJsonValue& meeting :
         page("MeetingAppoint_GetList_Processing", 0).Objects("Velta.R")) {
        const QJsonObject m = meeting.toObject();
        const QDateTime start =
            QDateTime::fromString(m.value("StartTime").toString(), "yyyy-MM-dd hh:mm:ss");
        const QDateTime end =
            QDateTime::fromString(m.value("EndTime").toString(), "yyyy-MM-dd hh:mm:ss");
        QVERIFY(start.isValid() && end.isValid());
        ended += end < now;
        running += start <= now && now <= end;
        coming += now < start;
        QVERIFY(!m.value("Location").toString().isEmpty() &&
                !m.value("UserNames").toString().isEmpty());
    }
    QVERIFY(ended && running && coming);

    // Lists of one item come as single objects.
    const Fields first = {{"PageIndex", "0"}, {"PageSize", "100"}};
    QVERIFY(ScheduleOf("liming", "10003", "Plan_GetToDoList3", first).Value("Velta.R").isObject());
    QVERIFY(ScheduleOf("liming", "10003", "MeetingAppoint_GetList_Processing", first)
                .Value("Velta.R")
                .isObject());
    const Json wangfang = ScheduleOf("wangfang", "10002", "Plan_GetToDoList3", first);
    QVERIFY(wangfang.Value("Velta.Audit").isObject());
    QVERIFY(wangfang.Value("Velta.Applying").isObject());
    QCOMPARE(wangfang.Text("Velta.TotalCount"), QString("2"));
}

CORAL_TEST_GUILESS_MAIN(TestDirectorySchedule)
#include "tst_directory_schedule.moc"
