// The user's account: the data folder and device id, the settings, the password's encoding; and
// what could let someone else log in as the user out of reach: the account files are the owner's
// alone (also those an earlier version made), the log never shows the remembered password, the
// session id or the encoded password in any form (request bodies: tst_http).

#include <utime.h>

#include <QtTest>

#include "base/LogText.h"
#include "base/PasswordTables.h"
#include "tests/support/AccountEnv.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestMain.h"

namespace {

const QString kPassword = QStringLiteral("pa55+w&rd");
const QString kSession = QStringLiteral("5e55i0n-0f-the-u5er");

const QFile::Permissions kFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
const QFile::Permissions kFile = QFile::ReadOwner | QFile::WriteOwner;

QFile::Permissions Mode(const QString& path) {
    return QFileInfo(path).permissions() &
           (kFolder | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
            QFile::WriteOther | QFile::ExeOther);
}

bool SaveUser() {
    return account_env::SaveUser("teacher", {{"usr_psw", kPassword},
                                             {"rem_psw", "1"},
                                             {"SessionID", kSession},
                                             {"Unit_ID", "7"},
                                             {"User_ID", "1001"}});
}

}  // namespace

class TestAccount : public QObject {
    Q_OBJECT
private slots:
    void init() { account_env::Reset(); }
    void foldersAreTheOwnersAlone();
    void settingsRoundTripAndStayOutOfTheLog();
    void emptyUserPicksNewestFolder();
    void passwordEncoding();
    void logMasksSecretValuesOnly();
};

void TestAccount::foldersAreTheOwnersAlone() {
    Account::SetupDataRoot();
    Account::SetupUpdatePath();
    const QString root = Account::DataRoot();
    const QString id = Account::DeviceId();
    QVERIFY(QFileInfo::exists(QStringLiteral("%1/%2-dec").arg(root, id)));
    Account::SetupDataRoot();  // a second start finds the marker again
    QCOMPARE(Account::DeviceId(), id);
    QCOMPARE(QDir(root).entryList({"*-dec"}, QDir::Files).size(), 1);

    QVERIFY(!Account::InitAvatarPath());  // no user folder yet
    QVERIFY(SaveUser());
    QVERIFY(Account::InitDB() && Account::InitAvatarPath() && Account::InitMsgPath());
    const QString user = root + "/account/teacher";
    QCOMPARE(Account::AvatarPath(), user + "/7/avatar");
    QCOMPARE(Account::MsgPath(), user + "/7/message");
    for (const char* sub : {"file", "audio", "video", "image", "tmp"})
        QVERIFY2(QFileInfo(user + "/7/message/" + sub).isDir(), sub);

    QStringList folders = {root, root + "/account", root + "/update", user, user + "/7"};
    folders << Account::AvatarPath() << Account::MsgPath() + "/image";
    const QStringList files = {user + "/cfg.ini", user + "/7/msg.db"};
    for (const QString& folder : folders)
        QCOMPARE(Mode(folder), kFolder);
    for (const QString& file : files)
        QCOMPARE(Mode(file), kFile);

    // Opened up by an earlier version: closed again at the next start.
    ConnectionPool::Instance()->CloseConnection();
    const QFile::Permissions open = QFile::ReadGroup | QFile::ReadOther;
    for (const QString& folder : {root, user})
        QFile::setPermissions(folder, kFolder | open | QFile::ExeOther);
    for (const QString& file : files)
        QFile::setPermissions(file, kFile | open);
    Account::ResetState();
    Account::SetupDataRoot();
    for (const QString& folder : {root, user})
        QCOMPARE(Mode(folder), kFolder);
    for (const QString& file : files)
        QCOMPARE(Mode(file), kFile);
}

void TestAccount::settingsRoundTripAndStayOutOfTheLog() {
    const AccountMap saved = {
        {"usr_psw", kPassword},
        {"SessionID", kSession},
        {"cur_unit", "1001,第一实验小学,http://127.0.0.1:8770/unit/1001/,www.school.cn"},
        {"unit_history", "1001,a,b,c|1002,d,e,f"},
        {"rem_psw", "1"},
        {"User_ID", "2001"},
        {"Unit_ID", "1001"},
        {"UserName", "王老师"}};
    LogCapture log;
    QVERIFY(account_env::SaveUser("teacher", saved));
    QVERIFY(Account::HasAccountConfig("teacher"));
    QVERIFY(!Account::HasAccountConfig("nobody"));

    Account::ResetState();
    const AccountMap& loaded = Account::GetAccountInfo("teacher");
    QCOMPARE(loaded.value("usr_id"), QString("teacher"));
    for (const char* key : {"usr_psw", "cur_unit", "unit_history", "rem_psw", "User_ID"})
        QCOMPARE(loaded.value(key), saved.value(key));
    QSettings raw(Account::DataRoot() + "/account/teacher/cfg.ini", QSettings::IniFormat);
    raw.setIniCodec("System");
    QCOMPARE(raw.value("UserName").toString(), QString("王老师"));

    // The loaded settings are logged with the secrets masked.
    const QString encoded = Account::GetEncryptPSW(kPassword);
    const QString text = log.Text();
    QVERIFY(text.contains("\"usr_psw\", \"***\""));
    QVERIFY(!text.contains(kPassword));
    QVERIFY(!text.contains(kSession));
    QVERIFY(!text.contains(encoded));
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
    const QString encoded = Account::GetEncryptPSW("secret");
    const QChar digit = encoded.back();
    QVERIFY(digit >= '1' && digit <= '5');
    QCOMPARE(encoded.chopped(1), Account::Substitute("secret", digit.digitValue()));
    QCOMPARE(Account::GetEncryptPSW(QString()).size(), 1);
}

void TestAccount::logMasksSecretValuesOnly() {
    const QList<QPair<QString, QString>> cases = {
        {"http://h/x.asmx/M?User_ID=1&SessionID=c8a6&MathNum=20",
         "http://h/x.asmx/M?User_ID=1&SessionID=***&MathNum=20"},
        {"re.aspx?GCheckStr=S-9", "re.aspx?GCheckStr=***"},
        {R"({"Velta":{"EID":"0","SessionID":"c8\"a6","Nick":"张校长"}})",
         R"({"Velta":{"EID":"0","SessionID":"***","Nick":"张校长"}})"},
        // Names that only contain a secret name are other fields.
        {"OldSessionIDs=3&xpassword=4", "OldSessionIDs=3&xpassword=4"}};
    for (const auto& c : cases)
        QCOMPARE(LogText::Redacted(c.first), c.second);
}

CORAL_TEST_GUILESS_MAIN(TestAccount)
#include "tst_account.moc"
