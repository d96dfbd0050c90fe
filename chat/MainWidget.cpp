#include "MainWidget.h"
#include "widgets/ClickMenu.h"
#include "widgets/RoundAvatar.h"
#include "widgets/WindowDragger.h"
#include "widgets/WindowStyle.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "BtnWithBubble.h"
#include "MessagePageMgr.h"
#include "base/Account.h"
#include "base/WorkerThread.h"
#include "engine/AvatarDownloader.h"
#include "engine/EngineMetaTypes.h"
#include "engine/HeartBeatMsg.h"
#include "engine/LoginWatchdog.h"
#include "engine/MsgController.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "engine/MsgSearch.h"
#include "engine/MsgSendReceive.h"
#include "engine/ResourceDownloader.h"
#include "engine/UpdateDownload.h"
#include "login/ConnectWid.h"
#include "login/SearchPanel.h"
#include "schedule/SchedulePage.h"

namespace {
const int kShadowMargin = 10;
const int kAvatarSize = 36;
const int kMaximiseBelowWidth = 901;
const int kBodyMinHeight = 669;
const int kRoomyWidth = 1180;
const int kRoomyHeight = 820;
const int kAvatarRequestDelayMs = 2000;
const int kAvatarRecheckDelayMs = 3000;
const char kDefaultAvatar[] = "border-image: url(:/resource/default_avatar.png);";
}  // namespace

MainWidget::MainWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
    setAttribute(Qt::WA_TranslucentBackground);
    // After the flags: a tool window would otherwise never end the event loop on the quit action.
    setAttribute(Qt::WA_QuitOnClose);
    new WindowDragger(this, true);
}

MainWidget::~MainWidget() {
    qDebug() << "MainWidget::~MainWidget";
    worker_thread::Stop(this, &MainWidget::quit_avatar_download_thread, avatar_thread_,
                        avatar_downloader_);
    StopUpdateDownload();
    // Joins the engine's threads before the widgets they report to are gone; the lists they
    // posted last reach the pages before the pages go.
    delete msg_controller_;
    TakeInPendingLists();
    delete msg_page_mgr_;
}

void MainWidget::TakeInPendingLists() {
    // Record lists the engine posted before it stopped still wait for this window and its pages;
    // they belong to their receivers, which free them only when the lists arrive.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    QCoreApplication::sendPostedEvents(msg_page_mgr_, QEvent::MetaCall);
    for (QObject* child : findChildren<QObject*>())
        QCoreApplication::sendPostedEvents(child, QEvent::MetaCall);
}

void MainWidget::Init() {
    SetupUI();
    BuildPages();
    BuildHeader();
    LayoutWidgets();
    ShowUser();
    ConnectSignals();
    msg_bubble_btn_->Button()->animateClick(100);
    CreateAvatarDownloader();
    CreateEngine();
    CreateUpdateDownload();
    ConnectLeftPanel();
    ConnectPages();
    ConnectSearch();
}

void MainWidget::SetUserId(const QString& usr_id) {
    usr_id_ = usr_id;
    connect_wid_->SetUserId(usr_id);
    if (avatar_thread_ && !avatar_thread_->isRunning())
        avatar_thread_->start();
}

void MainWidget::CreateAvatarDownloader() {
    avatar_downloader_ = new AvatarDownloader;
    avatar_thread_ =
        worker_thread::Attach(this, &MainWidget::quit_avatar_download_thread, avatar_downloader_);
}

void MainWidget::ConnectLeftPanel() {
    const auto queued = Qt::QueuedConnection;
    MsgParse* parse = msg_controller_->Parse();
    connect(parse, &MsgParse::update_connect_list_ui, connect_wid_, &ConnectWid::UpdateConnectList,
            queued);
    connect(parse, &MsgParse::fix_sys_msg_count_ui, connect_wid_, &ConnectWid::OnFixSysMsgCount,
            queued);
    connect(connect_wid_, &ConnectWid::update_db_group_infos, msg_controller_,
            &MsgController::update_db_group_infos);
    connect(parse, &MsgParse::req_avatar, avatar_downloader_, &AvatarDownloader::OnReqOneAvatar,
            queued);
    connect(connect_wid_, &ConnectWid::req_avatar, avatar_downloader_,
            &AvatarDownloader::OnReqOneAvatar, queued);
    connect(this, &MainWidget::req_avatar, avatar_downloader_, &AvatarDownloader::OnReqOneAvatar,
            queued);
    connect(avatar_downloader_, &AvatarDownloader::avatar_ready, connect_wid_,
            &ConnectWid::OnAvatarReady, queued);
    connect(avatar_downloader_, &AvatarDownloader::avatar_ready, this, &MainWidget::OnAvatarReady,
            queued);
}

