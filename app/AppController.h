#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include "TrayNoticeWid.h"
#include "base/RetryDelay.h"
#include "chat/MainWidget.h"
#include "login/Login.h"

class CustomSysTray;
class MessageNotice;
class QAction;
class QMenu;

// Leads the user from the login window to the main window, back to login on re-login, and out
// through the tray menu's quit action. Lives on the GUI thread.
class AppController {
public:
    AppController();
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    bool LoginShown() const { return login_shown_; }
    Login* LoginWindow() const { return login_; }
    MainWidget* MainWindow() const { return main_widget_; }
    CustomSysTray* Tray() const { return tray_; }
    TrayNoticeWid* Notice() const { return notice_; }
    QMenu* TrayMenu() const { return tray_menu_; }
    bool Flashing() const { return flash_timer_.isActive(); }

    // Brings the visible window (or the hidden main window) to the front; a second start of
    // the program asks for this.
    void BringForward();

    // Where the popup goes: at the icon's top-left, shifted left and/or up when it would leave
    // the screen.
    static QPoint PopupPos(const QSize& popup, const QSize& screen, const QPoint& tray_top_left);
    // Whether the desktop shows tray icons now (a tray or a status-notifier host runs).
    static bool TrayHostRuns();
    // The school web site of a unit record: its last field, "http://" added when missing.
    static QString SchoolWebUrl(const QString& unit_record);
    // The management login page of a unit record for a session.
    static QString SchoolMgrUrl(const QString& unit_record, const QString& session_id);

    // Handlers, public so the flow can be driven without a tray host.
    void OnLoginFinished(bool success, const QString& usr_id, bool relogin);
    void OnReLogin();
    // The session ended or the server fell silent: the login window logs in by itself.
    void OnSessionLost();
    void OnNotifyTray(int other_id, int nums);
    void OnTrayHover();
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void OnStopFlash();
    void OnQuit();

private:
    void ConnectLogin(bool relogin);
    bool StartMainWidget(const QString& usr_id, bool relogin);
    void PlaceMainWidget();
    void SetupTray();
    void SetupTrayMenu();
    void SetupMessageNotice();
    void DropTray();
    void OnFlash();
    void OnOpenSchoolWeb();
    void OnOpenSchoolMgr();
    int SessionLossDelay();
    void TellDamagedDb();

    QPointer<MainWidget> main_widget_;
    QPointer<Login> login_;
    QPointer<TrayNoticeWid> notice_;
    QPointer<MessageNotice> message_notice_;
    CustomSysTray* tray_ = nullptr;
    QMenu* tray_menu_ = nullptr;
    QAction* change_unit_action_ = nullptr;
    QAction* open_school_web_action_ = nullptr;
    QAction* open_school_mgr_action_ = nullptr;
    QAction* quit_action_ = nullptr;
    QTimer flash_timer_;
    bool flash_phase_ = false;
    bool login_shown_ = false;
    // Sessions lost again and again right after logging in are retried more slowly.
    QElapsedTimer last_session_loss_;
    RetryDelay session_loss_delay_;
    // Context of every connection to a handler: dropped with the controller, so a window that
    // outlives it never calls into a destroyed object.
    QObject guard_;
};
