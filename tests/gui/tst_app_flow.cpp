#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QtTest>
#include <csignal>

#include "GuiTestUtil.h"
#include "app/AppController.h"
#include "app/CustomSysTray.h"
#include "app/TrayNoticeWid.h"
#include "base/ConnectionPool.h"
#include "base/MsgDbCheck.h"
#include "base/SqlExec.h"
#include "chat/BtnWithBubble.h"
#include "chat/MainWidget.h"
#include "engine/LoginWatchdog.h"
#include "engine/MsgParse.h"
#include "login/Login.h"
#include "platform/QuitSignals.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

namespace {

QPushButton* Button(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(QLatin1String(name));
}

// Waits until the client has stored the demo history and its poll is being held, then ends
// whatever flashing that history started.
void SettleEngine(const SimServer& sim, AppController& controller) {
    QTRY_VERIFY_WITH_TIMEOUT(sim.HeldPolls() == 1, 20000);
    // What the parser sent before it asked for the held poll is queued here already; the lists
    // and counts follow a moment later.
    QTest::qWait(2 * MsgParse::kWidgetDelayMs);
    QCoreApplication::sendPostedEvents();
    controller.OnStopFlash();
}

QLabel* MessageCount(MainWidget* main) {
    return main->findChild<BtnWithBubble*>("msg_bubble_btn")->findChild<QLabel*>("count_lab");
}

// Windows of earlier cases would keep the event loop alive.
void HideAllWindows() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        widget->hide();
}

}  // namespace

class TestAppFlow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void popupPlacementStaysOnScreen();
    void hoverFiresOnlyOnRestingCursor();
    void noticePopupRowsAndIgnore();
    void schoolPagesFromUnitRecord();
    void mainWindowButtonsAndBubble();
    void mainWindowRequests();
    void ownAvatarAskedOnceThenShown();
    void loginShowsMainWindowAndTray();
    void storageFailureLeadsBackToLogin();
    void flashUntilHover();
    void incomingMessageRaisesBubbleAndFlashes();
    void reloginBuildsNewWindowAndTray();
    void closingLoginEndsProcess();
    void quitActionEndsProcess();
    void terminationSignalQuitsAndClosesTheHistory();
};

