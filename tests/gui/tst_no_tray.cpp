#include <QLabel>
#include <QMenu>
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
    void closeMinimisesUntilATrayRuns();
    void accountMenuOpensFromAvatarAndName();
    void controllerOffersItsMenuInTheWindow();
};

void TestNoTray::init() {
    ResetAccounts();
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestNoTray::closeMinimisesUntilATrayRuns() {
    bool tray = false;
    QPointer<MainWidget> main = new MainWidget;
    main->Init();
    main->SetTrayCheck([&tray] { return tray; });
    // A tool window would have no taskbar entry to come back from.
    QVERIFY(!main->windowFlags().testFlag(Qt::Tool));
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    for (const char* button : {"close_btn", "min_btn"}) {
        main->showNormal();
        Button(main, button)->click();
        QVERIFY(main->isVisible());
        QVERIFY(main->isMinimized());
    }

    // The panel with the tray started after the program.
    tray = true;
    main->showNormal();
    Button(main, "close_btn")->click();
    QVERIFY(main->isHidden());
    QVERIFY(main->windowFlags().testFlag(Qt::Tool));
    // Closing only hides: the window and its engine live on.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(main);

    // And it went away again.
    tray = false;
    main->showNormal();
    Button(main, "min_btn")->click();
    QVERIFY(main->isVisible());
    QVERIFY(!main->windowFlags().testFlag(Qt::Tool));
    delete main;
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
    DemoApp app;
    QVERIFY(app.Start());
    QCOMPARE(app.Main()->windowFlags().testFlag(Qt::Tool), AppController::TrayHostRuns());
    QTest::mouseClick(app.Main()->findChild<QLabel*>("avatar_lab"), Qt::LeftButton);
    QTRY_VERIFY(app.controller->TrayMenu()->isVisible());
    app.controller->TrayMenu()->hide();
}

CORAL_TEST_MAIN(TestNoTray)

#include "tst_no_tray.moc"
