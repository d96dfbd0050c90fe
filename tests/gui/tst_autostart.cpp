#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Application.h"
#include "app/Instance.h"
#include "app/Launcher.h"
#include "base/Account.h"
#include "base/AppInfo.h"
#include "platform/AutostartXdg.h"
#include "tests/support/TestHome.h"

// The start of the program: its folders, the autostart entry it writes and where that entry
// points, installed and in a build folder, and the launcher that `cmake --install` puts into the
// bin folder. Builds its own Application, as the program does, so it has no CORAL_TEST_MAIN.
class TestAutostart : public QObject {
    Q_OBJECT
public:
    explicit TestAutostart(Application* app) : app_(app) {}

private slots:
    void foldersAndAutostartEntry();
    void firstStartIsQueued();
    void installedProgramStartsThroughLauncher();

private:
    Application* app_;
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

void TestAutostart::foldersAndAutostartEntry() {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    Launcher::SetupPaths();
    QCOMPARE(AppInfo::AppPath(), dir.path() + "/");

    QFile entry(AutostartXdg::EntryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
    QVERIFY(text.contains(
        QStringLiteral("Exec=\"%1\"\n").arg(QCoreApplication::applicationFilePath())));
    QVERIFY(text.contains(QStringLiteral("Path=%1/\n").arg(dir.path())));

    // Quoted for the desktop: the entry's own escapes, then the Exec key's.
    const QString odd = QString::fromUtf8(
        AutostartXdg::EntryText("/opt/a b/$x\"y%z\\w`/osprey", "/opt/a b/$x\"y%z\\w`/"));
    QVERIFY(odd.contains("\nExec=\"/opt/a b/\\\\$x\\\\\"y%%z\\\\\\\\w\\\\`/osprey\"\n"));
    QVERIFY(odd.contains("\nPath=/opt/a b/$x\"y%z\\\\w`/\n"));
}

void TestAutostart::firstStartIsQueued() {
    Launcher::QueueFirstStart(*app_);
    QVERIFY(!app_->CurrentInstance());
    QVERIFY(QTest::qWaitFor([this] { return app_->CurrentInstance() != nullptr; }, 2000));
    QCOMPARE(Instance::Current(), app_->CurrentInstance());
    QVERIFY(QFileInfo(Account::UpdatePath()).isDir());
    QVERIFY(!Account::DeviceId().isEmpty());
    app_->OnAboutToQuit();
    QVERIFY(!Instance::Current());
}

// Installed, the entry starts the launcher beside the program's folder, which enters that folder.
void TestAutostart::installedProgramStartsThroughLauncher() {
    QTemporaryDir prefix;
    const QString app_folder = prefix.path() + "/lib/coralbridge/";
    QVERIFY(QDir().mkpath(app_folder));
    // A build folder: nothing beside the program.
    QCOMPARE(AutostartXdg::Program(app_folder), QCoreApplication::applicationFilePath());

    QFile script(QStringLiteral(CORAL_LAUNCHER_SCRIPT));
    QVERIFY(script.open(QIODevice::ReadOnly));
    const QString launcher = prefix.path() + "/bin/coralbridge";
    QVERIFY(WriteProgram(launcher, script.readAll()));
    QCOMPARE(AutostartXdg::Program(app_folder), QFileInfo(launcher).canonicalFilePath());
    QVERIFY(WriteProgram(app_folder + "osprey", "#!/bin/sh\npwd -P\necho \"$#:$1\"\n"));
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

    // A file of that name that cannot run is no launcher.
    QFile(launcher).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(AutostartXdg::Program(app_folder), QCoreApplication::applicationFilePath());
}

int main(int argc, char** argv) {
    TestHome home;
    QCoreApplication::setApplicationName("Coralbridge");
    Application app(argc, argv);
    TestAutostart test(&app);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_autostart.moc"
