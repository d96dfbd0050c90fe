#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "GuiTestUtil.h"
#include "base/AppInfo.h"
#include "base/PasswordTables.h"
#include "login/GroupChose.h"
#include "login/LineEdit.h"
#include "login/Login.h"
#include "tests/engine/EngineTestEnv.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

namespace {

const QByteArray kOkReply = R"({"Velta":{"EID":"0","User_ID":"10001","UserName":"张磊",
    "UserType_ID":"2","Nick":"张校长","HeadPic":"UpLoad/HeadPic/u10001.png",
    "Organization_ID":"11","Unit_ID":"1001","UnitName":"测试学校","SessionID":"s-1",
    "Pro":"1","IsVip":"0"}})";

QString Record(const TestHttpServer& server, const QString& id = QStringLiteral("1001"),
               const QString& name = QStringLiteral("测试学校")) {
    return QStringLiteral("%1,%2,%3,").arg(id, name, server.Url(QStringLiteral("/")));
}

QStringList History(const QString& user) {
    Account::ResetState();
    return Account::GetAccountInfo(user).value(QStringLiteral("unit_history")).split('|');
}

struct LoginForm {
    explicit LoginForm(bool first_start = false) : login(new Login) {
        login->Init(first_start);
        unit = login->findChild<LineEdit*>(QStringLiteral("group_edit"));
        user = login->findChild<LineEdit*>(QStringLiteral("usr_name_edit"));
        psw = login->findChild<LineEdit*>(QStringLiteral("psw_edit"));
        remember = login->findChild<QCheckBox*>(QStringLiteral("remember_psw_checkbox"));
        button = login->findChild<QPushButton*>(QStringLiteral("login_btn"));
    }
    ~LoginForm() { delete login.data(); }

    void Fill(const QString& unit_record, const QString& name, const QString& password) {
        login->OnUnitChosen(unit_record);
        user->setText(name);
        psw->setText(password);
    }
    // Clicks 登录; the arguments of tobe_quit once the login ended, empty when it did not.
    QVariantList Submit() {
        QSignalSpy finished(login, &Login::tobe_quit);
        button->click();
        return finished.wait() ? finished.first() : QVariantList();
    }

    QPointer<Login> login;
    LineEdit* unit;
    LineEdit* user;
    LineEdit* psw;
    QCheckBox* remember;
    QPushButton* button;
};

bool LogIn(const QString& unit, const QString& name, const QString& password = "123456",
           bool remember = false) {
    LoginForm form;
    form.Fill(unit, name, password);
    form.remember->setChecked(remember);
    const QVariantList finished = form.Submit();
    return !finished.isEmpty() && finished.at(0).toBool();
}

bool FilesContain(const QString& folder, const QByteArray& text) {
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
            return true;
    }
    return false;
}

void ClickUnit(QListWidget* list, int row) {
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

}  // namespace

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetAccounts(); }
    void passwordKeptOnlyWhenRemembered();
    void completeFormIsSentTrimmedAndStoredAsTyped();
    void failuresStoreNothingAndOddValuesStoreEmpty();
    void unitHistoryKeepsLastThree();
    void storedSettingsFillTheForm();
    void chooserCascadesThroughObjectsAndArrays();
    void chooserConfirmPrefersHistory();
    void chooserThroughLoginWindow();
};

// A password typed with "记住密码" unchecked is written nowhere; unchecking forgets one kept.
void TestLogin::passwordKeptOnlyWhenRemembered() {
    TestHttpServer server;
    server.Reply(200, kOkReply);
    const QByteArray password = "Pw-5c7e9a";
    for (const bool remember : {false, true, false}) {
        QVERIFY(LogIn(Record(server), "zhanglei", QString::fromLatin1(password), remember));
        QCOMPARE(FilesContain(Account::DataRoot(), password), remember);
    }
}

