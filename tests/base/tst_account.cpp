#include <utime.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QThread>
#include <QtTest>

#include "base/PasswordTables.h"
#include "tests/support/AccountEnv.h"
#include "tests/support/TestMain.h"

class TestAccount : public QObject {
    Q_OBJECT
private slots:
    void init() { account_env::Reset(); }
    void foldersAndDeviceId();
    void settingsRoundTrip();
    void emptyUserPicksNewestFolder();
    void passwordEncoding();
};

void TestAccount::foldersAndDeviceId() {
    Account::SetupDataRoot();
    const QString root = Account::DataRoot();
    QVERIFY(root.endsWith("/Coralbridge"));
    const QString id = Account::DeviceId();
    QCOMPARE(id.size(), 36);  // a UUID without braces
    QVERIFY(QFileInfo::exists(QStringLiteral("%1/%2-dec").arg(root, id)));
    Account::SetupDataRoot();  // a second start finds the marker again
    QCOMPARE(Account::DeviceId(), id);
    QCOMPARE(QDir(root).entryList({"*-dec"}, QDir::Files).size(), 1);

    QVERIFY(!Account::InitAvatarPath());  // no user folder yet
    QVERIFY(account_env::SaveUser("u", {{"Unit_ID", "1002"}}));
    QVERIFY(Account::InitAvatarPath() && Account::InitMsgPath());
    const QString unit = root + "/account/u/1002";
    QCOMPARE(Account::AvatarPath(), unit + "/avatar");
    QCOMPARE(Account::MsgPath(), unit + "/message");
    for (const char* sub : {"file", "audio", "video", "image", "tmp"})
        QVERIFY2(QFileInfo(unit + "/message/" + sub).isDir(), sub);
}

void TestAccount::settingsRoundTrip() {
    const AccountMap saved = {
        {"usr_psw", "p+w&d=1"},
        {"cur_unit", "1001,第一实验小学,http://127.0.0.1:8770/unit/1001/,www.school.cn"},
        {"unit_history", "1001,a,b,c|1002,d,e,f"},
        {"rem_psw", "1"},
        {"User_ID", "2001"},
        {"Unit_ID", "1001"},
        {"UserName", "王老师"}};
    QVERIFY(account_env::SaveUser("teacher", saved));
    QCOMPARE(Account::CurUnitId(), QString("1001"));
    QCOMPARE(Account::UserName(), QString("王老师"));
    QVERIFY(Account::HasAccountConfig("teacher"));
    QVERIFY(!Account::HasAccountConfig("nobody"));

    Account::ResetState();
    const AccountMap& loaded = Account::GetAccountInfo("teacher");
    QCOMPARE(loaded.value("usr_id"), QString("teacher"));
    for (const char* key : {"usr_psw", "cur_unit", "unit_history", "rem_psw", "User_ID"})
        QCOMPARE(loaded.value(key), saved.value(key));
    QCOMPARE(loaded.value("usr_avatar"), QString());
    QVERIFY(!loaded.contains("UserName"));  // only the login keys are loaded
    QSettings raw(Account::DataRoot() + "/account/teacher/cfg.ini", QSettings::IniFormat);
    raw.setIniCodec("System");
    QCOMPARE(raw.value("UserName").toString(), QString("王老师"));
}

void TestAccount::emptyUserPicksNewestFolder() {
    // The newest folder is neither the first nor the last by name.
    const QList<QPair<const char*, int>> users = {{"alpha", 300}, {"bravo", 100}, {"charlie", 200}};
    for (const auto& user : users) {
        QVERIFY(account_env::SaveUser(user.first, {{"Unit_ID", "1"}}));
        const time_t when = time(nullptr) - user.second;
        const utimbuf times{when, when};
        QCOMPARE(utime(QFile::encodeName(Account::AccountsPath() + "/" + user.first).constData(),
                       &times),
                 0);
    }
    Account::ResetState();
    QCOMPARE(Account::GetAccountInfo("").value("usr_id"), QString("bravo"));

    // Once loaded, the map of the current user answers the empty name without a reload.
    Account::SetCurUserId("bravo");
    Account::GetAccountInfo("bravo")["Nick"] = "edited";
    QCOMPARE(Account::GetAccountInfo("").value("Nick"), QString("edited"));
}

void TestAccount::passwordEncoding() {
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

    // The client draws one of the first five pairs and names it in the last digit.
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
    QCOMPARE(Account::GetEncryptPSW(QString()).size(), 1);
}

CORAL_TEST_GUILESS_MAIN(TestAccount)
#include "tst_account.moc"
