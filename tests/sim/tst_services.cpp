#include <QtTest>

#include "base/AppInfo.h"
#include "base/ServicePaths.h"
#include "sim/store/SimDb.h"
#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

// What the login window, the unit chooser, the tray menu and the panels read from the vendor host
// and a unit's site, where their own tests against the demo do not reach: refused logins,
// sessions and dates, lists that stay lists and lists of one item as single objects, wrong paths.
// (The update check against the vendor host: gui/tst_update.)
class TestServices : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(sim_.IsRunning());
        AppInfo::SetVendorHost(sim_.VendorHost());
    }
    void loginChecksUserAndPassword();
    void listsKeepTheirFormAndRefuseStaleSessions();
    void picturesPagesAndPaths();
    void keptStatementsStartAfresh();

private:
    using Fields = QList<QPair<QString, QString>>;
    // A schedule method as a demo user of unit 1001 calls it.
    Json Schedule(const QString& method, const Fields& extra = Fields(),
                  const QString& user_id = "10001") {
        FormBody body;
        body.Add("User_ID", user_id)
            .Add("SessionID", sim_.OpenSession(user_id))
            .Add("Unit_ID", "1001");
        for (const auto& field : extra)
            body.Add(field.first, field.second);
        return Post(Services::ScheduleUrl(sim_.UnitBase(), method), body);
    }

    SimServer sim_{300};
};

void TestServices::loginChecksUserAndPassword() {
    const QString url = Services::LoginUrl(sim_.UnitBase());
    const Json good = Post(url, LoginBody("zhanglei", "123456"));
    QCOMPARE(good.Text("Velta.EID"), QString("0"));
    for (const char* key : {"User_ID", "UserName", "UserType_ID", "Nick", "HeadPic",
                            "Organization_ID", "Unit_ID", "UnitName", "SessionID", "Pro", "IsVip"})
        QVERIFY2(good.Value(QString("Velta.") + key).isString(), key);

    // Every table pair the client may draw decodes to the same password.
    for (int pair = 1; pair <= 5; ++pair) {
        const QString encoded = Account::Substitute("123456", pair) + QString::number(pair);
        QCOMPARE(Post(url, FormBody().Add("loginid", "wangfang").Add("encyptpassword", encoded))
                     .Text("Velta.EID"),
                 QString("0"));
    }
    const auto refused = [&](const QString& unit, const QString& login, const QString& pwd) {
        const Json reply = Post(Services::LoginUrl(sim_.UnitBase(unit)), LoginBody(login, pwd));
        return reply.Text("Velta.EID") != "0" && !reply.Text("Velta.ErrorMessage").isEmpty();
    };
    QVERIFY(refused("1001", "zhanglei", "654321"));
    QVERIFY(refused("1001", "nobody", "123456"));
    QVERIFY(refused("1001", "zhanglei", ""));
    QVERIFY(refused("1002", "zhanglei", "123456"));  // a user of another unit
    QVERIFY(!refused("1002", "linna", "123456"));
}