void TestLogin::completeFormIsSentTrimmedAndStoredAsTyped() {
    TestHttpServer server;
    server.Reply(200, kOkReply);
    LoginForm form;
    for (int empty = 0; empty < 3; ++empty) {
        form.Fill(empty == 0 ? QString() : Record(server), empty == 1 ? QString() : "zhanglei",
                  empty == 2 ? QString() : "123456");
        form.button->click();
        QVERIFY(form.button->isEnabled());
    }
    form.Fill(Record(server), "  zhanglei ", "123456");
    form.remember->setChecked(true);
    QSignalSpy finished(form.login, &Login::tobe_quit);
    form.button->click();
    // No second request while the first is on its way.
    QVERIFY(!form.button->isEnabled());
    QVERIFY(finished.wait());
    QCOMPARE(finished.first(), QVariantList({true, QStringLiteral("  zhanglei ")}));
    QVERIFY(form.button->isEnabled());

    // Only the complete form was sent: one from before it would have arrived first.
    QCOMPARE(server.Requests().size(), 1);
    const TestHttpServer::Request& request = server.Requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/baseplate/interface/iinterfacejson.asmx/LoginUser"));
    QCOMPARE(request.headers.value("content-type"),
             QByteArray("application/x-www-form-urlencoded"));
    const auto fields = TestHttpServer::DecodeForm(request.body);
    QCOMPARE(engine_test::FieldNames(request),
             QStringList({"loginid", "encyptpassword", "onlinetype", "devicename", "place"}));
    QCOMPARE(fields[0].second, QStringLiteral("zhanglei"));
    QCOMPARE(password_tables::Decode(fields[1].second.toStdString()), std::string("123456"));
    QCOMPARE(fields[2].second, QStringLiteral("192"));
    QVERIFY(fields[3].second.isEmpty() && fields[4].second.isEmpty());

    // Stored under the name as typed, blanks included.
    QVERIFY(Account::HasAccountConfig("  zhanglei "));
    Account::ResetState();
    const AccountMap& account = Account::GetAccountInfo("  zhanglei ");
    QCOMPARE(account.value("usr_psw"), QStringLiteral("123456"));
    QCOMPARE(account.value("rem_psw"), QStringLiteral("1"));
    QCOMPARE(account.value("User_ID"), QStringLiteral("10001"));
}

void TestLogin::failuresStoreNothingAndOddValuesStoreEmpty() {
    TestHttpServer server;
    ModalAnswerer answerer;
    LoginForm form;
    form.Fill(Record(server), "zhanglei", "123456");
    QSignalSpy finished(form.login, &Login::tobe_quit);

    server.Reply(200, R"({"Velta":{"EID":"2","ErrorMessage":"用户名或密码错误"}})");
    form.button->click();
    QTRY_COMPARE(answerer.Boxes().size(), 1);
    QCOMPARE(answerer.Boxes().at(0), QStringLiteral("提示|登录失败: 用户名或密码错误"));
    QTRY_VERIFY(form.button->isEnabled());

    // Not JSON: no box, the button comes back. (An HTTP error's box: tst_app_flow.)
    server.Reply(200, "<html>maintenance</html>");
    form.button->click();
    QTRY_COMPARE(server.Requests().size(), 2);
    QTRY_VERIFY(form.button->isEnabled());
    QCOMPARE(answerer.Boxes().size(), 1);

    // Nobody listening: the box names the network's reason, not a bare status number.
    form.Fill("1001,测试学校,http://127.0.0.1:1/,", "zhanglei", "123456");
    form.button->click();
    QTRY_COMPARE(answerer.Boxes().size(), 2);
    QVERIFY(answerer.Boxes().at(1).startsWith(QStringLiteral("提示|登录失败: ")));
    QVERIFY(!answerer.Boxes().at(1).endsWith(QStringLiteral(": 0")));
    QTRY_VERIFY(form.button->isEnabled());

    QVERIFY(finished.isEmpty());
    QVERIFY(!Account::HasAccountConfig("zhanglei"));
    QCOMPARE(form.user->text(), QStringLiteral("zhanglei"));

    // A value that is not text, or one not sent at all, is stored empty.
    server.Reply(200, R"({"Velta":{"EID":"0","User_ID":10001,"UserName":"张磊","Unit_ID":"1001",
                          "SessionID":"s-2"}})");
    form.Fill(Record(server), "zhanglei", "123456");
    QVERIFY(!form.Submit().isEmpty());
    const AccountMap& account = Account::GetAccountInfo("zhanglei");
    QCOMPARE(account.value("User_ID"), QString());
    QCOMPARE(account.value("SessionID"), QStringLiteral("s-2"));
    QCOMPARE(Account::UserName(), QStringLiteral("张磊"));
    QVERIFY(account.contains("Nick") && account.value("Nick").isEmpty());
}