void MainWidget::OnAvatarReady(int other_id) {
    if (QString::number(other_id) == Account::UserId())
        ShowOwnAvatar();
}

void MainWidget::CreateEngine() {
    msg_controller_ = new MsgController;
    msg_controller_->Init();
    EngineMetaTypes::Register();
    MsgParse* parse = msg_controller_->Parse();
    connect(msg_controller_->Downloader(), &ResourceDownloader::play_audio_file, this,
            &MainWidget::OnPlayAudioFile, Qt::QueuedConnection);
    connect(parse, &MsgParse::update_msg_count_to_bubble_on_main_wid, this,
            &MainWidget::OnUpdateMsgCount, Qt::QueuedConnection);
    connect(msg_controller_->SendReceive(), &MsgSendReceive::catch_exceptions, this,
            &MainWidget::OnCatchExceptions, Qt::QueuedConnection);
    connect(parse, &MsgParse::notify_tray, this, &MainWidget::notify_tray, Qt::QueuedConnection);

    login_watchdog_ = new LoginWatchdog(LoginWatchdog::kDefaultIntervalMs, this);
    connect(msg_controller_->HeartBeat(), &HeartBeatMsg::heart_msg_eid, login_watchdog_,
            &LoginWatchdog::OnHeartMsgEid, Qt::QueuedConnection);
    connect(login_watchdog_, &LoginWatchdog::re_login, this, &MainWidget::re_login);
    ConnectPollState();
}

void MainWidget::ConnectPollState() {
    reconnect_lab_ = new QLabel(QStringLiteral("网络连接中断，正在重新连接…"), head_lab_);
    reconnect_lab_->setObjectName(QStringLiteral("reconnect_lab"));
    reconnect_lab_->hide();
    // Beside the page buttons, before the window buttons at the end of the header.
    if (auto* header = qobject_cast<QHBoxLayout*>(head_lab_->layout()))
        header->insertWidget(header->count() - 1, reconnect_lab_, 0, Qt::AlignVCenter);
    connect(msg_controller_->HeartBeat(), &HeartBeatMsg::heart_msg_failed, this,
            &MainWidget::OnPollFailed, Qt::QueuedConnection);
    connect(msg_controller_->HeartBeat(), &HeartBeatMsg::heart_msg_eid, this,
            &MainWidget::OnPollAnswered, Qt::QueuedConnection);
    connect(msg_controller_->Parse(), &MsgParse::reply_stored, this, &MainWidget::OnReplyStored,
            Qt::QueuedConnection);
}

void MainWidget::OnPollFailed(int retry_in_ms) {
    reconnect_lab_->setToolTip(
        QStringLiteral("%1 秒后重试").arg(qMax(1, (retry_in_ms + 999) / 1000)));
    reconnect_lab_->show();
}

void MainWidget::OnPollAnswered() {
    reconnect_lab_->hide();
}

