#include <QtTest>

#include "base/AppInfo.h"
#include "base/ServicePaths.h"
#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

// What the login window, the unit chooser and the tray menu read from the vendor host and a
// unit's site (the update check against it: gui/tst_update).
class TestVendorLogin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void regionTreeAndUnits();
    void loginChecksUserAndPassword();
    void picturesAndPages();
    void servicePathsMatchOrAnswer404();

private:
    SimServer sim_{2000};
};

void TestVendorLogin::initTestCase() {
    QVERIFY(sim_.IsRunning());
    AppInfo::SetVendorHost(sim_.VendorHost());
}

void TestVendorLogin::regionTreeAndUnits() {
    const Json areas = Post(Services::VendorUrl("Area_GetXD"), FormBody().Add("app_id", "1"));
    // Nested "Area" comes both as an array and as a single object.
    bool single = false, list = false;
    for (const QJsonValue& province : areas.Array("Velta.Area")) {
        for (const QJsonValue& city : areas.Objects("Area", province.toObject())) {
            single |= city.toObject().value("Area").isObject();
            list |= city.toObject().value("Area").isArray();
        }
    }
    QVERIFY(single && list);

    const auto units = [](const char* area) {
        return Post(Services::VendorUrl("Unit_GetList"),
                    FormBody().Add("area_id", area).Add("keyword", ""));
    };
    const QJsonArray two = units("330110").Array("Velta.R");
    QCOMPARE(two.size(), 2);
    QCOMPARE(two.at(0).toObject().value("UnitUrl").toString(), sim_.UnitBase("1001"));
    // One school site is given without the scheme, the other with it.
    QVERIFY(!two.at(0).toObject().value("UnitUrl2").toString().startsWith("http"));
    QVERIFY(two.at(1).toObject().value("UnitUrl2").toString().startsWith("http://"));
    QCOMPARE(units("330111").Text("Velta.R.UnitName"), QString("青溪区教育局"));
    QCOMPARE(units("1").Array("Velta.R").size(), 0);
}

void TestVendorLogin::loginChecksUserAndPassword() {
    const QString url = Services::LoginUrl(sim_.UnitBase());
    const Json good = Post(url, LoginBody("zhanglei", "123456"));
    QCOMPARE(good.Text("Velta.EID"), QString("0"));
    for (const char* key : {"User_ID", "UserName", "UserType_ID", "Nick", "HeadPic",
                            "Organization_ID", "Unit_ID", "UnitName", "SessionID", "Pro", "IsVip"})
        QVERIFY2(good.Value(QString("Velta.") + key).isString(), key);
    QCOMPARE(good.Text("Velta.User_ID"), QString("10001"));

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

void TestVendorLogin::picturesAndPages() {
    const QString base = sim_.UnitBase();
    const QString session = sim_.OpenSession("zhanglei");
    const Json info = Post(Services::InterfaceUrl(base, "UserInfo_Get"),
                           FormBody().Add("GetUser_ID", "-301").Add("SessionID", session));
    QVERIFY(Get(base + info.Text("Velta.HeadPic")).startsWith("\x89PNG\r\n"));
    // The management page the tray menu opens.
    const QString manage = QString(service_paths::kManagementLogin).arg(base, session);
    QVERIFY(QString::fromUtf8(Get(manage)).contains("张磊"));
}

void TestVendorLogin::servicePathsMatchOrAnswer404() {
    const QString session = sim_.OpenSession("zhanglei");
    const FormBody body =
        FormBody().Add("user_id", "10001").Add("sessionid", session).Add("unit_id", "1001");
    const QString base = sim_.UnitBase();
    for (const QString& url :
         {Services::InterfaceUrl(base, "DiscussGroup_GetList"),
          Services::InterfaceUrlSlashed(base, "DiscussGroup_GetList"),
          base + "baseplate//interface/IINTERFACEJSON.asmx/discussgroup_getlist"})
        QCOMPARE(Post(url, body).Text("Velta.EID"), QString("0"));

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

CORAL_TEST_GUILESS_MAIN(TestVendorLogin)
#include "tst_vendor_login.moc"
