#include "AppController.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>

#include "CustomSysTray.h"
#include "MessageNotice.h"
#include "TrayNoticeWid.h"
#include "base/Account.h"
#include "base/ServicePaths.h"
#include "chat/MainWidget.h"
#include "login/Login.h"
#include "platform/DesktopNotifier.h"

namespace {

const char kIcon[] = ":/resource/ico.png";
const char kBlankIcon[] = ":/resource/null.png";
// A session lost within this time of the last loss counts as lost again at once.
const int kSessionLossQuietMs = 60000;

QStringList UnitFields(const QString& unit_record) {
    return unit_record.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

}  // namespace

AppController::AppController() {
    QApplication::setQuitOnLastWindowClosed(false);

    flash_timer_.setInterval(500);
    QObject::connect(&flash_timer_, &QTimer::timeout, &guard_, [this] { OnFlash(); });

    login_ = new Login;
    if (!login_->Init(true))
        return;
    ConnectLogin(false);
    login_shown_ = true;
}

AppController::~AppController() {
    qDebug() << "AppController::~AppController";
    // A closed window waits for the event loop to be deleted, which has ended by now. Deleting
    // it joins the engine's threads, whose database connections close with them: msg.db ends
    // clean.
    delete main_widget_.data();
    delete login_.data();
    DropTray();
}

void AppController::ConnectLogin(bool relogin) {
    QObject::connect(login_, &Login::tobe_quit, &guard_,
                     [this, relogin](bool success, const QString& usr_id) {
                         OnLoginFinished(success, usr_id, relogin);
                     });
    QObject::connect(login_, &QObject::destroyed, &guard_,
                     [] { qDebug() << "login...quit................"; });
}

void AppController::OnLoginFinished(bool success, const QString& usr_id, bool relogin) {
    if (login_)
        login_->close();
    if (!success)
        return;
    if (StartMainWidget(usr_id, relogin))
        return;
    // Without its storage the user cannot work: say so and offer the login again.
    QMessageBox::information(nullptr, QStringLiteral("提示"),
                             QStringLiteral("本地数据初始化失败，请重新登录"));
    OnReLogin();
}

void AppController::PlaceMainWidget() {
    // Centred in the screen's free area (without panels and docks), never past its edges.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    main_widget_->FitScreen(available);
    main_widget_->show();
    QRect frame(QPoint(), main_widget_->size());
    frame.moveCenter(available.center());
    main_widget_->move(qMax(available.left(), frame.left()), qMax(available.top(), frame.top()));
}

bool AppController::StartMainWidget(const QString& usr_id, bool relogin) {
    qDebug().noquote() << ">>>>>>>>>>>>>>>> Start Main Widget >>>>>>>>>>>>>>>>";
    Account::SetCurUserId(usr_id);
    if (relogin)
        Account::GetAccountInfo(usr_id);
    if (!Account::InitDB() || !Account::InitAvatarPath() || !Account::InitMsgPath()) {
        qDebug() << "!!! AppController: user storage could not be prepared";
        return false;
    }
    TellDamagedDb();
    main_widget_ = new MainWidget;
    main_widget_->Init();
    main_widget_->SetUserId(usr_id);
    main_widget_->SetTrayCheck(&AppController::TrayHostRuns);
    PlaceMainWidget();
    QObject::connect(main_widget_, &QObject::destroyed, &guard_,
                     [] { qDebug() << "main_widget...quit................"; });
    QObject::connect(main_widget_, &MainWidget::re_login, &guard_, [this] { OnSessionLost(); });
    SetupTray();
    // The tray's menu also opens from the window, the one way to it without a tray.
    main_widget_->SetAccountMenu(tray_menu_);
    SetupMessageNotice();
    main_widget_->StartEngine();
    return true;
}

void AppController::TellDamagedDb() {
    const QString aside = Account::TakeDamagedDb();
    if (aside.isEmpty())
        return;
    QMessageBox::information(nullptr, QStringLiteral("提示"),
                             QStringLiteral("本地消息记录文件已损坏，无法使用。\n原文件已移到：%1\n"
                                            "已新建消息记录，服务器上的消息会重新接收。")
                                 .arg(QDir::toNativeSeparators(aside)));
}

void AppController::SetupTray() {
    DropTray();
    tray_ = new CustomSysTray;
    tray_->setIcon(QIcon(QLatin1String(kIcon)));
    tray_->setToolTip(Account::UserName().isEmpty()
                          ? QStringLiteral("Coralbridge")
                          : QStringLiteral("Coralbridge - %1").arg(Account::UserName()));
    SetupTrayMenu();
    tray_->setContextMenu(tray_menu_);
    tray_->setVisible(true);
    notice_ = new TrayNoticeWid;
    notice_->Init();

    QObject::connect(tray_, &CustomSysTray::mouse_hover, &guard_, [this] { OnTrayHover(); });
    QObject::connect(tray_, &QSystemTrayIcon::activated, &guard_,
                     [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(reason); });
    QObject::connect(change_unit_action_, &QAction::triggered, &guard_, [this] { OnReLogin(); });
    QObject::connect(open_school_web_action_, &QAction::triggered, &guard_,
                     [this] { OnOpenSchoolWeb(); });
    QObject::connect(open_school_mgr_action_, &QAction::triggered, &guard_,
                     [this] { OnOpenSchoolMgr(); });
    QObject::connect(quit_action_, &QAction::triggered, &guard_, [this] { OnQuit(); });
    QObject::connect(main_widget_, &MainWidget::notify_tray, &guard_,
                     [this](int other_id, int nums) { OnNotifyTray(other_id, nums); });
    QObject::connect(notice_, &TrayNoticeWid::open_chat_view, main_widget_,
                     &MainWidget::OnOpenChatView, Qt::QueuedConnection);
    QObject::connect(notice_, &TrayNoticeWid::open_email_view, main_widget_,
                     &MainWidget::OnOpenEmailView, Qt::QueuedConnection);
    QObject::connect(notice_, &TrayNoticeWid::stop_flash, &guard_, [this] { OnStopFlash(); });
}

void AppController::SetupMessageNotice() {
    // Belongs to the window: a re-login starts over with the next user's history.
    message_notice_ = new MessageNotice(main_widget_, DesktopNotifier::Create());
    QObject::connect(message_notice_, &MessageNotice::open_chat_view, main_widget_,
                     &MainWidget::OnOpenChatView, Qt::QueuedConnection);
    // Seen there, the messages need no flashing icon any more.
    QObject::connect(message_notice_, &MessageNotice::open_chat_view, &guard_,
                     [this] { OnStopFlash(); });
}

void AppController::SetupTrayMenu() {
    tray_menu_ = new QMenu;
    tray_menu_->setObjectName(QStringLiteral("tray_menu"));
    QFile qss(QStringLiteral(":/ui/tray_notice_wid.qss"));
    if (qss.open(QIODevice::ReadOnly))
        tray_menu_->setStyleSheet(QString::fromUtf8(qss.readAll()));
    const auto action = [this](const QString& text, const char* icon) {
        return tray_menu_->addAction(QIcon(QLatin1String(icon)), text);
    };
    change_unit_action_ = action(QStringLiteral("选择其他单位登录"), ":/resource/change_unit.png");
    tray_menu_->addSeparator();
    open_school_web_action_ =
        action(QStringLiteral("打开学校网站"), ":/resource/open_school_web.png");
    open_school_mgr_action_ =
        action(QStringLiteral("打开学校管理后台"), ":/resource/open_school_mgr.png");
    tray_menu_->addSeparator();
    quit_action_ = action(QStringLiteral("退出"), ":/resource/quit.png");
}

void AppController::DropTray() {
    flash_timer_.stop();
    if (notice_)
        notice_->deleteLater();
    delete tray_;
    tray_ = nullptr;
    delete tray_menu_;
    tray_menu_ = nullptr;
}

void AppController::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Context:
            tray_menu_->popup(QCursor::pos());
            break;
        case QSystemTrayIcon::DoubleClick:
        case QSystemTrayIcon::Trigger:
            if (main_widget_) {
                main_widget_->show();
                main_widget_->raise();
            }
            break;
        default:
            break;
    }
}

