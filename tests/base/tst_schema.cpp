#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "base/MsgDbSchema.h"
#include "base/SqlExec.h"
#include "tests/support/TestMain.h"

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void init();
    void createdOnceAndLeftAlone();
    void secondUnitGetsItsOwnFile();
    void failedCreationRemovesTheFile();

private:
    static void LogIn(const QString& user, const QString& unit);
    static QString DbPath(const QString& user, const QString& unit);
};

void TestSchema::init() {
    QCoreApplication::setApplicationName("Coralbridge");
    ConnectionPool::Instance()->CloseConnection();
    Account::ResetState();
    TestHome::Remove(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    Account::SetupDataRoot();
}

void TestSchema::LogIn(const QString& user, const QString& unit) {
    Account::ResetState();
    AccountMap& map = Account::GetAccountInfo(user);
    map["usr_id"] = user;
    map["Unit_ID"] = unit;
    QVERIFY(Account::SaveAccountInfo(user));
    Account::SetCurUserId(user);
}

QString TestSchema::DbPath(const QString& user, const QString& unit) {
    return QStringLiteral("%1/account/%2/%3/msg.db").arg(Account::DataRoot(), user, unit);
}

void TestSchema::createdOnceAndLeftAlone() {
    LogIn("t", "1001");
    QVERIFY(Account::InitDB());
    QVERIFY(QFileInfo::exists(DbPath("t", "1001")));
    for (const char* table : {"message_all", "message_list", "group_infos", "num_update"}) {
        QCOMPARE(SqlExec::SelectInt(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)), 0);
    }
    const QVariantMap ids = SqlExec::SelectRow("SELECT * FROM max_ids");
    QCOMPARE(ids.value("max_messagelog_id").toInt(), 0);
    QCOMPARE(ids.value("max_belllog_id").toInt(), 0);
    QCOMPARE(ids.value("max_numupdatelog_id").toInt(), 0);
    QCOMPARE(SqlExec::SelectInt(
                 "SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"),
             MsgDbSchema::IndexStatements().size());

    SqlExec::Update("UPDATE max_ids SET max_belllog_id = 7");
    QVERIFY(Account::InitDB());  // a second login: no second row, nothing reset
    QCOMPARE(SqlExec::SelectInt("SELECT COUNT(*) FROM max_ids"), 1);
    QCOMPARE(SqlExec::SelectInt("SELECT max_belllog_id FROM max_ids"), 7);
}

void TestSchema::secondUnitGetsItsOwnFile() {
    LogIn("t", "1001");
    QVERIFY(Account::InitDB());
    SqlExec::Update("UPDATE max_ids SET max_belllog_id = 7");
    LogIn("t", "1002");
    QVERIFY(Account::InitDB());
    QVERIFY(QFileInfo::exists(DbPath("t", "1002")));
    QCOMPARE(SqlExec::SelectInt("SELECT max_belllog_id FROM max_ids"), 0);
    LogIn("t", "1001");
    QVERIFY(Account::InitDB());
    QCOMPARE(SqlExec::SelectInt("SELECT max_belllog_id FROM max_ids"), 7);
}

void TestSchema::failedCreationRemovesTheFile() {
    LogIn("t", "1003");
    const QString path = DbPath("t", "1003");
    // Journal files that cannot be created make the first write fail.
    QDir().mkpath(path + "-journal");
    QDir().mkpath(path + "-wal");
    QVERIFY(!Account::InitDB());
    QVERIFY(!QFileInfo(path).isFile());
    QDir(path + "-journal").removeRecursively();
    QDir(path + "-wal").removeRecursively();
    QVERIFY(Account::InitDB());  // the next login tries again
    QCOMPARE(SqlExec::SelectInt("SELECT COUNT(*) FROM max_ids"), 1);
}

CORAL_TEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
