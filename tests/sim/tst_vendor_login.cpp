#include <QtTest>

#include "base/AppInfo.h"
#include "base/ServicePaths.h"
#include "tests/sim/SimCall.h"
#include "tests/support/TestMain.h"

using namespace sim_call;

class TestVendorLogin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void regionTreeAndUnits();
    void loginChecksUserAndPassword();
    void versionAndInstaller();
    void picturesAndPages();
    void pathsIgnoreCaseAndRepeatedSlashes();

private:
    SimServer sim_{2000};
};

void TestVendorLogin::initTestCase() {
    QVERIFY(sim_.IsRunning());
    AppInfo::SetVendorHost(sim_.VendorHost());
}

void TestVendorLogin::regionTreeAndUnits() {
    const Json areas = Post(Services::VendorUrl("Area_GetXD"), FormBody().Add("app_id", "1"));
    QCOMPARE(areas.Text("Velta.EID"), QString("0"));
    const QJsonArray provinces = areas.Array("Velta.Area");
    QVERIFY(provinces.size() >= 2);
    // Nested "Area" comes both as an array and as a single object.
    bool single = false, list = false;
    for (const QJsonValue& province : provinces) {
        for (const QJsonValue& city : areas.Objects("Area", province.toObject())) {
            const QJsonValue districts = city.toObject().value("Area");
            single |= districts.isObject();
            list |= districts.isArray();
        }
    }
    QVERIFY(single && list);

    const Json units = Post(Services::VendorUrl("Unit_GetList"),
                            FormBody().Add("area_id", "330110").Add("keyword", ""));
    const QJsonArray two = units.Array("Velta.R");
    QCOMPARE(two.size(), 2);
    const QJsonObject first = two.at(0).toObject();
    QCOMPARE(first.value("Unit_ID").toString(), QString("1001"));
    QCOMPARE(first.value("UnitUrl").toString(), sim_.UnitBase("1001"));
    QVERIFY(first.value("UnitUrl").toString().endsWith("/"));
    // One school site is given without the scheme, the other with it.
    QVERIFY(!first.value("UnitUrl2").toString().startsWith("http"));
    QVERIFY(two.at(1).toObject().value("UnitUrl2").toString().startsWith("http://"));
    QCOMPARE(sim_.UnitRecord("1001").split(',').value(2), sim_.UnitBase("1001"));

    const Json one = Post(Services::VendorUrl("Unit_GetList"),
                          FormBody().Add("area_id", "330111").Add("keyword", ""));
    QVERIFY(one.Value("Velta.R").isObject());
    QCOMPARE(one.Text("Velta.R.UnitName"), QString("青溪区教育局"));
    QCOMPARE(
        Post(Services::VendorUrl("Unit_GetList"), FormBody().Add("area_id", "1").Add("keyword", ""))
            .Array("Velta.R")
            .size(),
        0);
}

void TestVendorLogin::loginChecksUserAndPassword() {
    const QString url = Services::LoginUrl(sim_.UnitBase());
    const Json good = Post(url, LoginBody("zhanglei", "123456"));
    QCOMPARE(good.Text("Velta.EID"), QString("0"));
    for (const char* key :
         {"User_ID", "UserName", "UserType_ID", "Nick", "HeadPic", "Organization_ID", "Unit_ID",
          "UnitName", "SessionID", "Pro", "IsVip"}) {
        QVERIFY2(good.Value(QString("Velta.") + key).isString(), key);
    }
    QCOMPARE(good.Text("Velta.User_ID"), QString("10001"));
    QCOMPARE(good.Text("Velta.Unit_ID"), QString("1001"));
    QVERIFY(!good.Text("Velta.SessionID").isEmpty());

    // Every table pair the client may draw decodes to the same password.
    for (int pair = 1; pair <= 5; ++pair) {
        FormBody body;
        body.Add("loginid", "wangfang")
            .Add("encyptpassword", Account::Substitute("123456", pair) + QString::number(pair));
        QCOMPARE(Post(url, body).Text("Velta.EID"), QString("0"));
    }

    const auto refused = [&](const QString& unit, const QString& login, const QString& pwd) {
        const Json reply = Post(Services::LoginUrl(sim_.UnitBase(unit)), LoginBody(login, pwd));
        const QString message = reply.Text("Velta.ErrorMessage");
        return reply.Text("Velta.EID") != "0" && !message.isEmpty() &&
               message.toUtf8().size() > message.size();
    };
    QVERIFY(refused("1001", "zhanglei", "654321"));
    QVERIFY(refused("1001", "nobody", "123456"));
    QVERIFY(refused("1001", "zhanglei", ""));
    QVERIFY(refused("1002", "zhanglei", "123456"));  // a user of another unit
    QVERIFY(!refused("1002", "linna", "123456"));
}

