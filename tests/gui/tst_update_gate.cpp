// The update gate at start: a downloaded installer newer than the running version is offered;
// accepted, it starts and the program ends; declined or unstartable, the login window comes.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "GuiTestUtil.h"
#include "app/Instance.h"
#include "app/LocalUpdateCheck.h"
#include "base/AppInfo.h"
#include "base/Json.h"
#include "login/Login.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

namespace {

const QString kOffer = QStringLiteral("提示|更新到最新版本?");

QString Installer() {
    return Account::UpdatePath() + QStringLiteral("/update.exe");
}

// The version reply the running copy saved next to its download.
void SaveReply(const QString& version) {
    const QJsonObject velta{{"EID", "0"}, {"V", QJsonObject{{"No", version}, {"Url", "x.exe"}}}};
    Json(QString::fromUtf8(QJsonDocument(QJsonObject{{"Velta", velta}}).toJson()))
        .Save(Account::UpdatePath() + QStringLiteral("/update.json"));
}

// An installer that leaves a mark beside itself when it runs.
bool SaveInstaller(bool runnable) {
    QFile file(Installer());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\necho ran > \"$0.ran\"\n");
    file.close();
    return !runnable || file.setPermissions(file.permissions() | QFile::ExeOwner);
}

QList<Login*> VisibleLogins() {
    QList<Login*> logins;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* login = qobject_cast<Login*>(widget); login && login->isVisible())
            logins.append(login);
    }
    return logins;
}

}  // namespace

class TestUpdateGate : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { qDeleteAll(VisibleLogins()); }
    void offeredOnlyWhenNewer_data();
    void offeredOnlyWhenNewer();
    void acceptedInstallerEndsTheStart();
    void declinedOrUnstartableGoOnToLogin_data();
    void declinedOrUnstartableGoOnToLogin();

private:
    QTemporaryDir app_dir_;
};

void TestUpdateGate::init() {
    // A closing box must not post a quit that a later case's event loop would take.
    QApplication::setQuitOnLastWindowClosed(false);
    ResetAccounts();
    TestHome::Remove(Account::UpdatePath());
    Account::SetupUpdatePath();
    TestHome::Remove(app_dir_.path() + "/tools");
    QVERIFY(QDir().mkpath(app_dir_.path() + "/tools"));
    AppInfo::SetAppPath(app_dir_.path() + "/");
}

void TestUpdateGate::offeredOnlyWhenNewer_data() {
    QTest::addColumn<QString>("version");  // "-": no saved reply
    QTest::addColumn<bool>("installer");
    QTest::addColumn<bool>("never_marker");
    QTest::addColumn<bool>("offered");
    QTest::newRow("nothing downloaded") << "-" << false << false << false;
    QTest::newRow("reply without installer") << "2.0.19" << false << false << false;
    QTest::newRow("installer without reply") << "-" << true << false << false;
    QTest::newRow("older") << "2.0.17" << true << false << false;
    QTest::newRow("the running version") << AppInfo::Version() << true << false << false;
    QTest::newRow("no version") << "" << true << false << false;
    QTest::newRow("newer") << "2.0.19" << true << false << true;
    QTest::newRow("newer, never-update marker") << "2.0.19" << true << true << false;
}

void TestUpdateGate::offeredOnlyWhenNewer() {
    QFETCH(QString, version);
    QFETCH(bool, installer);
    QFETCH(bool, never_marker);
    QFETCH(bool, offered);
    if (version != "-")
        SaveReply(version);
    if (installer)
        QVERIFY(SaveInstaller(true));
    if (never_marker)
        QVERIFY(QFile(AppInfo::ToolsPath() + "nu").open(QIODevice::WriteOnly));

    for (const auto button : {QMessageBox::Yes, QMessageBox::No}) {
        ModalAnswerer answerer;
        answerer.PressOnBoxes(button);
        const QString result = LocalUpdateCheck::Run();
        // The box is modal: had it opened, it was answered before Run returned.
        QCOMPARE(answerer.Boxes(), offered ? QStringList{kOffer} : QStringList());
        if (!offered)
            QCOMPARE(result, QString());
        else if (button == QMessageBox::Yes)
            QCOMPARE(result, Installer());
        else
            QCOMPARE(result, QString(LocalUpdateCheck::kDeclined));
    }
}

void TestUpdateGate::acceptedInstallerEndsTheStart() {
    SaveReply("2.0.19");
    QVERIFY(SaveInstaller(true));
    ModalAnswerer answerer;
    answerer.PressOnBoxes(QMessageBox::Yes);
    Instance instance;
    QCOMPARE(RunUntilQuit([&instance] { instance.Start(); }), 0);
    QCOMPARE(answerer.Boxes(), QStringList{kOffer});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Installer() + ".ran"), 20000);
    QVERIFY(VisibleLogins().isEmpty());
}

void TestUpdateGate::declinedOrUnstartableGoOnToLogin_data() {
    QTest::addColumn<bool>("runnable");
    QTest::addColumn<int>("answer");
    QTest::newRow("declined") << true << int(QMessageBox::No);
    QTest::newRow("installer does not start") << false << int(QMessageBox::Yes);
}

void TestUpdateGate::declinedOrUnstartableGoOnToLogin() {
    QFETCH(bool, runnable);
    QFETCH(int, answer);
    SaveReply("2.0.19");
    QVERIFY(SaveInstaller(runnable));
    ModalAnswerer answerer;
    answerer.PressOnBoxes(QMessageBox::StandardButton(answer));
    Instance instance;
    instance.Start();
    QCOMPARE(answerer.Boxes(), QStringList{kOffer});
    // A started installer would have ended the start before the login window.
    QCOMPARE(VisibleLogins().size(), 1);
}

CORAL_TEST_MAIN(TestUpdateGate)
#include "tst_update_gate.moc"
