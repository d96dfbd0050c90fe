// The update gate of the start: an accepted installer starts and the program ends before any
// window; without an update, declined, or with an installer that cannot start, the login window
// comes. (The offer itself is tested with the update download.)

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "GuiTestUtil.h"
#include "app/Instance.h"
#include "base/AppInfo.h"
#include "base/Json.h"
#include "base/UpdateFiles.h"
#include "login/Login.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

namespace {

const QString kOffer = QStringLiteral("提示|更新到最新版本?");

// A downloaded installer with the version reply saved beside it.
bool SaveUpdate(const QByteArray& installer) {
    const QJsonObject velta{{"EID", "0"}, {"V", QJsonObject{{"No", "2.0.19"}, {"Url", "x.exe"}}}};
    Json(QString::fromUtf8(QJsonDocument(QJsonObject{{"Velta", velta}}).toJson()))
        .Save(UpdateFiles::ReplyPath());
    QFile file(UpdateFiles::InstallerPath());
    return file.open(QIODevice::WriteOnly) && file.write(installer) == installer.size();
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
    void acceptedInstallerEndsTheStart();
    void otherwiseTheLoginComes_data();
    void otherwiseTheLoginComes();

private:
    QTemporaryDir app_dir_;
};

void TestUpdateGate::init() {
    // A closing box must not post a quit that a later case's event loop would take.
    QApplication::setQuitOnLastWindowClosed(false);
    ResetAccounts();
    TestHome::Remove(Account::UpdatePath());
    Account::SetupUpdatePath();
    AppInfo::SetAppPath(app_dir_.path() + "/");
}

void TestUpdateGate::acceptedInstallerEndsTheStart() {
    QVERIFY(SaveUpdate("#!/bin/sh\necho ran > \"$0.ran\"\n"));
    ModalAnswerer answerer;
    answerer.PressOnBoxes(QMessageBox::Yes);
    Instance instance;
    QCOMPARE(RunUntilQuit([&instance] { instance.Start(); }), 0);
    QCOMPARE(answerer.Boxes(), QStringList{kOffer});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(UpdateFiles::InstallerPath() + ".ran"), 20000);
    QVERIFY(VisibleLogins().isEmpty());
}

void TestUpdateGate::otherwiseTheLoginComes_data() {
    QTest::addColumn<QByteArray>("installer");  // empty: nothing downloaded
    QTest::addColumn<int>("answer");
    QTest::newRow("no update") << QByteArray() << int(QMessageBox::NoButton);
    QTest::newRow("declined") << QByteArray("#!/bin/sh\n") << int(QMessageBox::No);
    QTest::newRow("installer cannot start") << QByteArray("no program") << int(QMessageBox::Yes);
}

void TestUpdateGate::otherwiseTheLoginComes() {
    QFETCH(QByteArray, installer);
    QFETCH(int, answer);
    if (!installer.isEmpty())
        QVERIFY(SaveUpdate(installer));
    ModalAnswerer answerer;
    answerer.PressOnBoxes(QMessageBox::StandardButton(answer));
    Instance instance;
    instance.Start();
    QCOMPARE(answerer.Boxes(), installer.isEmpty() ? QStringList() : QStringList{kOffer});
    // A started installer would have ended the start before the login window.
    QCOMPARE(VisibleLogins().size(), 1);
}

CORAL_TEST_MAIN(TestUpdateGate)
#include "tst_update_gate.moc"