void TestAppFlow::init() {
    ResetAccounts();
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestAppFlow::popupPlacementStaysOnScreen() {
    const QSize popup(246, 99);
    const QSize screen(1366, 768);
    QCOMPARE(AppController::PopupPos(popup, screen, {100, 100}), QPoint(100, 100));
    QCOMPARE(AppController::PopupPos(popup, screen, {1300, 10}), QPoint(1054, 10));
    QCOMPARE(AppController::PopupPos(popup, screen, {1000, 740}), QPoint(1000, 641));
    QCOMPARE(AppController::PopupPos(popup, screen, {1340, 740}), QPoint(1094, 641));
    // Exactly room enough: no shift.
    QCOMPARE(AppController::PopupPos(popup, screen, {1120, 669}), QPoint(1120, 669));
}

void TestAppFlow::hoverFiresOnlyOnRestingCursor() {
    CustomSysTray tray;
    QSignalSpy hover(&tray, &CustomSysTray::mouse_hover);
    const QRect icon(1300, 0, 24, 24);
    tray.Track(icon, {10, 10});
    tray.Track(icon, {10, 10});
    for (const QPoint& passing : {QPoint(1301, 5), QPoint(1305, 6), QPoint(1310, 7)})
        tray.Track(icon, passing);
    QCOMPARE(hover.size(), 0);
    tray.Track(icon, {1310, 7});
    tray.Track(icon, {1310, 7});
    QCOMPARE(hover.size(), 2);
    tray.Track(icon, {1323, 23});
    tray.Track(icon, {1323, 23});
    QCOMPARE(hover.size(), 3);

    // Once hovered, the rectangle is kept even when the platform reports a new one.
    const QRect moved(0, 0, 24, 24);
    tray.Track(moved, {5, 5});
    tray.Track(moved, {5, 5});
    QCOMPARE(hover.size(), 3);
    tray.Track(moved, {1302, 2});
    tray.Track(moved, {1302, 2});
    QCOMPARE(hover.size(), 4);
}

void TestAppFlow::noticePopupRowsAndIgnore() {
    TrayNoticeWid notice;
    notice.Init();
    auto* msg_row = notice.findChild<QWidget*>("tnw_item_msg_frame");
    auto* email_row = notice.findChild<QWidget*>("tnw_item_email_frame");
    auto* count = notice.findChild<QLabel*>("tnw_msg_count_lab");
    QVERIFY(email_row->isHidden());
    QVERIFY(count->isHidden());

    notice.SetCount(-301, 12);
    QVERIFY(!count->isHidden());
    QCOMPARE(count->text(), QStringLiteral("12"));
    QVERIFY(notice.rect().contains(QRect(count->mapTo(&notice, QPoint()), count->size())));
    notice.SetCount(-301, 0);
    QVERIFY(count->isHidden());
    notice.SetCount(10002, 3);
    QVERIFY(!count->isHidden());

    QStringList emitted;
    connect(&notice, &TrayNoticeWid::open_chat_view, this,
            [&emitted](int other_id) { emitted << QStringLiteral("chat %1").arg(other_id); });
    connect(&notice, &TrayNoticeWid::open_email_view, this, [&emitted] { emitted << "email"; });
    connect(&notice, &TrayNoticeWid::stop_flash, this, [&emitted] { emitted << "stop"; });
    QTest::mouseClick(msg_row, Qt::RightButton);
    QVERIFY(emitted.isEmpty());
    QTest::mouseClick(msg_row, Qt::LeftButton);
    QTest::mouseClick(email_row, Qt::LeftButton);
    QCOMPARE(emitted, QStringList({"chat 10002", "stop", "email", "stop"}));

    notice.show();
    Button(&notice, "tnw_ignore_btn")->click();
    QVERIFY(notice.isHidden());
    QCOMPARE(emitted.last(), QStringLiteral("stop"));
    QCOMPARE(emitted.size(), 5);
}

void TestAppFlow::schoolPagesFromUnitRecord() {
    QCOMPARE(AppController::SchoolWebUrl("1,一中,http://h/unit/1/,https://www.yz.cn"),
             QStringLiteral("https://www.yz.cn"));
    QCOMPARE(AppController::SchoolWebUrl("1,一中,http://h/unit/1/,www.yz.cn"),
             QStringLiteral("http://www.yz.cn"));
    QCOMPARE(AppController::SchoolWebUrl("1,一中,http://h/unit/1/,"),
             QStringLiteral("http://h/unit/1/"));
    QCOMPARE(AppController::SchoolMgrUrl("1,一中,http://h/unit/1/,www.yz.cn", "S-9"),
             QStringLiteral("http://h/unit/1//BasePlate/LoginCenter/re.aspx?GCheckStr=S-9"));
}

void TestAppFlow::mainWindowButtonsAndBubble() {
    QPointer<MainWidget> main = new MainWidget;
    main->Init();
    main->show();

    auto* msg_btn = Button(main, "message_bubble_btn");
    auto* schedule_btn = Button(main, "schedule_bubble_btn");
    auto* stack = main->findChild<QStackedWidget*>("stacked_wid");
    auto* msg_bubble = main->findChild<QWidget*>("msg_bubble_btn");
    auto* count = msg_bubble->findChild<QLabel*>("count_lab");
    QTRY_VERIFY(msg_btn->isChecked());

    QVERIFY(count->isHidden());
    main->OnUpdateMsgCount(120);
    QVERIFY(!count->isHidden());
    QCOMPARE(count->text(), QStringLiteral("120"));
    QVERIFY(msg_bubble->rect().contains(count->geometry()));
    main->OnUpdateMsgCount(0);
    QVERIFY(count->isHidden());

    // The triangle marks the page shown: it moves with the page and comes back with it.
    auto* schedule_triangle = schedule_btn->parentWidget()->findChild<QLabel*>("triangle_lab");
    auto* msg_triangle = msg_bubble->findChild<QLabel*>("triangle_lab");
    const QImage marked = msg_triangle->grab().toImage();
    const QImage unmarked = schedule_triangle->grab().toImage();
    QVERIFY(marked != unmarked);
    schedule_btn->click();
    QCOMPARE(stack->currentIndex(), 1);
    QCOMPARE(schedule_triangle->grab().toImage(), marked);
    QCOMPARE(msg_triangle->grab().toImage(), unmarked);
    msg_btn->click();
    QCOMPARE(stack->currentIndex(), 0);
    QCOMPARE(msg_triangle->grab().toImage(), marked);

    main->resize(900, main->height());
    Button(main, "max_btn")->click();
    QVERIFY(main->isMaximized());
    main->showNormal();
    main->resize(901, main->height());
    Button(main, "max_btn")->click();
    QVERIFY(!main->isMaximized());

    Button(main, "min_btn")->click();
    QVERIFY(main->isHidden());
    main->show();
    Button(main, "close_btn")->click();
    QVERIFY(main->isHidden());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(main);
    delete main;
}

void TestAppFlow::mainWindowRequests() {
    MainWidget main;
    main.Init();
    auto* stack = main.findChild<QStackedWidget*>("stacked_wid");
    Button(&main, "schedule_bubble_btn")->click();
    main.hide();
    main.OnOpenChatView(10002);
    QVERIFY(main.isVisible());
    QTRY_COMPARE(stack->currentIndex(), 0);

    Button(&main, "schedule_bubble_btn")->click();
    main.hide();
    main.OnOpenEmailView();
    QVERIFY(main.isVisible());
    QTRY_COMPARE(stack->currentIndex(), 0);
}

void TestAppFlow::ownAvatarAskedOnceThenShown() {
    AccountMap& account = Account::GetAccountInfo("zhanglei");
    account["User_ID"] = "10001";
    account["UserName"] = QStringLiteral("张磊");
    account["Unit_ID"] = "1001";
    QVERIFY(Account::SaveAccountInfo("zhanglei"));
    Account::SetCurUserId("zhanglei");
    QVERIFY(Account::InitAvatarPath());

    MainWidget main;
    QSignalSpy requests(&main, &MainWidget::req_avatar);
    main.Init();
    auto* avatar = main.findChild<QLabel*>("avatar_lab");
    QCOMPARE(main.findChild<QLabel*>("usr_name_lab")->text(), QStringLiteral("张磊"));
    QVERIFY(avatar->styleSheet().contains("default_avatar.png"));
    // The request and the re-check wait on the window's own timers.
    QVERIFY(requests.wait(30000));
    QCOMPARE(requests.first().at(0).toString(), QStringLiteral("10001"));

    // The answer lands on disk; the one re-check shows it.
    QImage picture(60, 60, QImage::Format_ARGB32);
    picture.fill(Qt::darkGreen);
    QVERIFY(picture.save(Account::AvatarPath() + "/10001.png"));
    QTRY_VERIFY_WITH_TIMEOUT(!avatar->pixmap(Qt::ReturnByValue).isNull(), 30000);
    QCOMPARE(requests.size(), 1);
}

void TestAppFlow::loginShowsMainWindowAndTray() {
    SimServer sim(200, 200);
    QVERIFY(sim.IsRunning());
    RememberDemoUser(sim);
    AppController controller;
    QVERIFY(controller.LoginShown());
    QVERIFY(!QApplication::quitOnLastWindowClosed());
    QPointer<Login> login = controller.LoginWindow();
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 20000);
    QTRY_VERIFY(login.isNull());

    MainWidget* main = controller.MainWindow();
    QVERIFY(main->isVisible());
    QCOMPARE(main->UserId(), QStringLiteral("zhanglei"));
    QCOMPARE(main->findChild<QLabel*>("usr_name_lab")->text(), QStringLiteral("张磊"));
    QCOMPARE(Account::CurUserId(), QStringLiteral("zhanglei"));
    QVERIFY(QFileInfo::exists(Account::DataRoot() + "/account/zhanglei/1001/msg.db"));
    QVERIFY(QFileInfo(Account::MsgPath() + "/image").isDir());

    QVERIFY(controller.Tray()->isVisible());
    QStringList menu;
    for (QAction* action : controller.TrayMenu()->actions())
        menu << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(menu, QStringList(
                       {"选择其他单位登录", "-", "打开学校网站", "打开学校管理后台", "-", "退出"}));
    QVERIFY(controller.Notice()->isHidden());

    // The watch on the poll loop runs, and a poll held for the platform's full time never
    // counts as silence, while a stopped loop is noticed within a minute.
    auto* watchdog = main->findChild<LoginWatchdog*>();
    QVERIFY(watchdog);
    QTRY_VERIFY(watchdog->IsRunning());
    QVERIFY(watchdog->IntervalMs() > SimOptions().hold_ms);
    QVERIFY(watchdog->IntervalMs() <= 60000);
    delete main;
}