void AppController::OnNotifyTray(int other_id, int nums) {
    notice_->SetCount(other_id, nums);
    flash_timer_.start();
    if (message_notice_)
        message_notice_->OnNewMessages();
    // No icon flashes without a tray: the taskbar entry asks for attention instead.
    if (main_widget_ && !TrayHostRuns())
        QApplication::alert(main_widget_);
}

bool AppController::TrayHostRuns() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void AppController::OnFlash() {
    tray_->setIcon(QIcon(QLatin1String(flash_phase_ ? kIcon : kBlankIcon)));
    flash_phase_ = !flash_phase_;
}

QPoint AppController::PopupPos(const QSize& popup, const QSize& screen,
                               const QPoint& tray_top_left) {
    int x = tray_top_left.x();
    int y = tray_top_left.y();
    if (screen.width() - x < popup.width())
        x -= popup.width();
    if (screen.height() - y < popup.height())
        y -= popup.height();
    return QPoint(x, y);
}

void AppController::OnTrayHover() {
    if ((notice_ && !notice_->isHidden()) || !flash_timer_.isActive())
        return;
    flash_timer_.stop();
    tray_->setIcon(QIcon(QLatin1String(kIcon)));
    const QPoint pos = PopupPos(notice_->size(), QGuiApplication::primaryScreen()->size(),
                                tray_->geometry().topLeft());
    notice_->show();
    notice_->move(pos);
}

