#include "MessagePageMgr.h"

#include <QDebug>
#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include "ChatView.h"
#include "MessagePage.h"
#include "MessagePageSys.h"
#include "base/WorkerThread.h"
#include "engine/ExternalLink.h"

MessagePageMgr::MessagePageMgr(QObject* parent) : QObject(parent) {
    frame_ = new QFrame;
    frame_->setObjectName(QStringLiteral("msg_page_bg"));
    frame_->installEventFilter(this);
    auto* layout = new QVBoxLayout(frame_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    stack_ = new QStackedWidget(frame_);
    layout->addWidget(stack_);
    sys_page_ = new MessagePageSys(stack_);
    page_indexes_.insert(0, stack_->addWidget(sys_page_));
    CreateLinkThread();
}

MessagePageMgr::~MessagePageMgr() {
    worker_thread::Stop(this, &MessagePageMgr::quit_external_link_thread, link_thread_,
                        external_link_);
    // Placed in a window, the frame goes with it; alone, it goes with the manager.
    if (frame_ && !frame_->parentWidget())
        delete frame_;
    qDebug() << "MessagePageMgr::~MessagePageMgr";
}

void MessagePageMgr::CreateLinkThread() {
    external_link_ = new ExternalLink;
    connect(sys_page_, &MessagePageSys::req_sys_msg_external_link, external_link_,
            &ExternalLink::OnOpenSysMsg, Qt::QueuedConnection);
    connect(external_link_, &ExternalLink::open_link, this, &MessagePageMgr::OpenLink,
            Qt::QueuedConnection);
    connect(external_link_, &ExternalLink::dont_support_on_pc, this, &MessagePageMgr::SayNotOnPc,
            Qt::QueuedConnection);
    link_thread_ =
        worker_thread::Attach(this, &MessagePageMgr::quit_external_link_thread, external_link_);
    link_thread_->start(QThread::InheritPriority);
}

void MessagePageMgr::OpenLink(const QString& link) {
    qDebug().noquote() << "MessagePageMgr::OpenLink:" << link;
    QDesktopServices::openUrl(QUrl(link));
}

void MessagePageMgr::SayNotOnPc() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"),
                    QStringLiteral("PC客户端暂未上线，请到手机端查看。敬请期待"), QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

QFrame* MessagePageMgr::Frame() const {
    return frame_;
}

MessagePage* MessagePageMgr::Page(int other_id) const {
    if (!page_indexes_.contains(other_id))
        return nullptr;
    return qobject_cast<MessagePage*>(stack_->widget(page_indexes_.value(other_id)));
}

QWidget* MessagePageMgr::CurrentWidget() const {
    return stack_->currentWidget();
}

bool MessagePageMgr::OnScreen(int other_id) const {
    MessagePage* page = Page(other_id);
    return page && other_id == current_id_ && stack_->currentWidget() == page &&
           frame_->isVisible() && !frame_->window()->isMinimized();
}

MessagePage* MessagePageMgr::CreatePage(int other_id) {
    auto* page = new MessagePage(other_id, stack_);
    page->View()->SetDownloads(&downloads_);
    if (names_.contains(other_id))
        page->SetTitle(names_.value(other_id));
    page_indexes_.insert(other_id, stack_->count());
    stack_->addWidget(page);
    const auto queued = Qt::QueuedConnection;
    connect(page, &MessagePage::scroll_to_top, this, &MessagePageMgr::update_msg_page, queued);
    connect(page->View(), &ChatView::download_and_play_resource, this,
            &MessagePageMgr::download_and_play_resource, queued);
    connect(page->View(), &ChatView::download_and_open_resource_send_by_myself, this,
            &MessagePageMgr::download_and_open_resource_send_by_myself, queued);
    connect(page->View(), &ChatView::download_resource, this, &MessagePageMgr::download_resource,
            queued);
    page->View()->SetPlayingVoice(playing_voice_);
    connect(page, &MessagePage::send_msg, this, &MessagePageMgr::send_msg, queued);
    connect(page, &MessagePage::re_send_msg, this, &MessagePageMgr::re_send_msg, queued);
    connect(page, &MessagePage::receive_msg_on_chat, this, &MessagePageMgr::update_isread_state,
            queued);
    connect(page->View(), &ChatView::req_avatar, this, &MessagePageMgr::req_avatar, queued);
    connect(page, &MessagePage::scroll_to_bottom, this, &MessagePageMgr::load_newer, queued);
    return page;
}

void MessagePageMgr::OnConnectItemChanged(int other_id, QString other_name) {
    qDebug() << "MessagePageMgr::OnConnectItemChanged:" << other_id << other_name;
    if (!other_name.isEmpty())
        names_.insert(other_id, other_name);
    if (!page_indexes_.contains(other_id)) {
        stack_->setCurrentWidget(CreatePage(other_id));
        current_id_ = other_id;
        emit update_msg_page(other_id, 0, 0);
    } else {
        stack_->setCurrentIndex(page_indexes_.value(other_id));
        if (MessagePage* page = Page(other_id)) {
            // Left back in the history by a search: the conversation opens at its newest.
            anchors_.remove(other_id);
            if (page->HasNewer())
                page->Reset();
            page->ScrollToBottom();
            current_id_ = other_id;
            if (page->IsEmpty())
                emit update_msg_page(other_id, 0, 0);
        }
    }
    emit update_isread_state(other_id);
}

void MessagePageMgr::OnMsgPageDataReady(MessageItemInfoPointers messages) {
    if (!messages.isEmpty()) {
        // Records of a conversation that has no page are dropped.
        if (MessagePage* page = Page(messages.first()->other_id))
            page->Fill(messages, OnScreen(page->OtherId()));
    }
    qDeleteAll(messages);
}

void MessagePageMgr::OnFreshMessages(int previous_id, MessageItemInfoPointers messages) {
    if (!messages.isEmpty()) {
        if (MessagePage* page = Page(messages.first()->other_id))
            page->FillFresh(previous_id, messages, OnScreen(page->OtherId()));
    }
    qDeleteAll(messages);
}

void MessagePageMgr::OnMsgPageNullData(int other_id) {
    MessagePage* page = Page(other_id);
    const QString name = names_.value(other_id);
    if (page && !name.isEmpty())
        page->SetTitle(name);
}

void MessagePageMgr::OnUpdateDownloadPercent(QHash<QString, QString> message_id_percent) {
    downloads_.Update(message_id_percent);
}

void MessagePageMgr::OnUpdateMsgSysPage(MessageSysItemInfoPointers messages) {
    sys_page_->Refill(messages);
    qDeleteAll(messages);
}

void MessagePageMgr::OnUpdateMsgStateReback(int other_id, int tmp_msg_id, int state,
                                            QString err_msg_or_msg_id) {
    if (MessagePage* page = Page(other_id))
        page->UpdateSendState(tmp_msg_id, state, err_msg_or_msg_id);
}

void MessagePageMgr::OnUpdateMsgIsRead(int other_id, int message_id) {
    if (MessagePage* page = Page(other_id))
        page->MarkRead(message_id);
}

void MessagePageMgr::OnDownloadResSendByMyselfReback(QString message) {
    qDebug().noquote() << "MessagePageMgr::OnDownloadResSendByMyselfReback:" << message;
}

void MessagePageMgr::OnResourceDownloaded(int msg_type, QString reference, QString local_path) {
    for (auto it = page_indexes_.constBegin(); it != page_indexes_.constEnd(); ++it) {
        if (MessagePage* page = Page(it.key()))
            page->ShowAttachment(msg_type, reference, local_path);
    }
}

void MessagePageMgr::OnOwnMessageStored(int other_id, QString, int client_message_id, int msg_type,
                                        QString content_or_local_url) {
    if (MessagePage* page = Page(other_id))
        page->TakeClientId(client_message_id, msg_type, content_or_local_url);
}

void MessagePageMgr::OnVoicePlaying(QString path) {
    playing_voice_ = path;
    for (auto it = page_indexes_.constBegin(); it != page_indexes_.constEnd(); ++it) {
        if (MessagePage* page = Page(it.key()))
            page->View()->SetPlayingVoice(path);
    }
}

bool MessagePageMgr::eventFilter(QObject* watched, QEvent* event) {
    // Back on screen (window shown or restored again, message page chosen again): what came
    // meanwhile in the open conversation is read now, not while nobody looked. The type comes
    // first: a frame being destroyed still sends events, and is no QFrame any more to compare.
    if (event->type() == QEvent::Show && watched == frame_) {
        WatchWindow();
        ReadShownPage();
    } else if (event->type() == QEvent::WindowStateChange &&
               (watched == window_ || watched == frame_)) {
        ReadShownPage();
    }
    return QObject::eventFilter(watched, event);
}

void MessagePageMgr::WatchWindow() {
    QWidget* window = frame_->window();
    if (window == window_ || window == frame_)
        return;
    if (window_)
        window_->removeEventFilter(this);
    window_ = window;
    window_->installEventFilter(this);
}

void MessagePageMgr::ReadShownPage() {
    MessagePage* page = Page(current_id_);
    if (!page || !OnScreen(current_id_))
        return;
    if (!page->HasNewer())
        page->ScrollToBottom();
    emit update_isread_state(current_id_);
}

MessagePage* MessagePageMgr::ShowPage(int other_id, const QString& other_name) {
    if (!other_name.isEmpty())
        names_.insert(other_id, other_name);
    MessagePage* page = Page(other_id);
    if (!page)
        page = CreatePage(other_id);
    stack_->setCurrentWidget(page);
    current_id_ = other_id;
    return page;
}

void MessagePageMgr::OnOpenAtMessage(int other_id, QString other_name, int id) {
    MessagePage* page = ShowPage(other_id, other_name);
    if (page->ShowMessage(id)) {
        anchors_.remove(other_id);
    } else {
        anchors_.insert(other_id, id);
        emit load_around(other_id, id);
    }
    emit update_isread_state(other_id);
}

void MessagePageMgr::OnMsgAroundReady(int other_id, int id, MessageItemInfoPointers messages, bool,
                                      bool has_newer) {
    MessagePage* page = Page(other_id);
    if (page && anchors_.value(other_id) == id) {
        anchors_.remove(other_id);
        if (!messages.isEmpty())
            page->FillAround(messages, id, has_newer);
        else if (page->IsEmpty())
            emit update_msg_page(other_id, 0, 0);
    }
    qDeleteAll(messages);
}

void MessagePageMgr::OnMsgNewerReady(int other_id, MessageItemInfoPointers messages,
                                     bool has_newer) {
    if (MessagePage* page = Page(other_id))
        page->AppendNewer(messages, has_newer);
    qDeleteAll(messages);
}
