// A msg.db that cannot be used is moved aside at login with its log files, never deleted, and
// a new one is made; a sound file is used as it is.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

#include "base/Account.h"
#include "base/BackgroundDbCheck.h"
#include "base/ConnectionPool.h"
#include "base/MsgDbCheck.h"
#include "base/SqlExec.h"
#include "tests/support/TestMain.h"

namespace {

QString UnitFolder() {
    return Account::DataRoot() + QStringLiteral("/account/teacher/7");
}
QString DbPath() {
    return UnitFolder() + QStringLiteral("/msg.db");
}

// Signs in as the same user again, as the application does at every login.
bool Login() {
    ConnectionPool::Instance()->CloseConnection();
    Account::ResetState();
    Account::SetupDataRoot();
    AccountMap& account = Account::GetAccountInfo("teacher");
    account = {{"usr_id", "teacher"}, {"User_ID", "1001"}, {"Unit_ID", "7"}};
    Account::SaveAccountInfo("teacher");
    Account::SetCurUserId("teacher");
    return Account::InitDB();
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

void FillMessages(int count) {
    SqlExec::Begin();
    for (int i = 0; i < count; ++i) {
        SqlExec::Insert("INSERT INTO message_all (content, message_id) VALUES (:c, :id)",
                        {{"c", QString(400, QChar('a' + i % 26))}, {"id", i + 1}});
    }
    SqlExec::Commit();
}

// A file closed cleanly, with garbage over one page of its messages half way in.
qint64 DamagedPageAfterCleanEnd() {
    if (!Login())
        return -1;
    FillMessages(2000);
    SqlExec::SelectValue("PRAGMA wal_checkpoint(TRUNCATE);");
    ConnectionPool::Instance()->CloseConnection();
    QFile file(DbPath());
    if (!file.open(QIODevice::ReadWrite))
        return -1;
    const qint64 size = file.size();
    file.seek(size / 2 / 4096 * 4096);
    file.write(QByteArray(4096, '\x5a'));
    return size;
}

}  // namespace

class TestDamagedMsgDb : public QObject {
    Q_OBJECT
private slots:
    void init();

    void notADatabaseGoesAsideWithItsLogs();
    void truncatedOrTablelessFileGoesAside();
    void soundFileIsKept();
    void damagedPageAfterCleanEndIsFoundInTheBackground();
    void damagedPageAfterUncleanEndIsFoundAtLogin();
    void asideNamesNeverCollide();
};

void TestDamagedMsgDb::init() {
    QCoreApplication::setApplicationName("Coralbridge");
    ConnectionPool::Instance()->CloseConnection();
    Account::ResetState();
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
}

void TestDamagedMsgDb::notADatabaseGoesAsideWithItsLogs() {
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
    // Told once.
    QVERIFY(Account::TakeDamagedDb().isEmpty());

    // The new file is sound at the next login; the copy stays.
    QVERIFY(Login());
    QVERIFY(Account::TakeDamagedDb().isEmpty());
    QCOMPARE(Aside().size(), 3);
}

void TestDamagedMsgDb::truncatedOrTablelessFileGoesAside() {
    QVERIFY(Login());
    FillMessages(2000);
    SqlExec::SelectValue("PRAGMA wal_checkpoint(TRUNCATE);");
    ConnectionPool::Instance()->CloseConnection();
    QFile file(DbPath());
    const qint64 full = file.size();
    QVERIFY(full > 500000);
    QVERIFY(file.resize(full / 2));

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

void TestDamagedMsgDb::soundFileIsKept() {
    QVERIFY(Login());
    FillMessages(3);
    QVERIFY(Login());
    QCOMPARE(Rows(), 3);
    QVERIFY(Account::TakeDamagedDb().isEmpty());
    QVERIFY(Aside().isEmpty());
}

void TestDamagedMsgDb::damagedPageAfterCleanEndIsFoundInTheBackground() {
    const qint64 size = DamagedPageAfterCleanEnd();
    QVERIFY(size > 500000);
    // The header and the tables are sound: the login keeps the file without reading it whole.
    QVERIFY(Login());
    QVERIFY(Account::TakeDamagedDb().isEmpty());
    QVERIFY(!Account::MsgDbReadWhole());

    BackgroundDbCheck check(DbPath());
    QSignalSpy checked(&check, &BackgroundDbCheck::checked);
    check.Start(0);
    QVERIFY(checked.wait(20000));
    QCOMPARE(checked.at(0).at(0).toInt(), int(MsgDbCheck::State::kDamaged));
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
    BackgroundDbCheck again(DbPath());
    QSignalSpy sound(&again, &BackgroundDbCheck::checked);
    again.Start(0);
    QVERIFY(sound.wait(20000));
    QCOMPARE(sound.at(0).at(0).toInt(), int(MsgDbCheck::State::kHealthy));
    QVERIFY(!QFileInfo::exists(MsgDbCheck::DamageMark(DbPath())));
}

void TestDamagedMsgDb::damagedPageAfterUncleanEndIsFoundAtLogin() {
    QVERIFY(DamagedPageAfterCleanEnd() > 500000);
    // A session that ended without closing its connection leaves its log behind.
    Write(DbPath() + "-wal", QByteArray());
    QVERIFY(Login());
    QVERIFY(Account::MsgDbReadWhole());
    QVERIFY(!Account::TakeDamagedDb().isEmpty());
    QVERIFY(FreshFile());
}

void TestDamagedMsgDb::asideNamesNeverCollide() {
    QVERIFY(Login());
    const QDateTime when(QDate(2024, 5, 6), QTime(8, 9, 10));
    const QString first = MsgDbCheck::AsideName(DbPath(), when);
    QCOMPARE(QFileInfo(first).fileName(), QString("msg-damaged-20240506-080910.db"));
    Write(first, "x");
    const QString second = MsgDbCheck::AsideName(DbPath(), when);
    QCOMPARE(QFileInfo(second).fileName(), QString("msg-damaged-20240506-080910-2.db"));
}

CORAL_TEST_GUILESS_MAIN(TestDamagedMsgDb)
#include "tst_damaged_msgdb.moc"
