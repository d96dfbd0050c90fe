#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

#include "app/Application.h"
#include "app/Instance.h"
#include "app/Launcher.h"
#include "base/Account.h"
#include "base/AppInfo.h"
#include "platform/AutostartXdg.h"
#include "tests/support/TestHome.h"

// Builds its own Application, as the program does, so it has no QTEST_MAIN.
class TestStartup : public QObject {
    Q_OBJECT
public:
    explicit TestStartup(Application* app) : app_(app) {}

private slots:
    void foldersAndAutostartEntry();
    void firstStartIsQueued();

private:
    Application* app_;
};

void TestStartup::foldersAndAutostartEntry() {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    Launcher::SetupPaths();
    QCOMPARE(AppInfo::AppPath(), dir.path() + "/");
    QCOMPARE(AppInfo::ToolsPath(), dir.path() + "/tools/");
    QCOMPARE(AppInfo::TmpPath(), dir.path() + "/tmp/");

    QFile entry(AutostartXdg::EntryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
    QVERIFY(text.contains(
        QStringLiteral("Exec=\"%1\"\n").arg(QCoreApplication::applicationFilePath())));
    QVERIFY(text.contains(QStringLiteral("Path=%1/\n").arg(dir.path())));
}

void TestStartup::firstStartIsQueued() {
    Launcher::QueueFirstStart(*app_);
    QVERIFY(!app_->CurrentInstance());
    QVERIFY(QTest::qWaitFor([this] { return app_->CurrentInstance() != nullptr; }, 2000));
    QCOMPARE(Instance::Current(), app_->CurrentInstance());
    QVERIFY(QFileInfo(Account::UpdatePath()).isDir());
    QVERIFY(!Account::DeviceId().isEmpty());
    app_->OnAboutToQuit();
    QVERIFY(!Instance::Current());
}

int main(int argc, char** argv) {
    TestHome home;
    QCoreApplication::setApplicationName("Coralbridge");
    Application app(argc, argv);
    TestStartup test(&app);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