void TestVendorLogin::versionAndInstaller() {
    const QString version_url =
        Services::VendorUrl("Version_GetLast") + QStringLiteral("?APP_ID=1&AppType=3");
    Json reply(Get(version_url));
    QCOMPARE(reply.Text("Velta.EID"), QString("0"));
    QCOMPARE(reply.Text("Velta.V.No"), AppInfo::Version());

    const QByteArray installer("MZ installer bytes \x01\x02", 21);
    QVERIFY(sim_.Publish("2.0.19", "/tmp/coralbridge-2.0.19-setup.exe", installer));
    reply = Json(Get(version_url));
    QCOMPARE(reply.Text("Velta.V.No"), QString("2.0.19"));
    QCOMPARE(reply.Text("Velta.V.Url"), QString("coralbridge-2.0.19-setup.exe"));
    QCOMPARE(Get(Services::InstallerUrl(reply.Text("Velta.V.Url"))), installer);

    SimCall missing(HttpBase::kGet, Services::InstallerUrl("nothing.exe"));
    QVERIFY(missing.Wait());
    QCOMPARE(missing.Status(), QString("404"));
}

void TestVendorLogin::picturesAndPages() {
    const QString base = sim_.UnitBase();
    const QString session = sim_.OpenSession("zhanglei");
    const auto head_pic = [&](const QString& id) {
        return Post(Services::InterfaceUrl(base, "UserInfo_Get"),
                    FormBody().Add("GetUser_ID", id).Add("SessionID", session));
    };
    for (const QString& id : {QString("10004"), QString("-301")}) {
        const Json info = head_pic(id);
        QCOMPARE(info.Text("Velta.User_ID"), id);
        QVERIFY(Get(base + info.Text("Velta.HeadPic")).startsWith("\x89PNG\r\n"));
    }
    QVERIFY(head_pic("99999").Text("Velta.EID") != "0");
    QCOMPARE(head_pic("10004").Text("Velta.HeadPic").section('.', 1), QString("png"));
    // A picture request for an empty HeadPic must not produce a file.
    SimCall root(HttpBase::kGet, base);
    QVERIFY(root.Wait());
    QVERIFY(!root.Ok());

    // The school sites, prefixed the way the client does it.
    for (const QString& unit : {QString("1001"), QString("1002")}) {
        QString site = sim_.UnitRecord(unit).split(',').last();
        if (!site.startsWith("http"))
            site = "http://" + site;
        QVERIFY(QString::fromUtf8(Get(site)).contains("<html>"));
    }
    const QString manage = QString(service_paths::kManagementLogin).arg(base, session);
    QVERIFY(QString::fromUtf8(Get(manage)).contains("张磊"));
    const QStringList links = {
        "/DavEdevo/SetManage/SetMendDetail.aspx?SetMend_ID=17", "/Face/5/SubMain.aspx?MID=5888",
        "/Web/MSGIndex.aspx?Type=1&MID=24064&RD=58135047",
        "/DavEdevo/MeetingRoomApply/MyMeeting.aspx", "/Web/Notice/NoticeView.aspx?Notice_ID=325"};
    for (const QString& path : links)
        QVERIFY2(Get(QString("%1/%2").arg(base, path)).contains("<h1>"), qPrintable(path));
    QVERIFY(Get(QString(service_paths::kScheduleWebPage).arg(base)).contains("日程安排"));
}

void TestVendorLogin::pathsIgnoreCaseAndRepeatedSlashes() {
    const QString session = sim_.OpenSession("zhanglei");
    const FormBody body =
        FormBody().Add("user_id", "10001").Add("sessionid", session).Add("unit_id", "1001");
    const QStringList urls = {
        Services::InterfaceUrl(sim_.UnitBase(), "DiscussGroup_GetList"),
        Services::InterfaceUrlSlashed(sim_.UnitBase(), "DiscussGroup_GetList"),
        (sim_.UnitBase() + "baseplate//interface/IINTERFACEJSON.asmx/discussgroup_getlist")};
    for (const QString& url : urls)
        QCOMPARE(Post(url, body).Text("Velta.EID"), QString("0"));
    SimCall unknown(HttpBase::kPost, Services::InterfaceUrl(sim_.UnitBase(), "No_Such_Method"));
    QVERIFY(unknown.Wait());
    QCOMPARE(unknown.Status(), QString("404"));
}

CORAL_TEST_GUILESS_MAIN(TestVendorLogin)
#include "tst_vendor_login.moc"