void MainWidget::OnReplyStored(bool stored) {
    if (stored)
        store_warned_ = false;
    if (stored || store_warned_)
        return;
    store_warned_ = true;
    auto* box =
        new QMessageBox(QMessageBox::Information, QStringLiteral("提示"),
                        QStringLiteral("新消息暂时无法保存到本地（磁盘空间不足或文件无法写入）。\n"
                                       "空间恢复后会自动补收，消息不会丢失。"),
                        QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWidget::StartEngine() {
    msg_controller_->Start();
    StartUpdateDownload();
}

void MainWidget::CreateUpdateDownload() {
    update_download_ = new UpdateDownload;
    update_thread_ = new QThread;
    update_thread_->setObjectName(QStringLiteral("UpdateDownload"));
    connect(update_thread_, &QThread::started, update_download_, &UpdateDownload::OnStart,
            Qt::QueuedConnection);
    connect(update_thread_, &QThread::finished, update_download_, &QObject::deleteLater,
            Qt::DirectConnection);
    connect(update_thread_, &QThread::finished, update_thread_, &QObject::deleteLater,
            Qt::DirectConnection);
    connect(this, &MainWidget::quit_update_download_thread, update_thread_, &QThread::quit,
            Qt::DirectConnection);
    update_download_->moveToThread(update_thread_);
}

void MainWidget::StartUpdateDownload() {
    update_thread_->start();
    update_started_ = true;
}

void MainWidget::StopUpdateDownload() {
    if (!update_thread_)
        return;
    if (!update_started_) {
        // A thread that never ran cannot delete its worker on finishing.
        delete update_download_;
        delete update_thread_;
    } else {
        emit quit_update_download_thread();
        update_thread_->wait();
    }
    update_download_ = nullptr;
    update_thread_ = nullptr;
}

void MainWidget::ConnectPages() {
    const auto queued = Qt::QueuedConnection;
    MessagePageMgr* pages = msg_page_mgr_;
    MsgParse* parse = msg_controller_->Parse();
    MsgLoader* loader = msg_controller_->Loader();
    ResourceDownloader* downloader = msg_controller_->Downloader();
    connect(connect_wid_, &ConnectWid::connect_item_changed, pages,
            &MessagePageMgr::OnConnectItemChanged);
    connect(parse, &MsgParse::msgs_sys_has_receive, pages, &MessagePageMgr::OnUpdateMsgSysPage,
            queued);
    connect(pages, &MessagePageMgr::update_msg_page, loader, &MsgLoader::OnUpdateMsgPage, queued);
    connect(loader, &MsgLoader::msg_load_ready, pages, &MessagePageMgr::OnMsgPageDataReady, queued);
    connect(parse, &MsgParse::fresh_msgs_stored, pages, &MessagePageMgr::OnFreshMessages, queued);
    connect(loader, &MsgLoader::msg_null_load_ready, pages, &MessagePageMgr::OnMsgPageNullData,
            queued);
    // A click on a picture, voice or video opens what is there and fetches what is not.
    connect(pages, &MessagePageMgr::download_and_play_resource, downloader,
            &ResourceDownloader::OnOpenResource, queued);
    connect(pages, &MessagePageMgr::download_and_open_resource_send_by_myself, downloader,
            &ResourceDownloader::OnOpenResourceSendByMySelf, queued);
    connect(pages, &MessagePageMgr::download_resource, downloader,
            &ResourceDownloader::OnDownloadResource, queued);
    connect(downloader, &ResourceDownloader::download_res_send_by_myself_reback, pages,
            &MessagePageMgr::OnDownloadResSendByMyselfReback, queued);
    connect(downloader, &ResourceDownloader::update_download_percent, pages,
            &MessagePageMgr::OnUpdateDownloadPercent, queued);
    connect(downloader, &ResourceDownloader::resource_downloaded, pages,
            &MessagePageMgr::OnResourceDownloaded, queued);
    connect(pages, &MessagePageMgr::update_isread_state, msg_controller_->SendReceive(),
            &MsgSendReceive::OnMsgIsReaded, queued);
    connect(pages, &MessagePageMgr::send_msg, parse, &MsgParse::OnMsgSend, queued);
    connect(pages, &MessagePageMgr::re_send_msg, parse, &MsgParse::OnMsgReSend, queued);
    // The stored row of a message sent from a page: a re-send replaces that row.
    connect(parse, &MsgParse::req_send_msg, pages, &MessagePageMgr::OnOwnMessageStored, queued);
    connect(parse, &MsgParse::update_msg_send_reback_state, pages,
            &MessagePageMgr::OnUpdateMsgStateReback, queued);
    connect(parse, &MsgParse::update_msg_is_read, pages, &MessagePageMgr::OnUpdateMsgIsRead,
            queued);
    connect(pages, &MessagePageMgr::req_avatar, avatar_downloader_,
            &AvatarDownloader::OnReqOneAvatar, queued);
}

void MainWidget::ConnectSearch() {
    const auto queued = Qt::QueuedConnection;
    MsgSearch* search = msg_controller_->Search();
    SearchPanel* panel = connect_wid_->Search();
    connect(panel, &SearchPanel::search, search, &MsgSearch::OnSearch, queued);
    connect(panel, &SearchPanel::search_more, search, &MsgSearch::OnSearchMore, queued);
    connect(search, &MsgSearch::msg_search_ready, panel, &SearchPanel::OnSearchReady, queued);
    MessagePageMgr* pages = msg_page_mgr_;
    MsgLoader* loader = msg_controller_->Loader();
    connect(connect_wid_, &ConnectWid::message_result_chosen, pages,
            &MessagePageMgr::OnOpenAtMessage);
    connect(pages, &MessagePageMgr::load_around, loader, &MsgLoader::OnLoadAround, queued);
    connect(pages, &MessagePageMgr::load_newer, loader, &MsgLoader::OnLoadNewer, queued);
    connect(loader, &MsgLoader::msg_around_ready, pages, &MessagePageMgr::OnMsgAroundReady, queued);
    connect(loader, &MsgLoader::msg_newer_ready, pages, &MessagePageMgr::OnMsgNewerReady, queued);
    auto* find = new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, &MainWidget::FocusSearch);
}

void MainWidget::FocusSearch() {
    msg_bubble_btn_->Button()->click();
    connect_wid_->FocusSearch();
}

void MainWidget::SetupUI() {
    setWindowTitle(QStringLiteral("Coralbridge"));
    WindowStyle::Apply(this, QStringLiteral("main_widget"), QStringLiteral(":/ui/main_widget.qss"),
                       "MainWidget::SetupUI : load qss failed");
}

void MainWidget::FitScreen(const QRect& available) {
    // The designed body is taller than a 1366x768 screen leaves free: it gives way first.
    const int chrome = head_lab_->minimumHeight() + 2 * kShadowMargin;
    stacked_wid_->setMinimumHeight(qMin(kBodyMinHeight, available.height() - chrome));
    const int width = qBound(minimumSizeHint().width(), available.width() * 4 / 5, kRoomyWidth);
    resize(QSize(width, kRoomyHeight).boundedTo(available.size()));
}

void MainWidget::BuildPages() {
    bg_frame_ = new QFrame(this);
    bg_frame_->setObjectName(QStringLiteral("bg_frame"));
    WindowStyle::AddShadow(bg_frame_, kShadowMargin, 4);

    const auto frame = [](QWidget* parent, const char* name) {
        auto* f = new QFrame(parent);
        f->setObjectName(QLatin1String(name));
        return f;
    };
    stacked_wid_ = new QStackedWidget(bg_frame_);
    stacked_wid_->setObjectName(QStringLiteral("stacked_wid"));
    stacked_wid_->setMinimumHeight(kBodyMinHeight);
    msg_frame_ = frame(stacked_wid_, "msg_frame");
    connect_wid_ = new ConnectWid(msg_frame_);
    connect_wid_->Init();
    msg_page_mgr_ = new MessagePageMgr;
    auto* msg_layout = new QHBoxLayout(msg_frame_);
    msg_layout->setContentsMargins(0, 0, 0, 0);
    msg_layout->setSpacing(0);
    msg_layout->addWidget(connect_wid_);
    msg_layout->addWidget(msg_page_mgr_->Frame(), 1);
    stacked_wid_->addWidget(msg_frame_);
    BuildSchedulePage();
}

void MainWidget::BuildSchedulePage() {
    schedule_page_ = new SchedulePage(stacked_wid_);
    stacked_wid_->addWidget(schedule_page_);
}

void MainWidget::BuildHeader() {
    head_lab_ = new QLabel(bg_frame_);
    head_lab_->setObjectName(QStringLiteral("head_lab"));
    head_lab_->setMinimumWidth(863);
    head_lab_->setFixedHeight(59);
    avatar_lab_ = new QLabel(head_lab_);
    avatar_lab_->setObjectName(QStringLiteral("avatar_lab"));
    avatar_lab_->setFixedSize(kAvatarSize, kAvatarSize);
    usr_name_lab_ = new QLabel(QStringLiteral("用户名"), head_lab_);
    usr_name_lab_->setObjectName(QStringLiteral("usr_name_lab"));
    usr_name_lab_->setFixedWidth(150);

    msg_bubble_btn_ = new BtnWithBubble(0, head_lab_);
    msg_bubble_btn_->setObjectName(QStringLiteral("msg_bubble_btn"));
    schedule_bubble_btn_ = new BtnWithBubble(1, head_lab_);
    schedule_bubble_btn_->setObjectName(QStringLiteral("schedule_bubble_btn"));
    page_group_ = new QButtonGroup(this);
    page_group_->addButton(msg_bubble_btn_->Button(), 0);
    page_group_->addButton(schedule_bubble_btn_->Button(), 1);

    const auto window_button = [this](const char* name, const QString& tip) {
        auto* btn = new QPushButton(head_lab_);
        btn->setObjectName(QLatin1String(name));
        btn->setFixedSize(28, 28);
        btn->setCursor(Qt::PointingHandCursor);
        btn->setToolTip(tip);
        return btn;
    };
    min_btn_ = window_button("min_btn", QStringLiteral("最小化"));
    max_btn_ = window_button("max_btn", QStringLiteral("最大化"));
    close_btn_ = window_button("close_btn", QStringLiteral("关闭"));
}

void MainWidget::LayoutWidgets() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kShadowMargin, kShadowMargin, kShadowMargin, kShadowMargin);
    outer->addWidget(bg_frame_);

    auto* header = new QHBoxLayout(head_lab_);
    header->setContentsMargins(20, 0, 8, 0);
    header->setSpacing(0);
    header->addWidget(avatar_lab_);
    header->addSpacing(10);
    header->addWidget(usr_name_lab_);
    header->addSpacing(20);
    header->addWidget(msg_bubble_btn_, 0, Qt::AlignBottom);
    header->addSpacing(12);
    header->addWidget(schedule_bubble_btn_, 0, Qt::AlignBottom);
    header->addStretch();
    auto* window_buttons = new QHBoxLayout;
    window_buttons->setContentsMargins(0, 4, 0, 0);
    window_buttons->setSpacing(2);
    for (QPushButton* btn : {min_btn_, max_btn_, close_btn_})
        window_buttons->addWidget(btn);
    header->addLayout(window_buttons);
    header->setAlignment(window_buttons, Qt::AlignTop);

    auto* column = new QVBoxLayout(bg_frame_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(head_lab_);
    column->addWidget(stacked_wid_, 1);
}

