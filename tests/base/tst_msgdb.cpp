// msg.db at login: made once per user and unit with its tables, kept when sound, and when it
// cannot be used moved aside with its log files, never deleted, for a new one.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include "base/BackgroundDbCheck.h"
#include "base/MsgDbCheck.h"
#include "base/MsgDbSchema.h"
#include "base/SqlExec.h"
#include "tests/support/AccountEnv.h"
#include "tests/support/TestMain.h"

namespace {

QString UnitFolder(const QString& unit = "7") {
    return Account::DataRoot() + QStringLiteral("/account/teacher/") + unit;
}
QString DbPath(const QString& unit = "7") {
    return UnitFolder(unit) + QStringLiteral("/msg.db");
}

// Signs in as the same user again, as the application does at every login.
bool Login(const QString& unit = "7") {
    return account_env::SaveUser("teacher", {{"User_ID", "1001"}, {"Unit_ID", unit}}) &&
           Account::InitDB();
}

void Write(const QString& path, const QByteArray& data) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Aside() {
    return QDir(UnitFolder()).entryList({"msg-damaged-*"}, QDir::Files, QDir::Name);
}

int Rows() {
    return SqlExec::SelectInt("SELECT COUNT(*) FROM message_all");
}

// A fresh file as a new login makes it.
bool FreshFile() {
    return Rows() == 0 && SqlExec::SelectInt("SELECT COUNT(*) FROM max_ids") == 1 &&
           SqlExec::Insert("INSERT INTO message_list (other_id, number) VALUES (5, 1)") > 0;
}

// A file of 2000 messages closed cleanly; its size.
qint64 BigFile() {
    if (!Login())
        return -1;
    SqlExec::Begin();
    for (int i = 0; i < 2000; ++i) {
        SqlExec::Insert("INSERT INTO message_all (content, message_id) VALUES (:c, :id)",
                        {{"c", QString(400, QChar('a' + i % 26))}, {"id", i + 1}});
    }
    SqlExec::Commit();
    SqlExec::SelectValue("PRAGMA wal_checkpoint(TRUNCATE);");
    ConnectionPool::Instance()->CloseConnection();
    return QFileInfo(DbPath()).size();
}

// A file closed cleanly, with garbage over one page of its messages half way in.
qint64 DamagedPageAfterCleanEnd() {
    const qint64 size = BigFile();
    QFile file(DbPath());
    if (size < 0 || !file.open(QIODevice::ReadWrite))
        return -1;
    file.seek(size / 2 / 4096 * 4096);
    file.write(QByteArray(4096, '\x5a'));
    return size;
}

int BackgroundCheck() {
    BackgroundDbCheck check(DbPath());
    QSignalSpy checked(&check, &BackgroundDbCheck::checked);
    check.Start(0);
    return checked.wait(20000) ? checked.at(0).at(0).toInt() : -1;
}

}  // namespace

class TestMsgDb : public QObject {
    Q_OBJECT
private slots:
    void init() { account_env::Reset(); }

    void createdOnceAndKeptWhenSound();
    void failedCreationRemovesTheFile();
    void notADatabaseGoesAsideWithItsLogs();
    void truncatedOrTablelessFileGoesAside();
    void damagedPageAfterCleanEndIsFoundInTheBackground();
    void damagedPageAfterUncleanEndIsFoundAtLogin();
    void asideNamesNeverCollide();
};

void TestMsgDb::createdOnceAndKeptWhenSound() {
    QVERIFY(Login());
    QVERIFY(FreshFile());
    QCOMPARE(SqlExec::SelectInt(
                 "SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"),
             MsgDbSchema::IndexStatements().size());

    // The next login: no second row, nothing reset, nothing set aside.
    SqlExec::Update("UPDATE max_ids SET max_belllog_id = 7");
    QVERIFY(SqlExec::Insert("INSERT INTO message_all (content) VALUES ('kept')") > 0);
    QVERIFY(Login());
    QCOMPARE(SqlExec::SelectInt("SELECT COUNT(*) FROM max_ids"), 1);
    QCOMPARE(SqlExec::SelectInt("SELECT max_belllog_id FROM max_ids"), 7);
    QCOMPARE(Rows(), 1);
    QVERIFY(Account::TakeDamagedDb().isEmpty());
    QVERIFY(Aside().isEmpty());

    // The user's other unit has a file of its own.
    QVERIFY(Login("1002"));
    QVERIFY(QFileInfo::exists(DbPath("1002")));
    QCOMPARE(SqlExec::SelectInt("SELECT max_belllog_id FROM max_ids"), 0);
    QVERIFY(Login());
    QCOMPARE(SqlExec::SelectInt("SELECT max_belllog_id FROM max_ids"), 7);
}