void TestLogin::unitHistoryKeepsLastThree() {
    TestHttpServer server;
    server.Reply(200, kOkReply);
    QStringList units;
    for (const char* name : {"一中", "二中", "三中", "四中"})
        units << Record(server, QString::number(units.size() + 1), QString::fromUtf8(name));
    for (int i = 0; i < 3; ++i)
        QVERIFY(LogIn(units[i], "zhanglei"));
    QCOMPARE(History("zhanglei"), units.mid(0, 3));
    QVERIFY(LogIn(units[1], "zhanglei"));
    QCOMPARE(History("zhanglei"), units.mid(0, 3));
    QVERIFY(LogIn(units[3], "zhanglei"));
    QCOMPARE(History("zhanglei"), units.mid(1, 3));
    QCOMPARE(Account::GetAccountInfo("zhanglei").value("cur_unit"), units[3]);

    // A user logging in for the first time does not inherit the previous user's units.
    QVERIFY(LogIn(units[1], "wangfang"));
    QCOMPARE(History("wangfang"), QStringList({units[1]}));
}

void TestLogin::storedSettingsFillTheForm() {
    const QString first = "1,一中,http://127.0.0.1:9/,";
    const QString last = "2,二中,http://127.0.0.1:9/,";
    StoreAccount("zhanglei", {{"rem_psw", "0"},
                              {"usr_psw", ""},
                              {"cur_unit", ""},
                              {"unit_history", first + "|" + last},
                              {"User_ID", "10001"},
                              {"Unit_ID", "2"}});
    // The unit's avatar folder is that of the unit shown.
    const QString avatars = Account::DataRoot() + "/account/zhanglei/2/avatar";
    QVERIFY(QDir().mkpath(avatars));
    QImage picture(40, 40, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(avatars + "/10001.png"));

    LoginForm form(true);
    QCOMPARE(form.user->text(), QStringLiteral("zhanglei"));
    QCOMPARE(form.unit->text(), QStringLiteral("二中"));
    QCOMPARE(form.unit->UnitRecord(), last);
    QVERIFY(form.psw->text().isEmpty());
    QVERIFY(!form.remember->isChecked());
    const QImage shown =
        form.login->findChild<QLabel*>("avatar_lab")->pixmap(Qt::ReturnByValue).toImage();
    QCOMPARE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::red));
}

