#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include "GuiTestUtil.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

#include "app/Instance.h"
#include "base/Account.h"
#include "base/AppInfo.h"
#include "base/Json.h"
#include "base/UpdateFiles.h"
#include "engine/UpdateDownload.h"
#include "login/Login.h"

using namespace gui_test;

// Both halves of the update: the download while the main window runs, the offer at the next
// start, where an accepted installer ends the start before any window.
class TestUpdate : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void versionsCompareNumerically();
    void downloadKeepsOnlyAWholeNewerInstaller();
    void acceptedInstallerEndsTheStart();
    void otherwiseTheLoginComes_data();
    void otherwiseTheLoginComes();

private:
    // One download cycle on a thread of its own, as the main window runs it.
    bool RunCycle();
    void WriteUpdateFiles(const QString& version, const QByteArray& installer = "installer");
    QStringList UpdateFolder() const;

    std::unique_ptr<SimServer> sim_;
    std::unique_ptr<QTemporaryDir> app_dir_;
};

namespace {

void Write(const QString& path, const QByteArray& data) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

const QString kOffer = QStringLiteral("提示|更新到最新版本?");

QList<Login*> VisibleLogins() {
    QList<Login*> logins;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* login = qobject_cast<Login*>(widget); login && login->isVisible())
            logins.append(login);
    }
    return logins;
}

// A vendor host that answers the version check and then cuts the installer off halfway.
class HalfwayVendor : public QTcpServer {
public:
    HalfwayVendor() {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket] { Answer(socket); });
        });
    }

private:
    static void Answer(QTcpSocket* socket) {
        const QByteArray request = socket->readAll();
        if (request.contains("Version_GetLast")) {
            const QByteArray body = R"({"Velta":{"EID":"0","V":{"No":"2.0.19","Url":"s.exe"}}})";
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
            return;
        }
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + QByteArray(500, 'x'));
        socket->flush();
        socket->disconnectFromHost();
    }
};

}  // namespace

void TestUpdate::init() {
    ResetApp();
    sim_ = std::make_unique<SimServer>();
    QVERIFY(sim_->IsRunning());
    AppInfo::SetVendorHost(sim_->VendorHost());
    app_dir_ = std::make_unique<QTemporaryDir>();
    AppInfo::SetAppPath(app_dir_->path() + QLatin1Char('/'));
    QDir().mkpath(AppInfo::ToolsPath());
    Account::SetupUpdatePath();
    QDir(Account::UpdatePath()).removeRecursively();
    QDir().mkpath(Account::UpdatePath());
}

void TestUpdate::cleanup() {
    qDeleteAll(VisibleLogins());
    sim_.reset();
    app_dir_.reset();
}

bool TestUpdate::RunCycle() {
    auto* download = new UpdateDownload;
    QThread thread;
    QObject::connect(&thread, &QThread::started, download, &UpdateDownload::OnStart);
    QObject::connect(&thread, &QThread::finished, download, &QObject::deleteLater);
    QueuedSpy finished(download, &UpdateDownload::cycle_finished);
    download->moveToThread(&thread);
    thread.start();
    const bool ended = finished.wait(10000);
    thread.quit();
    thread.wait();
    return ended && finished.first().at(0).toBool();
}

void TestUpdate::WriteUpdateFiles(const QString& version, const QByteArray& installer) {
    Write(UpdateFiles::InstallerPath(), installer);
    Write(UpdateFiles::ReplyPath(),
          QStringLiteral(R"({"Velta":{"EID":"0","V":{"No":"%1","Url":"x.exe"}}})")
              .arg(version)
              .toUtf8());
}

QStringList TestUpdate::UpdateFolder() const {
    return QDir(Account::UpdatePath()).entryList(QDir::Files | QDir::Hidden);
}

void TestUpdate::versionsCompareNumerically() {
    // "2.0.9" against the running 2.0.18: otherwiseTheLoginComes.
    const QList<QPair<QString, bool>> latest = {
        {"2.0.100", true}, {"2.0.18.0", false}, {"abc", false}, {"2.0.19-beta", false}};
    for (const auto& [version, newer] : latest)
        QVERIFY2(UpdateFiles::IsNewer(version, QStringLiteral("2.0.18")) == newer,
                 qPrintable(version));
}

