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
    QTest::addColumn<QStringList>("functions");  // empty: all of them
    QTest::newRow("account") << "base_tst_account" << QStringList();
    QTest::newRow("msg.db") << "base_tst_msgdb" << QStringList();
    QTest::newRow("attachments") << "engine_tst_attachments" << QStringList();
    QTest::newRow("startup") << "gui_tst_autostart"
                             << QStringList{"foldersAndAutostartEntry", "firstStartIsQueued"};
    QTest::newRow("update gate") << "gui_tst_update"
                                 << QStringList{"acceptedInstallerEndsTheStart",
                                                "otherwiseTheLoginComes"};
    QTest::newRow("single instance") << "gui_tst_single_instance" << QStringList();
    QTest::newRow("login") << "gui_tst_login" << QStringList();
    QTest::newRow("main window") << "gui_tst_app_flow"
                                 << QStringList{"loginShowsMainWindowAndTray",
                                                "storageFailureLeadsBackToLogin"};
}

void TestIsolation::programsLeaveTheCallersHomeAlone() {
    QFETCH(QString, program);
    QFETCH(QStringList, functions);
    const QString path = QCoreApplication::applicationDirPath() + "/" + program;
    QVERIFY2(QFileInfo(path).isExecutable(), qPrintable(path + " is not built"));

    QTemporaryDir users_home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", users_home.path());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                             "XDG_RUNTIME_DIR"})
        env.remove(name);
    // Under a sanitizer build, leaks are reported when a program runs by itself; here only its
    // files count.
    env.insert("LSAN_OPTIONS", env.value("LSAN_OPTIONS") + ":exitcode=0");
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path, QStringList{"-silent"} + functions);
    const bool finished = process.waitForFinished(120000);
    // What the program said last, for a run that went wrong.
    const QByteArray said = process.readAll().right(4000);
    QVERIFY2(finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             said.constData());

    QStringList written;
    QDirIterator it(users_home.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        written << it.next();
    QVERIFY2(written.isEmpty(), qPrintable(written.join(", ")));
}

CORAL_TEST_GUILESS_MAIN(TestIsolation)
#include "tst_isolation.moc"