void TestAppFlow::storageFailureLeadsBackToLogin() {
    SimServer sim(200, 200);
    RememberDemoUser(sim);
    // Journal files that cannot be created make the first write to msg.db fail.
    const QString unit = Account::AccountsPath() + "/zhanglei/1001";
    for (const char* blocker : {"/msg.db-journal", "/msg.db-wal"})
        QVERIFY(QDir().mkpath(unit + blocker));
    ModalAnswerer answerer;
    AppController controller;
    QTRY_COMPARE_WITH_TIMEOUT(answerer.Boxes(), QStringList{"提示|本地数据初始化失败，请重新登录"},
                              20000);
    QTRY_VERIFY(controller.LoginWindow() && controller.LoginWindow()->isVisible());
    QVERIFY(!controller.MainWindow());

    // Once the storage can be written, the same way in leads on.
    for (const char* blocker : {"/msg.db-journal", "/msg.db-wal"})
        TestHome::Remove(unit + blocker);
    Button(controller.LoginWindow(), "login_btn")->click();
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 20000);
    QVERIFY(controller.MainWindow()->isVisible());
    delete controller.MainWindow();
}

void TestAppFlow::flashUntilHover() {
    SimServer sim(200, 200);
    RememberDemoUser(sim);
    AppController controller;
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 20000);
    SettleEngine(sim, controller);
    TrayNoticeWid* notice = controller.Notice();

    controller.OnTrayHover();
    QVERIFY(notice->isHidden());

    const qint64 steady = controller.Tray()->icon().cacheKey();
    controller.OnNotifyTray(10002, 3);
    QVERIFY(controller.Flashing());
    QCOMPARE(notice->findChild<QLabel*>("tnw_msg_count_lab")->text(), QStringLiteral("3"));
    QTRY_VERIFY(controller.Tray()->icon().cacheKey() != steady);

    controller.OnTrayHover();
    QVERIFY(!controller.Flashing());
    QVERIFY(notice->isVisible());
    // On screen, with a corner at the tray icon.
    const QRect popup = notice->geometry();
    const QPoint icon = controller.Tray()->geometry().topLeft();
    QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(popup));
    QVERIFY(popup.left() == icon.x() || popup.right() + 1 == icon.x());
    QVERIFY(popup.top() == icon.y() || popup.bottom() + 1 == icon.y());

    // A click on the message row opens the window on the message page and ends the notice.
    controller.MainWindow()->hide();
    QTest::mouseClick(notice->findChild<QWidget*>("tnw_item_msg_frame"), Qt::LeftButton);
    QVERIFY(notice->isHidden());
    QTRY_VERIFY(controller.MainWindow()->isVisible());

    controller.OnNotifyTray(10002, 4);
    controller.OnTrayHover();
    Button(notice, "tnw_ignore_btn")->click();
    QVERIFY(notice->isHidden());
    QVERIFY(!controller.Flashing());
    delete controller.MainWindow();
}