void TestServices::listsKeepTheirFormAndRefuseStaleSessions() {
    const auto units = [](const char* area) {
        return Post(Services::VendorUrl("Unit_GetList"),
                    FormBody().Add("area_id", area).Add("keyword", ""));
    };
    QCOMPARE(units("330110").Array("Velta.R").size(), 2);
    QVERIFY(units("330111").Value("Velta.R").isObject());
    QCOMPARE(units("1").Value("Velta.R"), QJsonValue(QJsonArray()));

    // Discussion lists stay arrays even with none.
    const Json none = Post(Services::InterfaceUrl(sim_.UnitBase("1003"), "DiscussGroup_GetList"),
                           FormBody()
                               .Add("user_id", "30001")
                               .Add("sessionid", sim_.OpenSession("guoyang"))
                               .Add("unit_id", "1003"));
    QCOMPARE(none.Value("Velta.R"), QJsonValue(QJsonArray()));

    // Schedule lists of one item come as single objects.
    const QDate monday = QDate::currentDate().addDays(1 - QDate::currentDate().dayOfWeek());
    const Fields week = {{"BeginDay", monday.toString("yyyy-MM-dd")},
                         {"EndDay", monday.addDays(6).toString("yyyy-MM-dd")}};
    QVERIFY(Schedule("Schedule_GetTotalList", week, "10002").Value("Velta.R").isObject());
    const Json todo =
        Schedule("Plan_GetToDoList3", {{"PageIndex", "0"}, {"PageSize", "100"}}, "10002");
    QVERIFY(todo.Value("Velta.Audit").isObject() && todo.Value("Velta.Applying").isObject());
    QCOMPARE(todo.Text("Velta.TotalCount"), QString("2"));

    QCOMPARE(Post(Services::InterfaceUrl(sim_.UnitBase(), "MyGroup_GetList"),
                  FormBody().Add("user_id", "10001").Add("sessionid", "expired"))
                 .Text("Velta.EID"),
             QString("1"));
    QVERIFY(Schedule("CourseSchedule_GetList", {{"BeginDay", "x"}, {"EndDay", "y"}})
                .Text("Velta.EID") != "0");
}

void TestServices::picturesPagesAndPaths() {
    const QString base = sim_.UnitBase();
    const QString session = sim_.OpenSession("zhanglei");
    const Json info = Post(Services::InterfaceUrl(base, "UserInfo_Get"),
                           FormBody().Add("GetUser_ID", "-301").Add("SessionID", session));
    QVERIFY(Get(base + info.Text("Velta.HeadPic")).startsWith("\x89PNG\r\n"));
    // The management page the tray menu opens.
    const QString manage = QString(service_paths::kManagementLogin).arg(base, session);
    QVERIFY(QString::fromUtf8(Get(manage)).contains("张磊"));

    const FormBody body =
        FormBody().Add("user_id", "10001").Add("sessionid", session).Add("unit_id", "1001");
    // Paths are matched as the platform's server does, whatever the case and the slashes.
    QCOMPARE(Post(base + "baseplate//interface/IINTERFACEJSON.asmx/discussgroup_getlist", body)
                 .Text("Velta.EID"),
             QString("0"));

    // A client calling the wrong method or the wrong base, or asking for an installer that is
    // not there, fails instead of reading a page.
    for (const QString& url : {Services::InterfaceUrl(base, "No_Such_Method"),
                               base + "BasePlate/Wrong/IInterfaceJson.asmx/Message_Send",
                               base + "Interface.asmx", Services::InstallerUrl("nothing.exe")}) {
        SimCall call(HttpBase::kPost, url, body);
        QVERIFY(call.Wait());
        QCOMPARE(call.Status(), QString("404"));
    }
}

// platform-sim keeps its statements prepared: one still in use is never handed out twice, and one
// handed back starts again with no bindings left over.
void TestServices::keptStatementsStartAfresh() {
    SimDb db;
    QVERIFY(db.Open(std::string(), nullptr));
    for (int i = 1; i <= 3; ++i)
        QVERIFY(db.Prepare("INSERT INTO meta (key, value) VALUES (:key, 'v')")
                    .Bind(":key", "k" + std::to_string(i))
                    .Run());
    const std::string sql = "SELECT key FROM meta WHERE key >= :from ORDER BY key";
    // The same text nested inside itself, as a store calling a store does.
    SimStatement outer = db.Prepare(sql);
    outer.Bind(":from", "k1");
    QStringList pairs;
    while (outer.Next()) {
        SimStatement inner = db.Prepare(sql);
        inner.Bind(":from", outer.Text(0));
        QVERIFY(inner.Next());
        pairs << QString::fromStdString(outer.Text(0) + "=" + inner.Text(0));
    }
    QCOMPARE(pairs, QStringList({"k1=k1", "k2=k2", "k3=k3"}));
    // Taken again after a half-read use: from the first row, and an unbound name matches nothing.
    SimStatement again = db.Prepare(sql);
    QVERIFY(!again.Next());
}

CORAL_TEST_GUILESS_MAIN(TestServices)
#include "tst_services.moc"