void TestMsgDb::failedCreationRemovesTheFile() {
    QVERIFY(account_env::SaveUser("teacher", {{"Unit_ID", "1003"}}));
    const QString path = DbPath("1003");
    // Journal files that cannot be created make the first write fail.
    for (const char* log : {"-journal", "-wal"})
        QDir().mkpath(path + log);
    QVERIFY(!Account::InitDB());
    QVERIFY(!QFileInfo(path).isFile());
    for (const char* log : {"-journal", "-wal"})
        QDir(path + log).removeRecursively();
    QVERIFY(Account::InitDB());  // the next login tries again
    QCOMPARE(SqlExec::SelectInt("SELECT COUNT(*) FROM max_ids"), 1);
}

void TestMsgDb::notADatabaseGoesAsideWithItsLogs() {
    QVERIFY(Login());
    ConnectionPool::Instance()->CloseConnection();
    const QByteArray garbage = QByteArray("this is no database ").repeated(300);
    Write(DbPath(), garbage);
    Write(DbPath() + "-wal", "log bytes");
    Write(DbPath() + "-shm", "index bytes");

    QVERIFY(Login());
    const QString aside = Account::TakeDamagedDb();
    QCOMPARE(QFileInfo(aside).path(), UnitFolder());
    QVERIFY(QFileInfo(aside).fileName().startsWith("msg-damaged-"));
    QCOMPARE(Read(aside), garbage);
    // Looked at read only: the log goes along untouched (the -shm index is SQLite's to rebuild).
    QCOMPARE(Read(aside + "-wal"), QByteArray("log bytes"));
    QVERIFY(QFileInfo::exists(aside + "-shm"));
    QVERIFY(FreshFile());
    QVERIFY(Account::TakeDamagedDb().isEmpty());  // told once

    // The new file is sound at the next login; the copy stays.
    QVERIFY(Login());
    QVERIFY(Account::TakeDamagedDb().isEmpty());
    QCOMPARE(Aside().size(), 3);
}

void TestMsgDb::truncatedOrTablelessFileGoesAside() {
    const qint64 full = BigFile();
    QVERIFY(full > 500000);
    QVERIFY(QFile(DbPath()).resize(full / 2));
    QVERIFY(Login());
    const QString truncated = Account::TakeDamagedDb();
    QVERIFY(!truncated.isEmpty());
    QCOMPARE(QFileInfo(truncated).size(), full / 2);
    QVERIFY(FreshFile());

    QVERIFY(SqlExec::Update("DROP TABLE num_update;"));
    QVERIFY(Login());
    QVERIFY(!Account::TakeDamagedDb().isEmpty());
    QVERIFY(FreshFile());
    QVERIFY(SqlExec::Insert("INSERT INTO num_update (remind_id, num) VALUES (1, 2)") > 0);
}

void TestMsgDb::damagedPageAfterCleanEndIsFoundInTheBackground() {
    const qint64 size = DamagedPageAfterCleanEnd();
    QVERIFY(size > 500000);
    // The header and the tables are sound: the login keeps the file without reading it whole.
    QVERIFY(Login());
    QVERIFY(Account::TakeDamagedDb().isEmpty());
    QVERIFY(!Account::MsgDbReadWhole());
    QCOMPARE(BackgroundCheck(), int(MsgDbCheck::State::kDamaged));
    QVERIFY(QFileInfo::exists(MsgDbCheck::DamageMark(DbPath())));

    // The next login reads it whole and sets it aside; the mark goes with it.
    QVERIFY(Login());
    QVERIFY(Account::MsgDbReadWhole());
    const QString aside = Account::TakeDamagedDb();
    QVERIFY(!aside.isEmpty());
    QCOMPARE(QFileInfo(aside).size(), size);
    QVERIFY(!QFileInfo::exists(MsgDbCheck::DamageMark(DbPath())));
    QVERIFY(FreshFile());

    // A fresh file checked in the background stays unmarked.
    QCOMPARE(BackgroundCheck(), int(MsgDbCheck::State::kHealthy));
    QVERIFY(!QFileInfo::exists(MsgDbCheck::DamageMark(DbPath())));
}

void TestMsgDb::damagedPageAfterUncleanEndIsFoundAtLogin() {
    QVERIFY(DamagedPageAfterCleanEnd() > 500000);
    // A session that ended without closing its connection leaves its log behind.
    Write(DbPath() + "-wal", QByteArray());
    QVERIFY(Login());
    QVERIFY(Account::MsgDbReadWhole());
    QVERIFY(!Account::TakeDamagedDb().isEmpty());
    QVERIFY(FreshFile());
}

void TestMsgDb::asideNamesNeverCollide() {
    QVERIFY(Login());
    const QDateTime when(QDate(2024, 5, 6), QTime(8, 9, 10));
    const QString first = MsgDbCheck::AsideName(DbPath(), when);
    QCOMPARE(QFileInfo(first).fileName(), QString("msg-damaged-20240506-080910.db"));
    Write(first, "x");
    QCOMPARE(QFileInfo(MsgDbCheck::AsideName(DbPath(), when)).fileName(),
             QString("msg-damaged-20240506-080910-2.db"));
}

CORAL_TEST_GUILESS_MAIN(TestMsgDb)
#include "tst_msgdb.moc"