void TestLogin::chooserCascadesThroughObjectsAndArrays() {
    GroupChose chooser;
    chooser.SetHistory({});
    auto* province = chooser.findChild<QComboBox*>("province_combo");
    auto* city = chooser.findChild<QComboBox*>("city_combo");
    auto* district = chooser.findChild<QComboBox*>("district_combo");
    auto* list = chooser.findChild<QListWidget*>("group_list_wid");
    QSignalSpy requests(&chooser, &GroupChose::update_group_info);

    chooser.FillProvinces("not json");
    QCOMPARE(province->count(), 0);
    chooser.FillProvinces(R"({"Velta":{"Area":[
        {"Name":"甲省","Area":[
            {"Name":"甲一市","Area":[{"Name":"区一","ID":"11"},{"Name":"区二","ID":"12"}]},
            {"Name":"甲二市","Area":{"Name":"区三","ID":"21"}}]},
        {"Name":"乙省","Area":{"Name":"乙一市","Area":[{"Name":"区四","ID":"31"}]}}]}})");
    QCOMPARE(province->count(), 2);
    QCOMPARE(city->count(), 2);
    QCOMPARE(district->count(), 2);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.last().at(0).toString(), QStringLiteral("11"));

    // A lone region comes as an object.
    province->setCurrentIndex(1);
    QCOMPARE(city->count(), 1);
    QCOMPARE(district->count(), 1);
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.last().at(0).toString(), QStringLiteral("31"));

    chooser.on_group_info_active(R"({"Velta":{"R":{"Unit_ID":"7","UnitName":"七中",
                                    "UnitUrl":"http://h/unit/7/","UnitUrl2":"www.q.cn"}}})");
    QCOMPARE(list->count(), 1);
    QCOMPARE(chooser.UnitRecords(), QStringList({"7,七中,http://h/unit/7/,www.q.cn"}));
    chooser.on_group_info_active(R"({"Velta":{"R":[{"Unit_ID":"1","UnitName":"一中"},
                                    {"Unit_ID":"2","UnitName":"二中"}]}})");
    QCOMPARE(list->count(), 2);
    chooser.on_group_info_active("oops");
    QCOMPARE(list->count(), 0);
    QVERIFY(chooser.UnitRecords().isEmpty());
}

void TestLogin::chooserConfirmPrefersHistory() {
    const QByteArray units = R"({"Velta":{"R":[
        {"Unit_ID":"1","UnitName":"实验小学","UnitUrl":"http://new/","UnitUrl2":""},
        {"Unit_ID":"2","UnitName":"实验小学分校","UnitUrl":"http://new/","UnitUrl2":""}]}})";
    const QString old_record = "1,实验小学,http://old/,";
    // Runs the chooser modally; `row` is clicked, -1 closes it without a choice.
    const auto choose = [&](int row) {
        auto* chooser = new GroupChose;
        chooser->SetHistory({old_record});
        chooser->on_group_info_active(units);
        QStringList answers;
        ModalAnswerer answerer([row](QWidget* modal) {
            const QPointer<QWidget> dialog(modal);
            if (row >= 0)
                ClickUnit(modal->findChild<QListWidget*>("group_list_wid"), row);
            else
                modal->findChild<QPushButton*>("close_btn")->click();
            // The dialog deletes itself on closing, at times before its exec() has returned.
            QTRY_VERIFY(!dialog || dialog->isHidden());
            delete dialog.data();
        });
        chooser->SetRegionData("{}", [&answers](const QString& record) { answers << record; });
        return answers;
    };
    QCOMPARE(choose(1), QStringList({"2,实验小学分校,http://new/,"}));
    QCOMPARE(choose(0), QStringList({old_record}));
    QCOMPARE(choose(-1), QStringList({QString()}));
}

void TestLogin::chooserThroughLoginWindow() {
    SimServer sim(200, 200);
    QVERIFY(sim.IsRunning());
    AppInfo::SetVendorHost(sim.VendorHost());
    LoginForm form;
    QString region;
    ModalAnswerer answerer([&region](QWidget* modal) {
        auto* list = modal->findChild<QListWidget*>("group_list_wid");
        // The units of the first district come while the dialog runs.
        QTRY_VERIFY_WITH_TIMEOUT(list->count() > 0, 10000);
        for (const char* name : {"province_combo", "city_combo", "district_combo"})
            region += modal->findChild<QComboBox*>(name)->currentText() + '/';
        ClickUnit(list, 0);
    });
    form.login->findChild<QPushButton*>("chose_group_btn")->click();
    QTRY_COMPARE_WITH_TIMEOUT(form.unit->text(), QStringLiteral("鹿鸣实验小学"), 10000);
    QCOMPARE(region, QStringLiteral("浙江省/杭州市/鹿鸣区/"));
    QCOMPARE(form.unit->UnitRecord(), sim.UnitRecord("1001"));

    form.Fill(form.unit->UnitRecord(), "zhanglei", "123456");
    QCOMPARE(form.Submit().value(0), QVariant(true));
}

CORAL_TEST_MAIN(TestLogin)
#include "tst_login.moc"
