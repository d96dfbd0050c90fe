// msg.db at login: made once per user and unit with its tables, kept when sound, and when it
// cannot be used moved aside with its log files, never deleted, for a new one. The statements
// under it: errors and a connection per thread.

#include <QSqlDatabase>
#include <QtTest>

#include "base/BackgroundDbCheck.h"
#include "base/ConnectionPool.h"
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

// A database of its own with a table t of two rows.
bool UseTable(const QString& path) {
    ConnectionPool::Instance()->SetupDBConfig([&path](DB_CFG* cfg) {
        cfg->database_name = path;
        cfg->database_type = "QSQLITE";
    });
    return SqlExec::Insert(
               "CREATE TABLE t(id integer primary key autoincrement, v text, n integer);") == 0 &&
           SqlExec::Insert("INSERT INTO t (v, n) VALUES (:v, :n)", {{"v", "x"}, {"n", 3}}) == 1 &&
           SqlExec::Insert("INSERT INTO t (v, n) VALUES (:v, :n)", {{"v", "y"}, {"n", 4}}) == 2;
}

}  // namespace

class TestMsgDb : public QObject {
    Q_OBJECT
private slots:
    // The pool is process-wide and cannot be un-configured: its first state is tested before
    // any function configures it.
    void initTestCase() {
        QCOMPARE(SqlExec::Insert("SELECT 1"), -1);
        QVERIFY(!SqlExec::Update("SELECT 1"));
        QVERIFY(SqlExec::SelectRows("SELECT 1").isEmpty());
    }
    void init() { account_env::Reset(); }

    void createdOnceKeptWhenSoundRemovedWhenItFails();
    void notADatabaseGoesAsideWithItsLogs();
    void truncatedOrTablelessFileGoesAside();
    void damagedPageIsFoundInTheBackgroundOrAtLogin();
    void asideNamesNeverCollide();
    void sqlErrorsBindingAndThreads();

private:
    QTemporaryDir dir_;
};

void TestMsgDb::createdOnceKeptWhenSoundRemovedWhenItFails() {
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

    // Journal files that cannot be created make the first write fail: no file is left, and the
    // next login tries again.
    QVERIFY(account_env::SaveUser("teacher", {{"Unit_ID", "1003"}}));
    const QString path = DbPath("1003");
    for (const char* log : {"-journal", "-wal"})
        QDir().mkpath(path + log);
    QVERIFY(!Account::InitDB());
    QVERIFY(!QFileInfo(path).isFile());
    for (const char* log : {"-journal", "-wal"})
        QDir(path + log).removeRecursively();
    QVERIFY(Account::InitDB());
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

void TestMsgDb::damagedPageIsFoundInTheBackgroundOrAtLogin() {
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

    // A session that ended without closing its connection leaves its log behind: that login
    // reads the file whole at once.
    QVERIFY(DamagedPageAfterCleanEnd() > 500000);
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

// Rollback and commit: the parser's failing statements (tst_msgparse).
void TestMsgDb::sqlErrorsBindingAndThreads() {
    QVERIFY(UseTable(dir_.filePath("results.db")));
    QCOMPARE(SqlExec::Insert("INSERT INTO missing VALUES (1)"), -1);
    QVERIFY(SqlExec::Update("UPDATE t SET n = n + 1 WHERE v = :v", {{"v", "x"}}));
    QVERIFY(!SqlExec::Update("UPDATE nowhere SET a = 1"));
    QCOMPARE(SqlExec::SelectInt("SELECT n FROM t WHERE v = :v", {{"v", "x"}}), 4);
    QVERIFY(!SqlExec::SelectValue("SELECT v FROM t WHERE id = 99").isValid());
    QVERIFY(SqlExec::SelectRow("SELECT * FROM t WHERE id = 3").isEmpty());

    // Every thread has a connection of its own, dropped when the thread finishes.
    const QString gui_name = ConnectionPool::ConnectionName();
    QVERIFY(QSqlDatabase::contains(gui_name));
    QString worker_name;
    int worker_rows = -1;
    QThread* thread = QThread::create([&] {
        worker_rows = SqlExec::SelectRows("SELECT * FROM t").size();
        worker_name = ConnectionPool::ConnectionName();
        QVERIFY(QSqlDatabase::contains(worker_name));
    });
    thread->start();
    QVERIFY(thread->wait(5000));
    QCOMPARE(worker_rows, 2);
    QVERIFY(worker_name.startsWith("conn_"));
    QVERIFY(worker_name != gui_name);
    QVERIFY(!QSqlDatabase::contains(worker_name));
    delete thread;
}

CORAL_TEST_GUILESS_MAIN(TestMsgDb)
#include "tst_msgdb.moc"