// Each cycle first clears what an earlier one left, and keeps only a whole, newer installer.
void TestUpdate::downloadKeepsOnlyAWholeNewerInstaller() {
    // The demo publishes the running version.
    WriteUpdateFiles("2.0.17", "old");
    Write(UpdateFiles::MarkerPath(), "");
    QVERIFY(!RunCycle());
    QVERIFY(UpdateFolder().isEmpty());
    // The administrator's marker is not ours to remove.
    QVERIFY(QFile::remove(UpdateFiles::MarkerPath()));

    const QByteArray installer = "#!/bin/sh\necho new version\n" + QByteArray(70000, '\0');
    QVERIFY(sim_->Publish("2.0.19", "coralbridge-2.0.19-setup.exe", installer));
    WriteUpdateFiles("2.0.17", "old");
    QVERIFY(RunCycle());
    QFile downloaded(UpdateFiles::InstallerPath());
    QVERIFY(downloaded.open(QIODevice::ReadOnly));
    QCOMPARE(downloaded.readAll(), installer);
    QCOMPARE(Json(UpdateFiles::ReplyPath(), true).Text("Velta.V.No"), QStringLiteral("2.0.19"));
    QCOMPARE(UpdateFolder(), QStringList({"update.exe", "update.json"}));

    HalfwayVendor vendor;
    AppInfo::SetVendorHost(QStringLiteral("127.0.0.1:%1").arg(vendor.serverPort()));
    QVERIFY(!RunCycle());
    QVERIFY(UpdateFolder().isEmpty());
}

// Written without its executable bit, the installer is made runnable and started.
void TestUpdate::acceptedInstallerEndsTheStart() {
    WriteUpdateFiles("2.0.19", "#!/bin/sh\necho ran > \"$0.ran\"\n");
    ModalAnswerer answerer;
    answerer.PressOnBoxes(QMessageBox::Yes);
    Instance instance;
    QCOMPARE(RunUntilQuit([&instance] { instance.Start(); }), 0);
    QCOMPARE(answerer.Boxes(), QStringList{kOffer});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(UpdateFiles::InstallerPath() + ".ran"), 20000);
    QVERIFY(VisibleLogins().isEmpty());
}

void TestUpdate::otherwiseTheLoginComes_data() {
    QTest::addColumn<QString>("version");  // empty: nothing downloaded
    QTest::addColumn<QByteArray>("installer");
    QTest::addColumn<bool>("marker");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("offered");
    // Where no offer is due, a "yes" would start the installer: the login window would not come.
    const int yes = QMessageBox::Yes;
    const QByteArray script = "#!/bin/sh\n";
    QTest::newRow("no update") << QString() << QByteArray() << false << yes << false;
    QTest::newRow("not newer") << "2.0.9" << script << false << yes << false;
    QTest::newRow("administrator's marker") << "2.0.19" << script << true << yes << false;
    QTest::newRow("declined") << "2.0.19" << script << false << int(QMessageBox::No) << true;
    QTest::newRow("installer cannot start")
        << "2.0.19" << QByteArray("no program") << false << yes << true;
}

void TestUpdate::otherwiseTheLoginComes() {
    QFETCH(QString, version);
    QFETCH(QByteArray, installer);
    QFETCH(bool, marker);
    QFETCH(int, answer);
    QFETCH(bool, offered);
    if (!version.isEmpty())
        WriteUpdateFiles(version, installer);
    if (marker)
        Write(UpdateFiles::MarkerPath(), "");
    const QStringList files = UpdateFolder();
    ModalAnswerer answerer;
    answerer.PressOnBoxes(QMessageBox::StandardButton(answer));
    Instance instance;
    instance.Start();
    QCOMPARE(answerer.Boxes(), offered ? QStringList{kOffer} : QStringList());
    QCOMPARE(VisibleLogins().size(), 1);
    // Kept for the next start.
    QCOMPARE(UpdateFolder(), files);
}

CORAL_TEST_MAIN(TestUpdate)
#include "tst_update.moc"