void TestAppFlow::incomingMessageRaisesBubbleAndFlashes() {
    SimServer sim(200, 200);
    RememberDemoUser(sim);
    AppController controller;
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 20000);
    SettleEngine(sim, controller);
    MainWidget* main = controller.MainWindow();
    QLabel* count = MessageCount(main);
    const int before = count->isHidden() ? 0 : count->text().toInt();

    const QString text = QStringLiteral("期末材料 1+1 & \"它's\" 你好");
    QVERIFY(sim.SendChat("wangfang", "zhanglei", text) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(controller.Flashing(), 5000);
    QTRY_COMPARE(count->text().toInt(), before + 1);
    QVERIFY(!count->isHidden());
    QCOMPARE(SqlExec::SelectString("SELECT content FROM message_all WHERE other_id = 10002 "
                                   "ORDER BY id DESC LIMIT 1"),
             text);

    // A session the platform no longer knows sends the user back to login at once, and the
    // remembered password logs in again by itself.
    QPointer<MainWidget> old_main = main;
    QVERIFY(sim.ExpireSessions("zhanglei") > 0);
    QTRY_VERIFY_WITH_TIMEOUT(old_main.isNull(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow() && controller.MainWindow()->isVisible(),
                             10000);
    delete controller.MainWindow();
}

void TestAppFlow::reloginBuildsNewWindowAndTray() {
    SimServer sim(200, 200);
    RememberDemoUser(sim);
    AppController controller;
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 20000);
    QPointer<MainWidget> first_main = controller.MainWindow();
    QPointer<CustomSysTray> first_tray = controller.Tray();

    controller.TrayMenu()->actions().first()->trigger();
    QVERIFY(!first_tray->isVisible());
    Login* login = controller.LoginWindow();
    QVERIFY(login && login->isVisible());
    QTRY_VERIFY(first_main.isNull());

    // Back at the login the remembered password is there, but nothing happens by itself.
    QVERIFY(!Button(login, "login_btn")->isDown());
    Button(login, "login_btn")->click();
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 20000);
    QVERIFY(controller.MainWindow()->isVisible());
    QVERIFY(controller.Tray() && controller.Tray()->isVisible());
    QVERIFY(first_tray.isNull() || !first_tray->isVisible());

    // A lost session leads to the login window as well, which logs in by itself.
    QPointer<MainWidget> second_main = controller.MainWindow();
    emit second_main->re_login();
    QVERIFY(controller.LoginWindow()->isVisible());
    QVERIFY(!controller.Tray()->isVisible());
    QTRY_VERIFY(second_main.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow() && controller.Tray()->isVisible(), 10000);
    delete controller.MainWindow();
}

