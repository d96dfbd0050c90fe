// What could let someone else log in as the user stays out of reach: the account folders and
// files are the owner's alone (also those an earlier version made), and the log never shows the
// remembered password, the session id or the encoded password, whatever form they travel in
// (request bodies: tst_http).

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include "base/LogText.h"
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

class TestSecrets : public QObject {
    Q_OBJECT
private slots:
    void init() { account_env::Reset(); }

    void accountFilesAreTheOwnersAlone();
    void filesOfEarlierVersionsAreClosedAtStart();
    void logMasksSecretsButKeepsItsLines();
    void masksSecretValuesOnly();
};

void TestSecrets::accountFilesAreTheOwnersAlone() {
    Account::SetupUpdatePath();
    QVERIFY(SaveUser());
    QVERIFY(Account::InitDB() && Account::InitAvatarPath() && Account::InitMsgPath());
    const QString root = Account::DataRoot();
    for (const QString& folder :
         {root, root + "/account", root + "/update", root + "/account/teacher",
          root + "/account/teacher/7", Account::AvatarPath(), Account::MsgPath() + "/image"}) {
        QCOMPARE(Mode(folder), kFolder);
    }
    QCOMPARE(Mode(root + "/account/teacher/cfg.ini"), kFile);
    QCOMPARE(Mode(root + "/account/teacher/7/msg.db"), kFile);
}

void TestSecrets::filesOfEarlierVersionsAreClosedAtStart() {
    QVERIFY(SaveUser());
    QVERIFY(Account::InitDB());
    ConnectionPool::Instance()->CloseConnection();
    const QString user = Account::DataRoot() + "/account/teacher";
    const QFile::Permissions open = QFile::ReadGroup | QFile::ReadOther;
    for (const QString& folder : {Account::DataRoot(), user})
        QFile::setPermissions(folder, kFolder | open | QFile::ExeOther);
    for (const QString& file : {user + "/cfg.ini", user + "/7/msg.db"})
        QFile::setPermissions(file, kFile | open);

    Account::ResetState();
    Account::SetupDataRoot();
    QCOMPARE(Mode(Account::DataRoot()), kFolder);
    QCOMPARE(Mode(user), kFolder);
    QCOMPARE(Mode(user + "/cfg.ini"), kFile);
    QCOMPARE(Mode(user + "/7/msg.db"), kFile);
}

void TestSecrets::logMasksSecretsButKeepsItsLines() {
    LogCapture log;
    QVERIFY(SaveUser());
    Account::ResetState();
    Account::SetupDataRoot();
    QCOMPARE(Account::GetAccountInfo("teacher").value("usr_psw"), kPassword);
    const QString encoded = Account::GetEncryptPSW(kPassword);

    const QString text = log.Text();
    QVERIFY(text.contains("account_settings_:"));
    QVERIFY(text.contains("Account::GetEncryptPSW: ***"));
    QVERIFY(text.contains("\"usr_psw\", \"***\""));
    QVERIFY(!text.contains(kPassword));
    QVERIFY(!text.contains(kSession));
    QVERIFY(!text.contains(encoded));
}

void TestSecrets::masksSecretValuesOnly() {
    const QList<QPair<QString, QString>> cases = {
        {"loginid=zhanglei&encyptpassword=0Nk9%24b5&onlinetype=192",
         "loginid=zhanglei&encyptpassword=***&onlinetype=192"},
        {"http://h/x.asmx/M?User_ID=1&SessionID=c8a6&MathNum=20",
         "http://h/x.asmx/M?User_ID=1&SessionID=***&MathNum=20"},
        {"re.aspx?GCheckStr=S-9", "re.aspx?GCheckStr=***"},
        {R"({"Velta":{"EID":"0","SessionID":"c8\"a6","Nick":"张校长"}})",
         R"({"Velta":{"EID":"0","SessionID":"***","Nick":"张校长"}})"},
        {R"(QMap(("Nick", "张")("SessionID", "c8a6")("usr_psw", "123456")))",
         R"(QMap(("Nick", "张")("SessionID", "***")("usr_psw", "***")))"},
        // Names that only contain a secret name are other fields.
        {"OldSessionIDs=3&xpassword=4", "OldSessionIDs=3&xpassword=4"}};
    for (const auto& c : cases)
        QCOMPARE(LogText::Redacted(c.first), c.second);
}

CORAL_TEST_GUILESS_MAIN(TestSecrets)
#include "tst_secrets.moc"