void AppController::OnStopFlash() {
    flash_timer_.stop();
    if (notice_)
        notice_->hide();
    if (tray_)
        tray_->setIcon(QIcon(QLatin1String(kIcon)));
}

QString AppController::SchoolWebUrl(const QString& unit_record) {
    const QStringList fields = UnitFields(unit_record);
    // A unit without a site of its own gets its platform address.
    QString site = fields.last().isEmpty() ? fields.value(2) : fields.last();
    if (!site.startsWith(QLatin1String("http")))
        site = QStringLiteral("http://%1").arg(site);
    return site;
}

QString AppController::SchoolMgrUrl(const QString& unit_record, const QString& session_id) {
    return QString::fromLatin1(service_paths::kManagementLogin)
        .arg(UnitFields(unit_record).value(2), session_id);
}

void AppController::OnOpenSchoolWeb() {
    const AccountMap& account = Account::GetAccountInfo(Account::CurUserId());
    QDesktopServices::openUrl(QUrl(SchoolWebUrl(account.value(QStringLiteral("cur_unit")))));
}

void AppController::OnOpenSchoolMgr() {
    const AccountMap& account = Account::GetAccountInfo(Account::CurUserId());
    QDesktopServices::openUrl(QUrl(SchoolMgrUrl(account.value(QStringLiteral("cur_unit")),
                                                account.value(QStringLiteral("SessionID")))));
}

void AppController::OnReLogin() {
    if (main_widget_)
        main_widget_->hide();
    if (tray_)
        tray_->hide();
    OnStopFlash();
    login_ = new Login;
    if (!login_->Init(false))
        return;
    ConnectLogin(true);
    login_shown_ = true;
    login_->show();
    if (main_widget_)
        main_widget_->close();
}

void AppController::OnSessionLost() {
    const int delay = SessionLossDelay();
    OnReLogin();
    if (login_)
        login_->LogInByItself(delay);
}

int AppController::SessionLossDelay() {
    const bool again_soon =
        last_session_loss_.isValid() && last_session_loss_.elapsed() < kSessionLossQuietMs;
    last_session_loss_.start();
    if (!again_soon) {
        session_loss_delay_.Reset();
        return 0;
    }
    return session_loss_delay_.Next();
}

void AppController::OnQuit() {
    QApplication::setQuitOnLastWindowClosed(true);
    if (main_widget_)
        main_widget_->close();
}

void AppController::BringForward() {
    QWidget* window = nullptr;
    if (login_ && login_->isVisible())
        window = login_;
    else if (main_widget_)
        window = main_widget_;
    if (!window)
        return;
    window->showNormal();
    window->raise();
    window->activateWindow();
}
