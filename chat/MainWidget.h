#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>

class AvatarDownloader;
class BtnWithBubble;
class ConnectWid;
class LoginWatchdog;
class MessagePageMgr;
class MsgController;
class QButtonGroup;
class QFrame;
class QLabel;
class QMediaPlayer;
class QMenu;
class QPushButton;
class QStackedWidget;
class QThread;
class SchedulePage;
class UpdateDownload;

// The window the user works in after logging in: header with avatar, name, page buttons and
// window buttons; below it the message page and the schedule page.
class MainWidget : public QWidget {
    Q_OBJECT
public:
    explicit MainWidget(QWidget* parent = nullptr);
    ~MainWidget() override;

    void Init();
    // Sizes the window for the screen's free area `available`: roomy where there is room, and
    // never taller or wider than the area, so the header and its buttons stay reachable.
    void FitScreen(const QRect& available);
    // Runs once the window is shown: starts the messaging engine's threads, then the update
    // download.
    void StartEngine();
    MsgController* Engine() const { return msg_controller_; }
    MessagePageMgr* PageMgr() const { return msg_page_mgr_; }
    LoginWatchdog* Watchdog() const { return login_watchdog_; }
    // Plays the voice messages.
    // The voice player, made at the first call.
    QMediaPlayer* Player();
    // The login name of the signed-in user (also the name of the account folder); starts the
    // avatar thread.
    void SetUserId(const QString& usr_id);
    QString UserId() const { return usr_id_; }
    // Whether a tray icon can bring the window back. Without one the window keeps its taskbar
    // entry and its close and minimise buttons minimise it. Set before the window is shown.
    void SetTrayCheck(std::function<bool()> tray_available);
    // The account menu (other unit, school pages, quit), opened from the avatar and the name.
    void SetAccountMenu(QMenu* menu);

signals:
    void quit_avatar_download_thread();
    void req_avatar(QString other_id);
    void quit_update_download_thread();
    void notify_tray(int other_id, int nums);
    void re_login();

public slots:
    void OnOpenChatView(int other_id);
    void OnOpenEmailView();
    // The unread total on the message page button; 0 hides the bubble.
    void OnUpdateMsgCount(int count);
    void OnPlayAudioFile(const QString& res_path);
    void OnCatchExceptions();
    // The poll got no usable answer and is tried again: a discreet note in the header until
    // the server answers.
    void OnPollFailed(int retry_in_ms);
    void OnPollAnswered();
    // A poll reply could not be written: said once, until one is written again.
    void OnReplyStored(bool stored);

protected:
    void changeEvent(QEvent* event) override;

private:
    void SetupUI();
    void BuildPages();
    void BuildSchedulePage();
    void BuildHeader();
    void LayoutWidgets();
    void ConnectSignals();
    void CreateEngine();
    void ConnectPollState();
    void TakeInPendingLists();
    void CreateUpdateDownload();
    void StartUpdateDownload();
    void StopUpdateDownload();
    void CreateAvatarDownloader();
    // The conversation list, the contacts and the avatars they ask for.
    void ConnectLeftPanel();
    // The conversation pages and the engine workers they talk to.
    void ConnectPages();
    // The history search of the left panel, its worker, and opening a page at a result.
    void ConnectSearch();
    void FocusSearch();
    // The voice bubbles show what the player plays.
    void ConnectPlayer();
    void OnAvatarReady(int other_id);
    void ShowOnMessagePage();
    void OnMaxBtn();
    void OnHideRequested();
    void KeepTaskbarEntry(bool keep);

    void ShowUser();
    bool ShowOwnAvatar();
    void RequestOwnAvatar(const QString& user_id);

    QString usr_id_;
    std::function<bool()> tray_available_ = [] { return true; };

    QMediaPlayer* player_ = nullptr;
    MsgController* msg_controller_ = nullptr;
    LoginWatchdog* login_watchdog_ = nullptr;
    UpdateDownload* update_download_ = nullptr;
    QThread* update_thread_ = nullptr;
    bool update_started_ = false;
    AvatarDownloader* avatar_downloader_ = nullptr;
    QThread* avatar_thread_ = nullptr;
    MessagePageMgr* msg_page_mgr_ = nullptr;
    QLabel* reconnect_lab_ = nullptr;
    bool store_warned_ = false;

    QFrame* bg_frame_ = nullptr;
    QLabel* head_lab_ = nullptr;
    QLabel* avatar_lab_ = nullptr;
    QLabel* usr_name_lab_ = nullptr;
    BtnWithBubble* msg_bubble_btn_ = nullptr;
    BtnWithBubble* schedule_bubble_btn_ = nullptr;
    QButtonGroup* page_group_ = nullptr;
    QPushButton* min_btn_ = nullptr;
    QPushButton* max_btn_ = nullptr;
    QPushButton* close_btn_ = nullptr;
    QStackedWidget* stacked_wid_ = nullptr;
    QFrame* msg_frame_ = nullptr;
    ConnectWid* connect_wid_ = nullptr;
    SchedulePage* schedule_page_ = nullptr;
};
