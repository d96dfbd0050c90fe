// What could let someone else log in as the user stays out of reach: the account folders and
// files are the owner's alone (also those an earlier version made), and the log never shows the
// remembered password, the session id or the encoded password.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "tests/support/TestMain.h"

namespace {

const QString kPassword = QStringLiteral("pa55+w&rd");
const QString kSession = QStringLiteral("5e55i0n-0f-the-u5er");

QFile::Permissions Mode(const QString& path) {
    return QFileInfo(path).permissions() & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
}

const QFile::Permissions kFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
const QFile::Permissions kFile = QFile::ReadOwner | QFile::WriteOwner;
const QFile::Permissions kOpen = kFile | QFile::ReadGroup | QFile::ReadOther;

// Every line logged while it lives.
class LogCapture {
public:
    LogCapture() {
        lines_ = &captured_;
        previous_ = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&,
                                              const QString& line) { lines_->append(line); });
    }
    ~LogCapture() {
        qInstallMessageHandler(previous_);
        lines_ = nullptr;
    }
    QString Text() const { return captured_.join('\n'); }

private:
    static QStringList* lines_;
    QStringList captured_;
    QtMessageHandler previous_ = nullptr;
};
QStringList* LogCapture::lines_ = nullptr;

void SaveUser() {
    AccountMap& account = Account::GetAccountInfo("teacher");
    account = {{"usr_id", "teacher"},   {"usr_psw", kPassword}, {"rem_psw", "1"},
               {"SessionID", kSession}, {"Unit_ID", "7"},       {"User_ID", "1001"}};
    QVERIFY(Account::SaveAccountInfo("teacher"));
    Account::SetCurUserId("teacher");
}

}  // namespace

class TestSecrets : public QObject {
    Q_OBJECT
private slots:
    void init();

    void accountFilesAreTheOwnersAlone();
    void filesOfEarlierVersionsAreClosedAtStart();
    void logMasksSecretsButKeepsItsLines();
};

void TestSecrets::init() {
    QCoreApplication::setApplicationName("Coralbridge");
    ConnectionPool::Instance()->CloseConnection();
    Account::ResetState();
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
}

void TestSecrets::accountFilesAreTheOwnersAlone() {
    Account::SetupUpdatePath();
    SaveUser();
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
    Account::SetupDataRoot();
    SaveUser();
    QVERIFY(Account::InitDB());
    ConnectionPool::Instance()->CloseConnection();
    const QString user = Account::DataRoot() + "/account/teacher";
    const QFile::Permissions open_folder = kFolder | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(Account::DataRoot(), open_folder);
    QFile::setPermissions(user, open_folder);
    QFile::setPermissions(user + "/cfg.ini", kOpen);
    QFile::setPermissions(user + "/7/msg.db", kOpen);

    Account::ResetState();
    Account::SetupDataRoot();
    QCOMPARE(Mode(Account::DataRoot()), kFolder);
    QCOMPARE(Mode(user), kFolder);
    QCOMPARE(Mode(user + "/cfg.ini"), kFile);
    QCOMPARE(Mode(user + "/7/msg.db"), kFile);
}

void TestSecrets::logMasksSecretsButKeepsItsLines() {
    Account::SetupDataRoot();
    LogCapture log;
    SaveUser();
    Account::ResetState();
    Account::SetupDataRoot();
    const AccountMap& loaded = Account::GetAccountInfo("teacher");
    QCOMPARE(loaded.value("usr_psw"), kPassword);
    QString encoded = Account::GetEncryptPSW(kPassword);

    const QString text = log.Text();
    QVERIFY(text.contains("account_settings_:"));
    QVERIFY(text.contains("Account::GetEncryptPSW: ***"));
    QVERIFY(text.contains("\"usr_psw\", \"***\""));
    QVERIFY(!text.contains(kPassword));
    QVERIFY(!text.contains(kSession));
    QVERIFY(!text.contains(encoded));
}

CORAL_TEST_GUILESS_MAIN(TestSecrets)
#include "tst_secrets.moc"
