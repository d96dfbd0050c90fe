#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>
#include <csignal>

#include "GuiTestUtil.h"
#include "app/AppController.h"
#include "app/CustomSysTray.h"
#include "base/ConnectionPool.h"
#include "base/MsgDbCheck.h"
#include "base/SqlExec.h"
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

const char kPoll[] = "Message_GetByMaxID2";
const char kLoginUser[] = "LoginUser";

int Stored(const QList<qint64>& ids) {
    int found = 0;
    for (qint64 id : ids)
        found += SqlExec::SelectInt("SELECT COUNT(*) FROM message_all WHERE message_id = :id",
                                    {{"id", id}});
    return found;
}

// Windows of earlier cases would keep the event loop alive.
void HideAllWindows() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        widget->hide();
}

}  // namespace

// The application as its user meets it, from the login to the ways to quit, also when the
// platform or the storage misbehaves.
class TestAppFlow : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetApp(); }
    void popupPlacementAndSchoolPage();
    void hoverFiresOnlyOnRestingCursor();
    void mainWindowFitsTheFreeArea_data();
    void mainWindowFitsTheFreeArea();
    void closeMinimisesUntilATrayRuns();
    void loginShowsMainWindowAndTray();
    void storageFailureLeadsBackToLogin();
    void failingPollsAndALostSessionRecoverByThemselves();
    void changingUnitLeavesTheLoginToTheUser();
    void unstoredRepliesAreToldOnce();
    void damagedMessageFileIsReplacedAndTold();
    void closingLoginEndsProcess();
    void quitActionEndsProcess();
    void terminationSignalQuitsAndClosesTheHistory();
};

void TestAppFlow::popupPlacementAndSchoolPage() {
    const QSize popup(246, 99);
    const QSize screen(1366, 768);
    QCOMPARE(AppController::PopupPos(popup, screen, {1300, 10}), QPoint(1054, 10));
    QCOMPARE(AppController::PopupPos(popup, screen, {1340, 740}), QPoint(1094, 641));
    // Exactly room enough: no shift.
    QCOMPARE(AppController::PopupPos(popup, screen, {1120, 669}), QPoint(1120, 669));

    // The school's page: its own site, else the unit's.
    QCOMPARE(AppController::SchoolWebUrl("1,一中,http://h/unit/1/,https://www.yz.cn"),
             QStringLiteral("https://www.yz.cn"));
    QCOMPARE(AppController::SchoolWebUrl("1,一中,http://h/unit/1/,www.yz.cn"),
             QStringLiteral("http://www.yz.cn"));
    QCOMPARE(AppController::SchoolWebUrl("1,一中,http://h/unit/1/,"),
             QStringLiteral("http://h/unit/1/"));
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

void TestAppFlow::mainWindowFitsTheFreeArea_data() {
    QTest::addColumn<QRect>("available");
    QTest::newRow("1366x768 with a panel") << QRect(0, 28, 1366, 740);
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1040);
}

// On 1366x768 with a panel the designed minimum height once pushed the send button off screen.
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

void TestAppFlow::loginShowsMainWindowAndTray() {
    DemoApp app;
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

    // A poll held for the platform's full time is no silence; a stopped loop is seen in a minute.
    auto* watchdog = main->findChild<LoginWatchdog*>();
    QVERIFY(watchdog);
    QTRY_VERIFY(watchdog->IsRunning());
    QVERIFY(watchdog->IntervalMs() > SimOptions().hold_ms);
    QVERIFY(watchdog->IntervalMs() <= 60000);

    // The account menu opens from the avatar and the name.
    QCOMPARE(main->windowFlags().testFlag(Qt::Tool), AppController::TrayHostRuns());
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QMenu* menu = controller.TrayMenu();
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

    // The window asks for the user's own picture once it has settled, and shows it once there.
    QTRY_VERIFY_WITH_TIMEOUT(!avatar->pixmap(Qt::ReturnByValue).isNull(), 20000);

    // The left panel: the demo conversations, a new message moving its own to the top, the trees.
    SimServer& sim = app.sim;
    auto* panel = main->findChild<ConnectWid*>("connect_wid");
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
    // Group conversations are titled by their groups, stored under the groups' positive ids.
    QTRY_COMPARE(Rows(list).value(-302).name, QStringLiteral("期末考试讨论组"));
    QTRY_COMPARE(SqlExec::SelectString("SELECT group_name FROM group_infos WHERE group_id = 302"),
                 QStringLiteral("期末考试讨论组"));

    // A group node opens nothing; a member opens the conversation with him.
    QSignalSpy opened(panel, &ConnectWid::connect_item_changed);
    emit tree->itemClicked(unit->child(3), 0);
    emit tree->itemClicked(own->child(1)->child(2), 0);
    QCOMPARE(opened, QList<QVariantList>({{10010, QStringLiteral("黄伟")}}));
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

void TestAppFlow::failingPollsAndALostSessionRecoverByThemselves() {
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

// The user chose to change the unit: the old window and tray go, and the remembered password is
// not used by itself: the first request, the user's click, meets the server's one failure.
void TestAppFlow::changingUnitLeavesTheLoginToTheUser() {
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

void TestAppFlow::unstoredRepliesAreToldOnce() {
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

void TestAppFlow::damagedMessageFileIsReplacedAndTold() {
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
    // As after the last window: every connection closed, so the next login needs no whole check.
    ConnectionPool::Instance()->CloseConnection();
    QVERIFY(!QFileInfo::exists(db + "-wal"));
    QCOMPARE(MsgDbCheck::DepthForLogin(db), MsgDbCheck::Depth::kShallow);
}

CORAL_TEST_MAIN(TestAppFlow)
#include "tst_app_flow.moc"
