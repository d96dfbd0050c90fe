// The application when the platform misbehaves: a lost session logs in again by itself, also
// while the server answers nothing useful for a while; a lost session right after a login is
// retried more slowly; only 选择其他单位登录 leaves the login to the user. The main window shows
// failing polls discreetly and says once that replies cannot be stored, and a damaged msg.db is
// replaced, with the user told where it went.

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QtTest>

#include "GuiTestUtil.h"
#include "app/AppController.h"
#include "app/CustomSysTray.h"
#include "base/SqlExec.h"
#include "chat/MainWidget.h"
#include "login/Login.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

namespace {

const char kPoll[] = "Message_GetByMaxID2";
const char kLoginUser[] = "LoginUser";

int Stored(const QList<qint64>& ids) {
    int found = 0;
    for (qint64 id : ids) {
        found += SqlExec::SelectInt("SELECT COUNT(*) FROM message_all WHERE message_id = :id",
                                    {{"id", id}});
    }
    return found;
}

}  // namespace

class TestSessionRecovery : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetApp(); }

    void failingPollsAndALostSessionRecoverByThemselves();
    void changingUnitLeavesTheLoginToTheUser();
    void unstoredRepliesAreToldOnce();
    void damagedMessageFileIsReplacedAndTold();
};

void TestSessionRecovery::failingPollsAndALostSessionRecoverByThemselves() {
    DemoApp app(500, 300);
    SimServer& sim = app.sim;
    ModalAnswerer answerer;
    QVERIFY(app.Start() && app.Settle());
    AppController& controller = *app.controller;
    QPointer<MainWidget> first = controller.MainWindow();

    // Polls that fail show a note until one gets through again.
    QLabel* note = first->findChild<QLabel*>("reconnect_lab");
    QVERIFY(note && note->isHidden());
    sim.SetFault(kPoll, FaultKind::kDrop, 0, 2);
    QList<qint64> ids{sim.SendChat("wangfang", "zhanglei", "断线时发来")};
    QTRY_VERIFY_WITH_TIMEOUT(note->isVisible(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(note->isHidden(), 15000);
    QCOMPARE(Stored(ids), 1);
    QVERIFY(app.Settle());

    // The next poll says the session is gone, and the first two logins meet a broken server.
    sim.SetFault(kLoginUser, FaultKind::kStatus, 502, 2);
    sim.SetFault(kPoll, FaultKind::kEid1, 0, 1);
    ids << sim.SendChat("wangfang", "zhanglei", "会话中断前");
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 10000);
    Login* login = controller.LoginWindow();
    QVERIFY(login && login->isVisible());
    QVERIFY(!controller.Tray()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(Button(login, "login_btn")->text(),
                              QString("正在等待服务器，点击立即重试"), 5000);
    ids << sim.SendChat("wangfang", "zhanglei", "服务器恢复前");
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow() && controller.MainWindow()->isVisible(),
                             15000);
    QVERIFY(!sim.HasFault(kLoginUser));
    QVERIFY(controller.Tray()->isVisible());
    QVERIFY(answerer.Boxes().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(Stored(ids), 3, 10000);

    // Lost again at once: the login waits a moment before trying.
    QPointer<MainWidget> second = controller.MainWindow();
    QVERIFY(app.Settle());
    sim.SetFault(kPoll, FaultKind::kEid1, 0, 1);
    ids << sim.SendChat("wangfang", "zhanglei", "又一次中断");
    QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 10000);
    QCOMPARE(Button(controller.LoginWindow(), "login_btn")->text(),
             QString("稍后自动登录，点击立即登录"));
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow() && controller.MainWindow()->isVisible(),
                             15000);
    QTRY_COMPARE_WITH_TIMEOUT(Stored(ids), 4, 10000);
}

// The user chose to change the unit: the old window and tray go, and the remembered password
// is not used by itself. The first login request is the user's click, which meets the one
// failure the server has in store; the next click builds a new window and tray.
void TestSessionRecovery::changingUnitLeavesTheLoginToTheUser() {
    DemoApp app(500, 300);
    ModalAnswerer answerer;
    QVERIFY(app.Start() && app.Settle());
    AppController& controller = *app.controller;
    QPointer<MainWidget> first_main = controller.MainWindow();
    QPointer<CustomSysTray> first_tray = controller.Tray();
    app.sim.SetFault(kLoginUser, FaultKind::kStatus, 503, 1);
    controller.TrayMenu()->actions().first()->trigger();
    QVERIFY(!first_tray->isVisible());
    Login* login = controller.LoginWindow();
    QVERIFY(login->isVisible());
    QTRY_VERIFY(first_main.isNull());
    QVERIFY(!Button(login, "login_btn")->isDown());
    QCOMPARE(Button(login, "login_btn")->text(), QString("登录"));
    Button(login, "login_btn")->click();
    QTRY_COMPARE(answerer.Boxes(), QStringList{"提示|登录失败: 503"});
    QVERIFY(login->isVisible());

    QTRY_VERIFY(Button(login, "login_btn")->isEnabled());
    Button(login, "login_btn")->click();
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 20000);
    QVERIFY(controller.MainWindow()->isVisible());
    QVERIFY(controller.Tray() && controller.Tray()->isVisible());
    QVERIFY(first_tray.isNull() || !first_tray->isVisible());
}

void TestSessionRecovery::unstoredRepliesAreToldOnce() {
    ModalAnswerer answerer;
    MainWidget main;
    main.Init();
    main.OnReplyStored(false);
    main.OnReplyStored(false);
    QTRY_COMPARE(answerer.Boxes().size(), 1);
    QVERIFY(answerer.Boxes().first().contains("无法保存"));
    main.OnReplyStored(true);
    main.OnReplyStored(false);
    QTRY_COMPARE(answerer.Boxes().size(), 2);
}

void TestSessionRecovery::damagedMessageFileIsReplacedAndTold() {
    DemoApp app(500, 300);
    const QString folder = Account::DataRoot() + "/account/zhanglei/1001";
    QDir().mkpath(folder);
    QFile damaged(folder + "/msg.db");
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(8192, '\x5a'));
    damaged.close();

    ModalAnswerer answerer;
    QVERIFY(app.Start() && app.Settle());
    QCOMPARE(answerer.Boxes().size(), 1);
    QVERIFY(answerer.Boxes().first().startsWith("提示|本地消息记录文件已损坏"));
    QVERIFY(answerer.Boxes().first().contains(QDir::toNativeSeparators(folder)));
    // The history comes back from the server into the new file.
    QVERIFY(SqlExec::SelectInt("SELECT COUNT(*) FROM message_all") > 0);
    QCOMPARE(QDir(folder).entryList({"msg-damaged-*.db"}).size(), 1);
}

CORAL_TEST_MAIN(TestSessionRecovery)
#include "tst_session_recovery.moc"
