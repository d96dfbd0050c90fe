#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QStackedWidget>
#include <QTreeWidget>
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
#include "login/ConnectMsgListItem.h"
#include "login/ConnectWid.h"
#include "login/Login.h"
#include "platform/QuitSignals.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

namespace {

QLabel* MessageCount(MainWidget* main) {
    return main->findChild<BtnWithBubble*>("msg_bubble_btn")->findChild<QLabel*>("count_lab");
}

struct Row {
    QString name;
    QString count;  // "-" when hidden
    bool picture = false;
};

// Every row as it shows when scrolled to: only rows in view have a widget.
QMap<int, Row> Rows(QListWidget* list) {
    QMap<int, Row> rows;
    auto* panel = list->window()->findChild<ConnectWid*>("connect_wid");
    for (int i = 0; i < list->count(); ++i) {
        list->scrollToItem(list->item(i));
        ConnectMsgListItem* row = panel->RowWidget(i);
        if (!row)
            continue;
        auto* count = row->findChild<QLabel*>("count_lab");
        rows.insert(
            row->OtherId(),
            {row->Name(), count->isHidden() ? QStringLiteral("-") : count->text(),
             !row->findChild<QLabel*>("one_avatar_lab")->pixmap(Qt::ReturnByValue).isNull()});
    }
    list->scrollToTop();
    return rows;
}

int TopId(QListWidget* list) {
    ConnectMsgListItem* row = list->window()->findChild<ConnectWid*>("connect_wid")->RowWidget(0);
    return row ? row->OtherId() : 0;
}

QStringList Children(QTreeWidget* tree, QTreeWidgetItem* node) {
    QStringList names;
    for (int i = 0; i < node->childCount(); ++i) {
        auto* leaf = qobject_cast<ConnectMsgListItem*>(tree->itemWidget(node->child(i), 0));
        names << (leaf ? leaf->Name() : node->child(i)->text(0));
    }
    return names;
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
    void init() { ResetApp(); }
    void popupPlacementStaysOnScreen();
    void hoverFiresOnlyOnRestingCursor();
    void schoolPagesFromUnitRecord();
    void mainWindowBubbleAndMaximise();
    void mainWindowFitsTheFreeArea_data();
    void mainWindowFitsTheFreeArea();
    void ownAvatarAskedOnceThenShown();
    void closeMinimisesUntilATrayRuns();
    void accountMenuOpensFromAvatarAndName();
    void loginShowsMainWindowAndTray();
    void storageFailureLeadsBackToLogin();
    void incomingMessageFlashesUntilHover();
    void conversationsAndContactsOfTheDemoUser();
    void closingLoginEndsProcess();
    void quitActionEndsProcess();
    void terminationSignalQuitsAndClosesTheHistory();
};

void TestAppFlow::popupPlacementStaysOnScreen() {
    const QSize popup(246, 99);
    const QSize screen(1366, 768);
    QCOMPARE(AppController::PopupPos(popup, screen, {1300, 10}), QPoint(1054, 10));
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

    // Once hovered, the rectangle is kept even when the platform reports a new one.
    const QRect moved(0, 0, 24, 24);
    rest(moved, {5, 5});
    QCOMPARE(hover.size(), 2);
    rest(moved, {1323, 23});
    QCOMPARE(hover.size(), 3);
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
    main.OnUpdateMsgCount(120);
    QVERIFY(!count->isHidden());
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

// A desktop without a tray (or a status-notifier host): the main window must stay reachable.
void TestAppFlow::closeMinimisesUntilATrayRuns() {
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

void TestAppFlow::accountMenuOpensFromAvatarAndName() {
    DemoApp app;
    QVERIFY(app.Start());
    MainWidget* main = app.Main();
    QCOMPARE(main->windowFlags().testFlag(Qt::Tool), AppController::TrayHostRuns());
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QMenu* menu = app.controller->TrayMenu();
    const QPoint window_pos = main->pos();

    auto* avatar = main->findChild<QLabel*>("avatar_lab");
    QTest::mouseClick(avatar, Qt::RightButton);
    QVERIFY(!menu->isVisible());
    QTest::mouseClick(avatar, Qt::LeftButton);
    QTRY_VERIFY(menu->isVisible());
    // Below the avatar, and the click did not move the window.
    QVERIFY(menu->pos().y() >= avatar->mapToGlobal(QPoint(0, avatar->height())).y());
    QCOMPARE(main->pos(), window_pos);
    menu->hide();

    QTest::mouseClick(main->findChild<QLabel*>("usr_name_lab"), Qt::LeftButton);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
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

// The left panel after a real login: the demo conversations with their names, counts and
// avatars, the four contact trees, and a new message moving its conversation to the top.
void TestAppFlow::conversationsAndContactsOfTheDemoUser() {
    DemoApp app;
    SimServer& sim = app.sim;
    QVERIFY(app.Start());
    auto* panel = app.Main()->findChild<ConnectWid*>("connect_wid");
    auto* list = panel->findChild<QListWidget*>("connect_list");
    auto* tree = panel->findChild<QTreeWidget*>("group_tree");
    QTRY_VERIFY_WITH_TIMEOUT(sim.HeldPolls() == 1, 10000);

    QTRY_COMPARE(Rows(list).keys(),
                 QList<int>({-302, -301, -202, -201, -101, 0, 10002, 10003, 10004, 10005, 10006}));
    const QMap<int, Row> rows = Rows(list);
    QCOMPARE(rows.value(10002).name, QStringLiteral("王芳"));
    QStringList counts;
    for (int id : {10002, 10003, 10004, 10005, 10006, -101, -202, -301})
        counts << rows.value(id).count;
    QCOMPARE(counts, QStringList({"1", "1", "-", "1", "-", "1", "-", "1"}));
    // The demo users' pictures are fetched and shown.
    QTRY_VERIFY_WITH_TIMEOUT(Rows(list).value(10002).picture && Rows(list).value(10005).picture,
                             10000);

    QVERIFY(sim.SendChat("wangfang", "zhanglei", QStringLiteral("材料已经发您了")) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(TopId(list), 10002, 5000);
    QTRY_COMPARE(Rows(list).value(10002).count, QString("2"));
    ConnectMsgListItem* top = panel->RowWidget(0);
    QCOMPARE(top->findChild<QLabel*>("one_short_msg_lab")->text(),
             QStringLiteral("材料已经发您了"));

    // The four trees load level by level without a click.
    QTreeWidgetItem* unit = tree->topLevelItem(0);
    QTRY_COMPARE_WITH_TIMEOUT(Children(tree, unit),
                              QStringList({"校长室", "教务处", "总务处", "教研组"}), 10000);
    QTRY_COMPARE(Children(tree, unit->child(3)),
                 QStringList({"语文组", "数学组", "英语组", "体育组"}));
    QTRY_COMPARE(Children(tree, unit->child(3)->child(0)), QStringList({"赵丽", "陈静"}));
    QTreeWidgetItem* open = tree->topLevelItem(1);
    QTRY_COMPARE(Children(tree, open), QStringList({"全体教师群", "教研组长群"}));
    QTRY_COMPARE(open->child(0)->childCount(), 10);
    QTreeWidgetItem* own = tree->topLevelItem(2);
    QTRY_COMPARE(Children(tree, own), QStringList({"三年级备课组", "篮球爱好者"}));
    QTRY_COMPARE(Children(tree, own->child(1)), QStringList({"吴军", "张磊", "黄伟"}));
    QTRY_COMPARE(Children(tree, tree->topLevelItem(3)),
                 QStringList({"运动会筹备讨论组", "期末考试讨论组"}));
    // Group conversations are titled by their groups.
    QCOMPARE(Rows(list).value(-301).name, QStringLiteral("运动会筹备讨论组"));
    QCOMPARE(Rows(list).value(-101).name, QStringLiteral("全体教师群"));

    // Group names reach the message store under their positive ids.
    const auto name = [](int id) {
        return SqlExec::SelectString("SELECT group_name FROM group_infos WHERE group_id = :id",
                                     {{"id", id}});
    };
    QTRY_COMPARE(name(101), QStringLiteral("全体教师群"));
    QTRY_COMPARE(name(202), QStringLiteral("篮球爱好者"));
    QTRY_COMPARE(name(302), QStringLiteral("期末考试讨论组"));

    // A group node opens nothing; a member opens the conversation with him.
    QSignalSpy opened(panel, &ConnectWid::connect_item_changed);
    emit tree->itemClicked(unit->child(3), 0);
    emit tree->itemClicked(own->child(1)->child(2), 0);
    QCOMPARE(opened, QList<QVariantList>({{10010, QStringLiteral("黄伟")}}));
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
    QVERIFY(app.Start() && app.Settle());
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
    QVERIFY(app.Start() && app.Settle());
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