void TestAppFlow::closingLoginEndsProcess() {
    HideAllWindows();
    AppController controller;
    QPointer<Login> login = controller.LoginWindow();
    login->show();
    QCOMPARE(RunUntilQuit([login] { Button(login, "close_btn")->click(); }), 0);
    QVERIFY(!controller.MainWindow());
}

void TestAppFlow::quitActionEndsProcess() {
    SimServer sim;  // the platform's own hold time
    RememberDemoUser(sim);
    HideAllWindows();
    AppController controller;
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 20000);
    SettleEngine(sim, controller);
    // Hidden by its close button, the window still has to go for the process to end.
    Button(controller.MainWindow(), "close_btn")->click();
    QAction* quit = controller.TrayMenu()->actions().last();
    QCOMPARE(RunUntilQuit([quit] { quit->trigger(); }), 0);
    QTRY_VERIFY(!controller.MainWindow());
    // Gone while the platform still holds its poll: quitting did not wait for the answer.
    QCOMPARE(sim.HeldPolls(), 1);
}

void TestAppFlow::terminationSignalQuitsAndClosesTheHistory() {
    SimServer sim;
    RememberDemoUser(sim);
    HideAllWindows();
    QString db;
    {
        AppController controller;
        QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 20000);
        SettleEngine(sim, controller);
        db = ConnectionPool::Instance()->Config().database_name;
        QVERIFY(QFileInfo::exists(db + "-wal"));
        QuitSignals quit_signals;
        QVERIFY(quit_signals.Install());
        connect(&quit_signals, &QuitSignals::quit_requested, qApp, &QCoreApplication::quit);
        QCOMPARE(RunUntilQuit([] { std::raise(SIGTERM); }), 0);
    }
    // As the application does after the last window: every thread's connection is closed, so
    // the next login finds no log of an unclean end and needs no whole check.
    ConnectionPool::Instance()->CloseConnection();
    QVERIFY(!QFileInfo::exists(db + "-wal"));
    QCOMPARE(MsgDbCheck::DepthForLogin(db), MsgDbCheck::Depth::kShallow);
}

CORAL_TEST_MAIN(TestAppFlow)
#include "tst_app_flow.moc"
