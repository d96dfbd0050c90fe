#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
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
#include "login/Login.h"
#include "platform/QuitSignals.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

namespace {

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
    void schoolPagesFromUnitRecord();
    void mainWindowBubbleAndMaximise();
    void mainWindowFitsTheFreeArea_data();
    void mainWindowFitsTheFreeArea();
    void ownAvatarAskedOnceThenShown();
    void loginShowsMainWindowAndTray();
    void storageFailureLeadsBackToLogin();
    void incomingMessageFlashesUntilHover();
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
    // Each position is reported twice: a cursor resting there.
    const auto rest = [&tray](const QRect& icon, const QPoint& cursor) {
        tray.Track(icon, cursor);
        tray.Track(icon, cursor);
    };
    const QRect icon(1300, 0, 24, 24);
    rest(icon, {10, 10});
    for (const QPoint& passing : {QPoint(1301, 5), QPoint(1305, 6), QPoint(1310, 7)})
        tray.Track(icon, passing);
    QCOMPARE(hover.size(), 0);
    rest(icon, {1310, 7});
    QCOMPARE(hover.size(), 2);
    rest(icon, {1323, 23});
    QCOMPARE(hover.size(), 3);

    // Once hovered, the rectangle is kept even when the platform reports a new one.
    const QRect moved(0, 0, 24, 24);
    rest(moved, {5, 5});
    QCOMPARE(hover.size(), 3);
    rest(moved, {1302, 2});
    QCOMPARE(hover.size(), 4);
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

void TestAppFlow::mainWindowBubbleAndMaximise() {
    MainWidget main;
    main.Init();
    main.show();
    QLabel* count = MessageCount(&main);
    QVERIFY(count->isHidden());
    main.OnUpdateMsgCount(120);
    QVERIFY(!count->isHidden());
    QCOMPARE(count->text(), QStringLiteral("120"));
    QVERIFY(count->parentWidget()->rect().contains(count->geometry()));
    main.OnUpdateMsgCount(0);
    QVERIFY(count->isHidden());

    // Narrow windows are maximised, wide ones restored.
    main.resize(900, main.height());
    Button(&main, "max_btn")->click();
    QVERIFY(main.isMaximized());
    main.showNormal();
    main.resize(901, main.height());
    Button(&main, "max_btn")->click();
    QVERIFY(!main.isMaximized());
}

void TestAppFlow::mainWindowFitsTheFreeArea_data() {
    QTest::addColumn<QRect>("available");
    QTest::newRow("1366x768 with a panel") << QRect(0, 28, 1366, 740);
    QTest::newRow("1280x720") << QRect(0, 0, 1280, 720);
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1040);
}

// On a 1366x768 screen with a panel the designed minimum height would push the bottom (and the
// input's send button) off the screen.
void TestAppFlow::mainWindowFitsTheFreeArea() {
    QFETCH(QRect, available);
    MainWidget main;
    main.Init();
    main.FitScreen(available);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY2(main.height() <= available.height(), qPrintable(QString::number(main.height())));
    QVERIFY(main.width() <= available.width());
    // Laid out at that size, nothing insists on more room than the screen has.
    QVERIFY(main.minimumSizeHint().height() <= available.height());
    // A large screen gets a roomy window, not the cramped designed minimum.
    if (available.width() >= 1920)
        QVERIFY(main.width() >= 1100 && main.height() >= 760);
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
    DemoApp app;
    QVERIFY(app.sim.IsRunning());
    app.controller = std::make_unique<AppController>();
    AppController& controller = *app.controller;
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
    QVERIFY(controller.Notice()->isHidden());

    // The watch on the poll loop runs, and a poll held for the platform's full time never
    // counts as silence, while a stopped loop is noticed within a minute.
    auto* watchdog = main->findChild<LoginWatchdog*>();
    QVERIFY(watchdog);
    QTRY_VERIFY(watchdog->IsRunning());
    QVERIFY(watchdog->IntervalMs() > SimOptions().hold_ms);
    QVERIFY(watchdog->IntervalMs() <= 60000);
}

void TestAppFlow::storageFailureLeadsBackToLogin() {
    DemoApp app;
    // Journal files that cannot be created make the first write to msg.db fail.
    const QString unit = Account::AccountsPath() + "/zhanglei/1001";
    for (const char* blocker : {"/msg.db-journal", "/msg.db-wal"})
        QVERIFY(QDir().mkpath(unit + blocker));
    ModalAnswerer answerer;
    app.controller = std::make_unique<AppController>();
    AppController& controller = *app.controller;
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
}