void MainWidget::ConnectSignals() {
    connect(min_btn_, &QPushButton::clicked, this, &MainWidget::OnHideRequested);
    connect(close_btn_, &QPushButton::clicked, this, &MainWidget::OnHideRequested);
    connect(max_btn_, &QPushButton::clicked, this, &MainWidget::OnMaxBtn);
    connect(page_group_, &QButtonGroup::idClicked, stacked_wid_, &QStackedWidget::setCurrentIndex);
}

void MainWidget::OnMaxBtn() {
    if (width() < kMaximiseBelowWidth)
        showMaximized();
    else
        showNormal();
}

void MainWidget::SetTrayCheck(std::function<bool()> tray_available) {
    tray_available_ = std::move(tray_available);
    KeepTaskbarEntry(!tray_available_());
}

void MainWidget::SetAccountMenu(QMenu* menu) {
    new ClickMenu(avatar_lab_, menu);
    new ClickMenu(usr_name_lab_, menu);
}

void MainWidget::OnHideRequested() {
    // Asked each time: a panel with a tray may start, or end, after this window.
    const bool tray = tray_available_();
    KeepTaskbarEntry(!tray);
    if (tray)
        hide();
    else
        showMinimized();
}

void MainWidget::KeepTaskbarEntry(bool keep) {
    // A tool window has no taskbar entry: minimised without a tray, it could not come back.
    if (windowFlags().testFlag(Qt::Tool) == keep)
        setWindowFlag(Qt::Tool, !keep);
}

void MainWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        // Maximised, the window fills the screen: no room is kept for the shadow.
        const bool maximised = isMaximized();
        const int margin = maximised ? 0 : kShadowMargin;
        layout()->setContentsMargins(margin, margin, margin, margin);
        max_btn_->setProperty("maximised", maximised);
        max_btn_->setToolTip(maximised ? QStringLiteral("还原") : QStringLiteral("最大化"));
        max_btn_->style()->unpolish(max_btn_);
        max_btn_->style()->polish(max_btn_);
    }
    QWidget::changeEvent(event);
}

void MainWidget::ShowUser() {
    usr_name_lab_->setText(Account::UserName().isEmpty() ? QStringLiteral("用户名")
                                                         : Account::UserName());
    usr_name_lab_->setToolTip(usr_name_lab_->text());
    if (ShowOwnAvatar())
        return;
    avatar_lab_->setStyleSheet(QLatin1String(kDefaultAvatar));
    const QString user_id = Account::UserId();
    // Without a server id there is no picture to ask for.
    if (!user_id.isEmpty())
        RequestOwnAvatar(user_id);
}

bool MainWidget::ShowOwnAvatar() {
    const QPixmap avatar =
        RoundAvatar::FromFolder(Account::AvatarPath(), Account::UserId(),
                                QSize(kAvatarSize, kAvatarSize), avatar_lab_->devicePixelRatioF());
    if (avatar.isNull())
        return false;
    avatar_lab_->setStyleSheet(QString());
    avatar_lab_->setPixmap(avatar);
    return true;
}

