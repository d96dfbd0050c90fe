#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/AutostartXdg.h"
#include "tests/support/TestMain.h"

// Where the autostart entry points, installed and in a build folder, and the launcher that
// `cmake --install` puts into the bin folder.
class TestAutostart : public QObject {
    Q_OBJECT
private slots:
    void installedProgramStartsThroughLauncher();
    void launcherEntersTheProgramFolder();
    void entryQuotesItsPaths();
};

namespace {

bool WriteProgram(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text);
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace

void TestAutostart::installedProgramStartsThroughLauncher() {
    QTemporaryDir prefix;
    const QString app_folder = prefix.path() + "/lib/coralbridge/";
    QVERIFY(QDir().mkpath(app_folder));
    // A build folder: nothing beside the program.
    QCOMPARE(AutostartXdg::Program(app_folder), QCoreApplication::applicationFilePath());

    const QString launcher = prefix.path() + "/bin/coralbridge";
    QVERIFY(WriteProgram(launcher, "#!/bin/sh\n"));
    QCOMPARE(AutostartXdg::Program(app_folder), QFileInfo(launcher).canonicalFilePath());

    // A file of that name that cannot run is no launcher.
    QFile(launcher).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(AutostartXdg::Program(app_folder), QCoreApplication::applicationFilePath());
}

void TestAutostart::launcherEntersTheProgramFolder() {
    QFile script(QStringLiteral(CORAL_LAUNCHER_SCRIPT));
    QVERIFY(script.open(QIODevice::ReadOnly));
    QTemporaryDir prefix;
    const QString launcher = prefix.path() + "/bin/coralbridge";
    QVERIFY(WriteProgram(launcher, script.readAll()));
    QVERIFY(WriteProgram(prefix.path() + "/lib/coralbridge/osprey",
                         "#!/bin/sh\npwd -P\necho \"$#:$1\"\n"));
    // Started through a link from elsewhere, as a menu or a user's own link may do.
    QVERIFY(QDir().mkpath(prefix.path() + "/elsewhere"));
    QVERIFY(QFile::link(launcher, prefix.path() + "/elsewhere/cb"));

    QProcess process;
    process.setWorkingDirectory(QDir::tempPath());
    process.start(prefix.path() + "/elsewhere/cb", {"two words"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
    QCOMPARE(lines.value(0), QFileInfo(prefix.path() + "/lib/coralbridge").canonicalFilePath());
    QCOMPARE(lines.value(1), QStringLiteral("1:two words"));
}

void TestAutostart::entryQuotesItsPaths() {
    const QString text = QString::fromUtf8(
        AutostartXdg::EntryText("/opt/a b/$x\"y%z\\w`/osprey", "/opt/a b/$x\"y%z\\w`/"));
    QVERIFY(text.contains("\nExec=\"/opt/a b/\\\\$x\\\\\"y%%z\\\\\\\\w\\\\`/osprey\"\n"));
    QVERIFY(text.contains("\nPath=/opt/a b/$x\"y%z\\\\w`/\n"));
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
}

CORAL_TEST_MAIN(TestAutostart)

#include "tst_autostart.moc"
