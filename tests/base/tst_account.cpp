#include <utime.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include "base/Account.h"
#include "base/PasswordTables.h"
#include "tests/support/TestMain.h"

class TestAccount : public QObject {
    Q_OBJECT
private slots:
    void init();
    void foldersAndDeviceId();
    void settingsRoundTrip();
    void emptyUserPicksNewestFolder();
    void secondUserKeepsOtherKeys();
    void perUnitFolders();
    void passwordSubstitution();
    void passwordPairDigit();
};

void TestAccount::init() {
    QCoreApplication::setApplicationName("Coralbridge");
    Account::ResetState();
    TestHome::Remove(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

void TestAccount::foldersAndDeviceId() {
    Account::SetupUpdatePath();
    const QString root = Account::DataRoot();
    QVERIFY(root.endsWith("/Coralbridge"));
    QVERIFY(QFileInfo(root + "/account").isDir());
    QVERIFY(QFileInfo(Account::UpdatePath()).isDir());
    const QString id = Account::DeviceId();
    QCOMPARE(id.size(), 36);  // a UUID without braces
    QVERIFY(QFileInfo::exists(QStringLiteral("%1/%2-dec").arg(root, id)));

    Account::SetupDataRoot();  // a second start finds the marker again
    QCOMPARE(Account::DeviceId(), id);
    QCOMPARE(QDir(root).entryList({"*-dec"}, QDir::Files).size(), 1);
}

void TestAccount::settingsRoundTrip() {
    Account::SetupDataRoot();
    AccountMap& map = Account::GetAccountInfo("teacher");
    map["usr_id"] = "teacher";
    map["usr_psw"] = "p+w&d=1";
    map["cur_unit"] = "1001,第一实验小学,http://127.0.0.1:8770/unit/1001/,www.school.cn";
    map["unit_history"] = "1001,a,b,c|1002,d,e,f";
    map["rem_psw"] = "1";
    map["User_ID"] = "2001";
    map["Unit_ID"] = "1001";
    map["UserName"] = "王老师";
    map["Nick"] = "wang";
    QVERIFY(Account::SaveAccountInfo("teacher"));
    QCOMPARE(Account::CurUnitId(), QString("1001"));
    QCOMPARE(Account::UserName(), QString("王老师"));
    QVERIFY(Account::HasAccountConfig("teacher"));
    QVERIFY(!Account::HasAccountConfig("nobody"));

    const AccountMap saved = map;
    Account::ResetState();
    const AccountMap& loaded = Account::GetAccountInfo("teacher");
    for (const char* key :
         {"usr_id", "usr_psw", "cur_unit", "unit_history", "rem_psw", "User_ID"}) {
        QCOMPARE(loaded.value(key), saved.value(key));
    }
    QCOMPARE(loaded.value("usr_avatar"), QString());
    QVERIFY(!loaded.contains("UserName"));  // only the login keys are loaded

    QSettings raw(Account::DataRoot() + "/account/teacher/cfg.ini", QSettings::IniFormat);
    raw.setIniCodec("System");
    QCOMPARE(raw.value("UserName").toString(), QString("王老师"));
}

void TestAccount::emptyUserPicksNewestFolder() {
    Account::SetupDataRoot();
    // The newest folder is neither the first nor the last by name.
    const QList<QPair<const char*, int>> users = {{"alpha", 300}, {"bravo", 100}, {"charlie", 200}};
    for (const auto& user : users) {
        Account::GetAccountInfo(user.first)["usr_id"] = user.first;
        Account::GetAccountInfo(user.first)["Unit_ID"] = "1";
        QVERIFY(Account::SaveAccountInfo(user.first));
        Account::ResetState();
    }
    for (const auto& user : users) {
        const QString folder = Account::AccountsPath() + "/" + user.first;
        const time_t when = time(nullptr) - user.second;
        const utimbuf times{when, when};
        QCOMPARE(utime(QFile::encodeName(folder).constData(), &times), 0);
    }
    QCOMPARE(Account::GetAccountInfo("").value("usr_id"), QString("bravo"));

    // Once loaded, the map of the current user answers the empty name without a reload.
    Account::SetCurUserId("bravo");
    Account::GetAccountInfo("bravo")["Nick"] = "edited";
    QCOMPARE(Account::GetAccountInfo("").value("Nick"), QString("edited"));
}

void TestAccount::secondUserKeepsOtherKeys() {
    Account::SetupDataRoot();
    AccountMap& first = Account::GetAccountInfo("first");
    first["usr_id"] = "first";
    first["Unit_ID"] = "1";
    first["SessionID"] = "s-first";
    QVERIFY(Account::SaveAccountInfo("first"));
    AccountMap& second = Account::GetAccountInfo("second");
    QCOMPARE(&second, &first);
    QCOMPARE(second.value("SessionID"), QString("s-first"));  // kept until overwritten
}

void TestAccount::perUnitFolders() {
    Account::SetupDataRoot();
    QVERIFY(!Account::InitAvatarPath());  // no user folder yet
    AccountMap& map = Account::GetAccountInfo("u");
    map["usr_id"] = "u";
    map["Unit_ID"] = "1002";
    QVERIFY(Account::SaveAccountInfo("u"));
    Account::SetCurUserId("u");
    QVERIFY(Account::InitAvatarPath());
    QVERIFY(Account::InitMsgPath());
    const QString unit = Account::DataRoot() + "/account/u/1002";
    QCOMPARE(Account::AvatarPath(), unit + "/avatar");
    QCOMPARE(Account::MsgPath(), unit + "/message");
    for (const char* sub : {"file", "audio", "video", "image", "tmp"}) {
        QVERIFY2(QFileInfo(unit + "/message/" + sub).isDir(), sub);
    }
}

void TestAccount::passwordSubstitution() {
    const std::string password = "Abc!123~xyz";
    for (int pair = 1; pair <= 6; ++pair) {
        const std::string encoded = password_tables::Substitute(password, pair);
        QCOMPARE(encoded.size(), password.size());
        QVERIFY(encoded != password);
        QCOMPARE(password_tables::Restore(encoded, pair), password);
        QCOMPARE(password_tables::Decode(encoded + char('0' + pair)), password);
    }
    QVERIFY(password_tables::Substitute(password, 0).empty());
    QVERIFY(password_tables::Substitute(password, 7).empty());
    // Blanks, non-ASCII text and the two characters missing from the tables vanish.
    QCOMPARE(Account::Substitute(QStringLiteral("a b中\"\\c"), 1),
             Account::Substitute(QStringLiteral("abc"), 1));
}

void TestAccount::passwordPairDigit() {
    QSet<QChar> digits;
    for (int i = 0; i < 200 && digits.size() < 5; ++i) {
        const QString encoded = Account::GetEncryptPSW("secret");
        const QChar digit = encoded.back();
        QVERIFY(digit >= '1' && digit <= '5');
        QCOMPARE(encoded.chopped(1), Account::Substitute("secret", digit.digitValue()));
        digits.insert(digit);
        QThread::msleep(1);
    }
    QCOMPARE(digits.size(), 5);
    const QString empty = Account::GetEncryptPSW(QString());
    QCOMPARE(empty.size(), 1);
}

CORAL_TEST_GUILESS_MAIN(TestAccount)
#include "tst_account.moc"