void MainWidget::RequestOwnAvatar(const QString& user_id) {
    // Once after the window has settled, and one look for the answer; no third attempt.
    QTimer::singleShot(kAvatarRequestDelayMs, this, [this, user_id] {
        emit req_avatar(user_id);
        QTimer::singleShot(kAvatarRecheckDelayMs, this, [this] { ShowOwnAvatar(); });
    });
}

void MainWidget::ShowOnMessagePage() {
    showNormal();
    raise();
    activateWindow();
    msg_bubble_btn_->Button()->animateClick(100);
}

void MainWidget::OnOpenChatView(int other_id) {
    qDebug() << "MainWidget::OnOpenChatView: " << other_id;
    ShowOnMessagePage();
    connect_wid_->SelectConversation(other_id);
    msg_page_mgr_->OnConnectItemChanged(other_id, QString());
}

void MainWidget::OnOpenEmailView() {
    ShowOnMessagePage();
}

void MainWidget::OnUpdateMsgCount(int count) {
    msg_bubble_btn_->SetCount(count);
}

QMediaPlayer* MainWidget::Player() {
    // Made for the first voice played: the media backend scans its plugins as it starts, which
    // would weigh on every login.
    if (!player_) {
        player_ = new QMediaPlayer(this);
        player_->setVolume(100);
        ConnectPlayer();
    }
    return player_;
}

void MainWidget::OnPlayAudioFile(const QString& res_path) {
    const QUrl url = QUrl::fromLocalFile(res_path);
    QMediaPlayer* player = Player();
    // A second click on the voice that plays stops it.
    if (player->state() == QMediaPlayer::PlayingState &&
        player->currentMedia().request().url() == url) {
        player->stop();
        return;
    }
    player->setMedia(url);
    player->play();
}

void MainWidget::ConnectPlayer() {
    connect(player_, &QMediaPlayer::stateChanged, msg_page_mgr_, [this](QMediaPlayer::State state) {
        const bool playing = state == QMediaPlayer::PlayingState;
        msg_page_mgr_->OnVoicePlaying(
            playing ? player_->currentMedia().request().url().toLocalFile() : QString());
    });
}

void MainWidget::OnCatchExceptions() {
    QMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("文件大小超过限制"));
}
