#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TestMain.h"

// Every test program isolates its own home. Run by hand, with HOME and the XDG folders pointing
// at a user's real files, the programs that write settings, msg.db and the autostart entry must
// leave that home untouched.
class TestIsolation : public QObject {
    Q_OBJECT
private slots:
    void programsLeaveTheCallersHomeAlone_data();
    void programsLeaveTheCallersHomeAlone();
};

void TestIsolation::programsLeaveTheCallersHomeAlone_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("account") << "base_tst_account";
    QTest::newRow("schema") << "base_tst_schema";
    QTest::newRow("startup") << "gui_tst_startup";
    QTest::newRow("login") << "gui_tst_login";
}

void TestIsolation::programsLeaveTheCallersHomeAlone() {
    QFETCH(QString, program);
    const QString path = QCoreApplication::applicationDirPath() + "/" + program;
    QVERIFY2(QFileInfo(path).isExecutable(), qPrintable(path + " is not built"));

    QTemporaryDir users_home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", users_home.path());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                             "XDG_RUNTIME_DIR"})
        env.remove(name);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(path, {"-silent"});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    QStringList written;
    QDirIterator it(users_home.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        written << it.next();
    QVERIFY2(written.isEmpty(), qPrintable(written.join(", ")));
}

CORAL_TEST_GUILESS_MAIN(TestIsolation)
#include "tst_isolation.moc"
