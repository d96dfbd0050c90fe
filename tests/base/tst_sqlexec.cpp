#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "base/ConnectionPool.h"
#include "base/SqlExec.h"
#include "tests/support/TestMain.h"

namespace {

void UseDatabase(const QString& path) {
    ConnectionPool::Instance()->SetupDBConfig([&path](DB_CFG* cfg) {
        cfg->database_name = path;
        cfg->database_type = "QSQLITE";
    });
}

}  // namespace

class TestSqlExec : public QObject {
    Q_OBJECT
private slots:
    // The pool is process-wide and cannot be un-configured: its first state is tested before
    // any function configures it.
    void initTestCase();
    void init();
    void resultsAndErrors();
    void connectionPerThreadAndRemoval();
    void reconfiguredDatabaseAndTransactions();

private:
    QTemporaryDir dir_;
};

void TestSqlExec::initTestCase() {
    for (int i = 0; i < 3; ++i)
        QTest::ignoreMessage(
            QtDebugMsg,
            "ConnectionPool config has not been inited: call ConnectionPool::SetupDBConfig");
    QCOMPARE(SqlExec::Insert("SELECT 1"), -1);
    QVERIFY(!SqlExec::Update("SELECT 1"));
    QVERIFY(SqlExec::SelectRows("SELECT 1").isEmpty());
}

// Every function gets a database of its own with a table t of two rows.
void TestSqlExec::init() {
    UseDatabase(dir_.filePath(QStringLiteral("%1.db").arg(QTest::currentTestFunction())));
    QCOMPARE(
        SqlExec::Insert("CREATE TABLE t(id integer primary key autoincrement, v text, n integer);"),
        0);
    QCOMPARE(SqlExec::Insert("INSERT INTO t (v, n) VALUES (:v, :n)", {{"v", "x"}, {"n", 3}}), 1);
    QCOMPARE(SqlExec::Insert("INSERT INTO t (v, n) VALUES (:v, :n)", {{"v", "y"}, {"n", 4}}), 2);
}

void TestSqlExec::resultsAndErrors() {
    QCOMPARE(SqlExec::Insert("INSERT INTO missing VALUES (1)"), -1);
    QVERIFY(SqlExec::Update("UPDATE t SET n = n + 1 WHERE v = :v", {{"v", "x"}}));
    QVERIFY(!SqlExec::Update("UPDATE nowhere SET a = 1"));

    QCOMPARE(SqlExec::SelectInt("SELECT n FROM t WHERE v = :v", {{"v", "x"}}), 4);
    QCOMPARE(SqlExec::SelectString("SELECT v FROM t ORDER BY id DESC"), QString("y"));
    QVERIFY(!SqlExec::SelectValue("SELECT v FROM t WHERE id = 99").isValid());
    const QList<QVariantMap> rows = SqlExec::SelectRows("SELECT * FROM t ORDER BY id");
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1].value("v").toString(), QString("y"));
    QCOMPARE(rows[1].keys(), (QStringList{"id", "n", "v"}));
    QCOMPARE(SqlExec::SelectRow("SELECT * FROM t WHERE id = 2").value("n").toInt(), 4);
    QVERIFY(SqlExec::SelectRow("SELECT * FROM t WHERE id = 3").isEmpty());

    // Text is bound, not spliced into the statement.
    const QString nasty = QStringLiteral("it's \"quoted\"; DROP TABLE t; --你好");
    QVERIFY(SqlExec::Insert("INSERT INTO t (v, n) VALUES (:v, 0)", {{"v", nasty}}) > 0);
    QCOMPARE(SqlExec::SelectString("SELECT v FROM t WHERE v = :v", {{"v", nasty}}), nasty);
}

void TestSqlExec::connectionPerThreadAndRemoval() {
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
    QVERIFY(!QSqlDatabase::contains(worker_name));  // dropped when the thread finished
    delete thread;
}

void TestSqlExec::reconfiguredDatabaseAndTransactions() {
    UseDatabase(dir_.filePath("first.db"));
    SqlExec::Insert("CREATE TABLE who(name text);");
    SqlExec::Insert("INSERT INTO who VALUES ('first')");
    UseDatabase(dir_.filePath("second.db"));
    QVERIFY(!SqlExec::SelectValue("SELECT name FROM who").isValid());
    SqlExec::Insert("CREATE TABLE who(name text);");
    SqlExec::Insert("INSERT INTO who VALUES ('second')");
    QCOMPARE(SqlExec::SelectString("SELECT name FROM who"), QString("second"));
    UseDatabase(dir_.filePath("first.db"));
    QCOMPARE(SqlExec::SelectString("SELECT name FROM who"), QString("first"));

    SqlExec::Insert("CREATE TABLE n(v integer);");
    QVERIFY(SqlExec::Begin());
    SqlExec::Insert("INSERT INTO n VALUES (1)");
    QVERIFY(SqlExec::Rollback());
    QVERIFY(SqlExec::Begin());
    SqlExec::Insert("INSERT INTO n VALUES (2)");
    QVERIFY(SqlExec::Commit());
    QCOMPARE(SqlExec::SelectInt("SELECT SUM(v) FROM n"), 2);
}

CORAL_TEST_GUILESS_MAIN(TestSqlExec)
#include "tst_sqlexec.moc"