void TestAppFlow::incomingMessageFlashesUntilHover() {
    DemoApp app;
    QVERIFY(app.Start() && app.Settle());
    AppController& controller = *app.controller;
    TrayNoticeWid* notice = controller.Notice();
    MainWidget* main = app.Main();
    QLabel* count = MessageCount(main);
    const int before = count->isHidden() ? 0 : count->text().toInt();
    controller.OnTrayHover();
    QVERIFY(notice->isHidden());

    const qint64 steady = controller.Tray()->icon().cacheKey();
    const QString text = QStringLiteral("期末材料 1+1 & \"它's\" 你好");
    QVERIFY(app.sim.SendChat("wangfang", "zhanglei", text) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(controller.Flashing(), 5000);
    QTRY_COMPARE(count->text().toInt(), before + 1);
    QVERIFY(!count->isHidden());
    QCOMPARE(SqlExec::SelectString("SELECT content FROM message_all WHERE other_id = 10002 "
                                   "ORDER BY id DESC LIMIT 1"),
             text);
    QTRY_VERIFY(controller.Tray()->icon().cacheKey() != steady);
    QVERIFY(!notice->findChild<QLabel*>("tnw_msg_count_lab")->isHidden());

    controller.OnTrayHover();
    QVERIFY(!controller.Flashing());
    QVERIFY(notice->isVisible());
    // On screen, with a corner at the tray icon.
    const QRect popup = notice->geometry();
    const QPoint icon = controller.Tray()->geometry().topLeft();
    QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(popup));
    QVERIFY(popup.left() == icon.x() || popup.right() + 1 == icon.x());
    QVERIFY(popup.top() == icon.y() || popup.bottom() + 1 == icon.y());

    // A click on the message row brings the window back on the message page and ends the
    // notice; a right click does nothing.
    Button(main, "schedule_bubble_btn")->click();
    auto* stack = main->findChild<QStackedWidget*>("stacked_wid");
    QCOMPARE(stack->currentIndex(), 1);
    main->hide();
    auto* msg_row = notice->findChild<QWidget*>("tnw_item_msg_frame");
    QTest::mouseClick(msg_row, Qt::RightButton);
    QVERIFY(notice->isVisible());
    QTest::mouseClick(msg_row, Qt::LeftButton);
    QVERIFY(notice->isHidden());
    QTRY_VERIFY(main->isVisible());
    QTRY_COMPARE(stack->currentIndex(), 0);

    controller.OnNotifyTray(10002, 4);
    controller.OnTrayHover();
    Button(notice, "tnw_ignore_btn")->click();
    QVERIFY(notice->isHidden());
    QVERIFY(!controller.Flashing());
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
    DemoApp app(25000, 1500);  // the platform's own hold time
    HideAllWindows();
    QVERIFY(app.Start());
    QVERIFY(app.Settle());
    // Hidden by its close button, the window still has to go for the process to end.
    Button(app.Main(), "close_btn")->click();
    QAction* quit = app.controller->TrayMenu()->actions().last();
    QCOMPARE(RunUntilQuit([quit] { quit->trigger(); }), 0);
    QTRY_VERIFY(!app.Main());
    // Gone while the platform still holds its poll: quitting did not wait for the answer.
    QCOMPARE(app.sim.HeldPolls(), 1);
}

void TestAppFlow::terminationSignalQuitsAndClosesTheHistory() {
    DemoApp app(25000, 1500);
    HideAllWindows();
    QVERIFY(app.Start());
    QVERIFY(app.Settle());
    const QString db = ConnectionPool::Instance()->Config().database_name;
    QVERIFY(QFileInfo::exists(db + "-wal"));
    QuitSignals quit_signals;
    QVERIFY(quit_signals.Install());
    connect(&quit_signals, &QuitSignals::quit_requested, qApp, &QCoreApplication::quit);
    QCOMPARE(RunUntilQuit([] { std::raise(SIGTERM); }), 0);
    app.controller.reset();
    // As the application does after the last window: every thread's connection is closed, so
    // the next login finds no log of an unclean end and needs no whole check.
    ConnectionPool::Instance()->CloseConnection();
    QVERIFY(!QFileInfo::exists(db + "-wal"));
    QCOMPARE(MsgDbCheck::DepthForLogin(db), MsgDbCheck::Depth::kShallow);
}

CORAL_TEST_MAIN(TestAppFlow)
#include "tst_app_flow.moc"
