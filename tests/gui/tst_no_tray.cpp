#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include "GuiTestUtil.h"
#include "app/AppController.h"
#include "chat/MainWidget.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

// A desktop without a tray (or a status-notifier host): the main window must stay reachable.
class TestNoTray : public QObject {
    Q_OBJECT
private slots:
    void init();
    void closeMinimisesWithoutTray();
    void trayArrivingLaterHidesAgain();
    void accountMenuOpensFromAvatarAndName();
    void controllerOffersItsMenuInTheWindow();
};

namespace {

QPushButton* Button(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(QLatin1String(name));
}

}  // namespace

void TestNoTray::init() {
    ResetAccounts();
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestNoTray::closeMinimisesWithoutTray() {
    MainWidget main;
    main.Init();
    main.SetTrayCheck([] { return false; });
    // A tool window would have no taskbar entry to come back from.
    QVERIFY(!main.windowFlags().testFlag(Qt::Tool));
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    Button(&main, "close_btn")->click();
    QVERIFY(main.isVisible());
    QVERIFY(main.isMinimized());
    main.showNormal();
    Button(&main, "min_btn")->click();
    QVERIFY(main.isVisible());
    QVERIFY(main.isMinimized());
}

void TestNoTray::trayArrivingLaterHidesAgain() {
    bool tray = false;
    MainWidget main;
    main.Init();
    main.SetTrayCheck([&tray] { return tray; });
    main.show();
    Button(&main, "close_btn")->click();
    QVERIFY(main.isMinimized());

    // The panel with the tray started after the program.
    tray = true;
    main.showNormal();
    Button(&main, "close_btn")->click();
    QVERIFY(main.isHidden());
    QVERIFY(main.windowFlags().testFlag(Qt::Tool));

    // And it went away again.
    tray = false;
    main.showNormal();
    Button(&main, "min_btn")->click();
    QVERIFY(main.isVisible());
    QVERIFY(!main.windowFlags().testFlag(Qt::Tool));
}

void TestNoTray::accountMenuOpensFromAvatarAndName() {
    MainWidget main;
    main.Init();
    QMenu menu;
    menu.addAction(QStringLiteral("退出"));
    main.SetAccountMenu(&menu);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    const QPoint window_pos = main.pos();

    auto* avatar = main.findChild<QLabel*>("avatar_lab");
    QTest::mouseClick(avatar, Qt::RightButton);
    QVERIFY(!menu.isVisible());
    QTest::mouseClick(avatar, Qt::LeftButton);
    QTRY_VERIFY(menu.isVisible());
    // Below the avatar, and the click did not move the window.
    QVERIFY(menu.pos().y() >= avatar->mapToGlobal(QPoint(0, avatar->height())).y());
    QCOMPARE(main.pos(), window_pos);
    menu.hide();

    QTest::mouseClick(main.findChild<QLabel*>("usr_name_lab"), Qt::LeftButton);
    QTRY_VERIFY(menu.isVisible());
    menu.hide();
}

void TestNoTray::controllerOffersItsMenuInTheWindow() {
    SimServer sim(200, 200);
    RememberDemoUser(sim);
    AppController controller;
    QTRY_VERIFY_WITH_TIMEOUT(controller.MainWindow(), 10000);
    MainWidget* main = controller.MainWindow();
    QCOMPARE(main->windowFlags().testFlag(Qt::Tool), AppController::TrayHostRuns());

    QTest::mouseClick(main->findChild<QLabel*>("avatar_lab"), Qt::LeftButton);
    QTRY_VERIFY(controller.TrayMenu()->isVisible());
    QCOMPARE(controller.TrayMenu()->actions().last()->text(), QStringLiteral("退出"));
    controller.TrayMenu()->hide();
    delete main;
}

CORAL_TEST_MAIN(TestNoTray)

#include "tst_no_tray.moc"
