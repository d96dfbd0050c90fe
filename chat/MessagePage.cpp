#include "MessagePage.h"

#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "BubbleFactory.h"
#include "ChatView.h"
#include "EmojiWid.h"
#include "InputView.h"
#include "MessageHtml.h"
#include "PasteFiles.h"
#include "screenshot/OEScreenshot.h"
#include "widgets/UiFont.h"
#include "widgets/WindowStyle.h"

namespace {
const int kScrollStep = 24;
const int kTitleWidth = 420;
}  // namespace

MessagePage::MessagePage(int other_id, QWidget* parent) : QWidget(parent), other_id_(other_id) {
    SetupUI();
    ConnectSignals();
}

MessagePage::~MessagePage() {
    qDebug() << "MessagePage::~MessagePage";
}

void MessagePage::SetupUI() {
    WindowStyle::Apply(this, QStringLiteral("message_page"),
                       QStringLiteral(":/ui/message_page.qss"),
                       "MessagePage::SetupUI : load qss failed");
    setAttribute(Qt::WA_StyledBackground);
    setAcceptDrops(true);
    chat_view_ = new ChatView(this);
    chat_view_->verticalScrollBar()->setSingleStep(kScrollStep);
    input_view_ = new InputView(this);
    input_view_->setPlaceholderText(QStringLiteral("输入消息…"));
    input_view_->installEventFilter(this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(BuildTitle());
    column->addWidget(BuildTopTip());
    column->addWidget(chat_view_, 1);
    column->addWidget(BuildTools());
    column->addWidget(input_view_);
    column->addWidget(BuildSendRow());
}

QWidget* MessagePage::BuildTitle() {
    title_name_lab_ = new QLabel(this);
    title_name_lab_->setObjectName(QStringLiteral("title_name_lab"));
    return title_name_lab_;
}

QWidget* MessagePage::BuildTopTip() {
    top_tip_ = new QFrame(this);
    top_tip_->setObjectName(QStringLiteral("top_tip_frame"));
    top_tip_lab_ = new QLabel(top_tip_);
    top_tip_lab_->setObjectName(QStringLiteral("top_tip_lab"));
    top_tip_close_btn_ = new QPushButton(top_tip_);
    top_tip_close_btn_->setObjectName(QStringLiteral("top_tip_close_btn"));
    top_tip_close_btn_->setCursor(Qt::PointingHandCursor);
    top_tip_close_btn_->setFixedSize(16, 16);
    auto* row = new QHBoxLayout(top_tip_);
    row->setContentsMargins(16, 6, 10, 6);
    row->addWidget(top_tip_lab_, 1);
    row->addWidget(top_tip_close_btn_);
    top_tip_->hide();
    return top_tip_;
}

QWidget* MessagePage::BuildTools() {
    auto* tools = new QFrame(this);
    tools->setObjectName(QStringLiteral("tools_lab"));
    const auto tool = [tools](const char* name, const QString& tip) {
        auto* button = new QPushButton(tools);
        button->setObjectName(QLatin1String(name));
        button->setFixedSize(30, 30);
        button->setCursor(Qt::PointingHandCursor);
        button->setToolTip(tip);
        return button;
    };
    emoji_btn_ = tool("emoji_btn", QStringLiteral("表情"));
    files_btn_ = tool("files_btn", QStringLiteral("发送文件"));
    screen_shot_btn_ = tool("screen_shot_btn", QStringLiteral("截图"));
    auto* row = new QHBoxLayout(tools);
    row->setContentsMargins(12, 4, 12, 0);
    row->setSpacing(6);
    row->addWidget(emoji_btn_);
    row->addWidget(files_btn_);
    row->addWidget(screen_shot_btn_);
    row->addStretch();
    return tools;
}

QWidget* MessagePage::BuildSendRow() {
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("send_row_frame"));
    auto* tip = new QLabel(QStringLiteral("Enter 发送，Ctrl+Enter 换行"), frame);
    tip->setObjectName(QStringLiteral("send_tip_lab"));
    send_btn_ = new QPushButton(QStringLiteral("发送"), frame);
    send_btn_->setObjectName(QStringLiteral("send_btn"));
    send_btn_->setCursor(Qt::PointingHandCursor);
    send_btn_->setFixedSize(80, 30);
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(12, 0, 16, 12);
    row->setSpacing(12);
    row->addStretch();
    row->addWidget(tip);
    row->addWidget(send_btn_);
    return frame;
}

void MessagePage::ConnectSignals() {
    connect(top_tip_close_btn_, &QPushButton::clicked, top_tip_, &QWidget::hide);
    connect(send_btn_, &QPushButton::clicked, this, &MessagePage::OnSendClicked);
    connect(emoji_btn_, &QPushButton::clicked, this, &MessagePage::OnEmojiButton);
    connect(files_btn_, &QPushButton::clicked, this, &MessagePage::OnFilesButton);
    connect(screen_shot_btn_, &QPushButton::clicked, this, &MessagePage::OnScreenShot);
    connect(this, &MessagePage::send_file, this, &MessagePage::OnSendFile, Qt::QueuedConnection);
    connect(chat_view_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &MessagePage::OnScrolled);
    connect(chat_view_, &ChatView::resend_item, this, &MessagePage::ReSend);
}

void MessagePage::SetTitle(const QString& title) {
    title_ = title;
    UiFont::SetElidedText(title_name_lab_, title, kTitleWidth, UiFont::Font(16));
}

bool MessagePage::IsEmpty() const {
    return chat_view_->count() == 0;
}

void MessagePage::Fill(const MessageItemInfoPointers& all, bool on_screen) {
    if (all.isEmpty())
        return;
    const bool older = has_records_ && all.first()->id < min_id_;
    // Below a page opened back in the history, newer messages come with its newer pages.
    if (has_newer_ && !older)
        return;
    // A page may come twice (opened while its first message arrived): shown rows are skipped.
    MessageItemInfoPointers records;
    for (MessageItemInfo* record : all) {
        if (!has_records_ || (older ? record->id < min_id_ : record->id > max_id_))
            records.append(record);
    }
    if (!has_records_)
        SkipSentFromHere(&records);
    if (records.isEmpty())
        return;
    if (!has_records_) {
        has_records_ = true;
        other_id_ = records.first()->other_id;
        min_id_ = records.first()->id;
        max_id_ = records.last()->id;
        first_date_ = records.first()->send_date;
    } else {
        min_id_ = qMin(min_id_, records.first()->id);
        max_id_ = qMax(max_id_, records.last()->id);
    }
    if (older) {
        InsertOlder(records);
        chat_view_->verticalScrollBar()->setValue(kOlderPageScrollValue);
        return;
    }
    if (returning_to_newest_)
        AppendAboveSentFromHere(records);
    else
        Append(records);
    if (on_screen) {
        ScrollToBottom();
        emit receive_msg_on_chat(other_id_);
    }
}

void MessagePage::FillFresh(int previous_id, const MessageItemInfoPointers& records,
                            bool on_screen) {
    if (has_records_ && !has_newer_ && !returning_to_newest_ && previous_id == max_id_)
        Fill(records, on_screen);
}

void MessagePage::SkipSentFromHere(MessageItemInfoPointers* records) {
    // Bubbles sent before the first record came (a new conversation) are those records: the
    // bubble stays, learns its row, and the record is not shown twice.
    QList<Bubble*> local;
    for (int row = 0; row < chat_view_->count(); ++row) {
        Bubble* bubble = chat_view_->BubbleAt(row);
        if (bubble->side == Bubble::kRight && bubble->client_message_id == 0)
            local.append(bubble);
    }
    for (auto it = records->begin(); it != records->end() && !local.isEmpty();) {
        const MessageItemInfo* record = *it;
        const QString value =
            record->msg_type == 1 ? record->content : BubbleFactory::LocalPathFor(*record);
        auto match = std::find_if(local.begin(), local.end(), [&](const Bubble* bubble) {
            return record->send_or_receive != 0 && bubble->msg_type == record->msg_type &&
                   bubble->SentValue() == value;
        });
        if (match == local.end()) {
            ++it;
            continue;
        }
        (*match)->client_message_id = record->id;
        local.erase(match);
        it = records->erase(it);
    }
}

void MessagePage::TakeTitleFrom(const MessageItemInfo& record) {
    if (title_set_)
        return;
    title_set_ = true;
    const QString name = other_id_ < 0 ? record.group_name : record.other_name;
    // Group names come with the contact trees; until then the name the page was opened with.
    if (!name.isEmpty())
        SetTitle(name);
}

void MessagePage::Append(const MessageItemInfoPointers& records) {
    QList<Bubble> bubbles;
    for (const MessageItemInfo* record : records) {
        TakeTitleFrom(*record);
        AddSeparatorIfNewDay(record->send_date, &bubbles);
        bubbles << BubbleFactory::FromRecord(*record, other_id_ < 0);
    }
    chat_view_->InsertItems(bubbles, -1);
}

void MessagePage::InsertOlder(const MessageItemInfoPointers& records) {
    QList<Bubble> bubbles;
    QDateTime day;
    for (const MessageItemInfo* record : records) {
        TakeTitleFrom(*record);
        if (!BubbleFactory::SameDay(day, record->send_date)) {
            day = record->send_date;
            bubbles << BubbleFactory::Separator(day);
        }
        bubbles << BubbleFactory::FromRecord(*record, other_id_ < 0);
    }
    chat_view_->InsertItems(bubbles, 0);
    // The separator that headed the page before now stands inside that day.
    const int old_top_row = bubbles.size();
    const Bubble* old_top = chat_view_->BubbleAt(old_top_row);
    if (old_top && old_top->msg_type == Bubble::kSeparator &&
        BubbleFactory::SameDay(day, first_date_)) {
        chat_view_->RemoveRow(old_top_row);
    }
    first_date_ = records.first()->send_date;
}

void MessagePage::AddSeparatorIfNewDay(const QDateTime& date, QList<Bubble>* bubbles) {
    if (BubbleFactory::SameDay(date, last_date_))
        return;
    last_date_ = date;
    bubbles->append(BubbleFactory::Separator(date));
}

void MessagePage::ScrollToBottom() {
    chat_view_->scrollToBottom();
}

void MessagePage::OnScrolled(int value) {
    if (value == 0 && has_records_ && chat_view_->count() > 0)
        emit scroll_to_top(other_id_, min_id_, max_id_);
    AskNewerAtBottom();
}

void MessagePage::AskNewerAtBottom() {
    if (!has_newer_ || newer_asked_ ||
        chat_view_->verticalScrollBar()->value() < chat_view_->verticalScrollBar()->maximum()) {
        return;
    }
    newer_asked_ = true;
    emit scroll_to_bottom(other_id_, max_id_);
}

void MessagePage::Reset() {
    chat_view_->Clear();
    has_records_ = false;
    min_id_ = 0;
    max_id_ = 0;
    last_date_ = QDateTime();
    first_date_ = QDateTime();
    has_newer_ = false;
    newer_asked_ = false;
    returning_to_newest_ = false;
}

void MessagePage::FillAround(const MessageItemInfoPointers& records, int id, bool has_newer) {
    Reset();
    Fill(records, false);
    has_newer_ = has_newer;
    ShowMessage(id);
    // A short page may end inside the view: there is nothing to scroll to the bottom.
    AskNewerAtBottom();
}

void MessagePage::AppendNewer(const MessageItemInfoPointers& records, bool has_newer) {
    // Started again meanwhile: the newest page shows instead.
    if (!has_newer_)
        return;
    newer_asked_ = false;
    has_newer_ = has_newer;
    MessageItemInfoPointers fresh;
    for (MessageItemInfo* record : records) {
        if (record->id > max_id_)
            fresh.append(record);
    }
    if (fresh.isEmpty())
        return;
    max_id_ = fresh.last()->id;
    Append(fresh);
}

bool MessagePage::ShowMessage(int id) {
    const int row = chat_view_->RowOfId(id);
    if (row < 0)
        return false;
    chat_view_->ShowRow(row);
    return true;
}

void MessagePage::ReturnToNewest() {
    Reset();
    returning_to_newest_ = true;
    emit scroll_to_top(other_id_, 0, 0);
}

void MessagePage::AppendAboveSentFromHere(const MessageItemInfoPointers& records) {
    returning_to_newest_ = false;
    QList<Bubble> sent;
    for (int row = 0; row < chat_view_->count(); ++row) {
        const Bubble* bubble = chat_view_->BubbleAt(row);
        if (bubble->msg_type != Bubble::kSeparator)
            sent.append(*bubble);
    }
    chat_view_->Clear();
    last_date_ = QDateTime();
    Append(records);
    QList<Bubble> bubbles;
    for (const Bubble& bubble : sent) {
        AddSeparatorIfNewDay(QDateTime::currentDateTime(), &bubbles);
        bubbles << bubble;
    }
    chat_view_->InsertItems(bubbles, -1);
}

void MessagePage::AddOwnBubble(Bubble bubble) {
    if (has_newer_)
        ReturnToNewest();
    ++counter_;
    QList<Bubble> bubbles;
    AddSeparatorIfNewDay(QDateTime::currentDateTime(), &bubbles);
    bubble.tmp_msg_id = counter_;
    bubbles << bubble;
    chat_view_->InsertItems(bubbles, -1);
    ScrollToBottom();
    // A request that failed on the way is never answered: it must not look sent.
    const int tmp_msg_id = counter_;
    QTimer::singleShot(send_timeout_ms_, this, [this, tmp_msg_id] {
        const int row = FindOwn(tmp_msg_id, 0);
        if (row >= 0 && chat_view_->BubbleAt(row)->state == Bubble::kNoState)
            chat_view_->SetState(row, -1);
    });
}

void MessagePage::TakeClientId(int client_message_id, int msg_type, const QString& content) {
    for (int row = 0; row < chat_view_->count(); ++row) {
        Bubble* bubble = chat_view_->BubbleAt(row);
        if (bubble->tmp_msg_id != 0 && bubble->client_message_id == 0 &&
            bubble->msg_type == msg_type && bubble->SentValue() == content) {
            bubble->client_message_id = client_message_id;
            return;
        }
    }
}

void MessagePage::OnSendClicked() {
    const QString text = input_view_->SentText();
    if (text.trimmed().isEmpty())
        return;
    Bubble bubble = BubbleFactory::Own(MessageHtml::Text(text), 1, other_id_ < 0);
    bubble.text = text;
    AddOwnBubble(bubble);
    input_view_->clear();
    emit send_msg(other_id_, title_, 1, counter_, text);
}

void MessagePage::SendImage(const QString& path) {
    const QSize size = MessageHtml::DisplaySize(MessageHtml::ImageSize(path));
    Bubble bubble = BubbleFactory::Own(MessageHtml::LocalPicture(path, size), 3, other_id_ < 0);
    bubble.local_path = path;
    AddOwnBubble(bubble);
    emit send_msg(other_id_, title_, 3, counter_, path);
}

void MessagePage::SendVideo(const QString& path) {
    const QString thumbnail = PasteFiles::VideoThumbnail(path);
    const QSize size = MessageHtml::DisplaySize(MessageHtml::ImageSize(thumbnail));
    Bubble bubble =
        BubbleFactory::Own(MessageHtml::LocalPicture(thumbnail, size), 5, other_id_ < 0);
    bubble.local_path = path;
    AddOwnBubble(bubble);
    emit send_msg(other_id_, title_, 5, counter_, path);
}

void MessagePage::OnSendFile(const QString& file_path) {
    const QFileInfo info(file_path);
    if (info.isSymLink() || !info.isFile()) {
        ShowTip(QStringLiteral("只能发送文件：%1 未发送").arg(info.fileName()));
        return;
    }
    const QString path = info.absoluteFilePath();
    qDebug().noquote() << "MessagePage::OnSendFile:" << path;
    Bubble bubble = BubbleFactory::Own(path, 2, other_id_ < 0);
    bubble.local_path = path;
    AddOwnBubble(bubble);
    emit send_msg(other_id_, title_, 2, counter_, path);
}

void MessagePage::OnPaste() {
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime) {
        input_view_->paste();
        return;
    }
    if (mime->hasUrls() && !mime->urls().isEmpty()) {
        const QString path = mime->urls().first().toLocalFile();
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (QFileInfo(path).isFile() && image_suffixes_.contains(suffix)) {
            SendImage(path);
            return;
        }
        if (QFileInfo(path).isFile() && video_suffixes_.contains(suffix)) {
            SendVideo(path);
            return;
        }
    }
    if (mime->hasImage()) {
        const QString path = PasteFiles::SaveImage(qvariant_cast<QImage>(mime->imageData()));
        if (!path.isEmpty()) {
            SendImage(path);
            return;
        }
    }
    input_view_->paste();
}

int MessagePage::FindOwn(int tmp_msg_id, int message_id) const {
    for (int row = chat_view_->count() - 1; row >= 0; --row) {
        const Bubble* bubble = chat_view_->BubbleAt(row);
        if (bubble->side != Bubble::kRight)
            continue;
        if (tmp_msg_id ? bubble->tmp_msg_id == tmp_msg_id : bubble->message_id == message_id)
            return row;
    }
    return -1;
}

void MessagePage::UpdateSendState(int tmp_msg_id, int state, const QString& err_msg_or_msg_id) {
    const int row = tmp_msg_id ? FindOwn(tmp_msg_id, 0) : -1;
    if (row < 0)
        return;
    if (state == 0) {
        chat_view_->SetState(row, -1);
    } else if (state == 1) {
        bool ok = false;
        const int message_id = err_msg_or_msg_id.toInt(&ok);
        chat_view_->BubbleAt(row)->message_id = ok ? message_id : -1;
        chat_view_->SetState(row, 1);
    } else {
        chat_view_->SetState(row, state);
    }
}

void MessagePage::MarkRead(int message_id) {
    const int row = FindOwn(0, message_id);
    if (row >= 0)
        chat_view_->SetState(row, 2);
}

void MessagePage::ShowAttachment(int msg_type, const QString& reference,
                                 const QString& local_path) {
    if (reference.isEmpty())
        return;
    for (int row = 0; row < chat_view_->count(); ++row) {
        Bubble* bubble = chat_view_->BubbleAt(row);
        if (bubble->msg_type != msg_type || bubble->reference != reference)
            continue;
        bubble->local_path = local_path;
        chat_view_->SetContent(row, MessageHtml::ForAttachment(msg_type, local_path, bubble->url,
                                                               bubble->side == Bubble::kLeft));
    }
}

void MessagePage::ReSend(QListWidgetItem* list_item) {
    const int row = chat_view_->row(list_item);
    if (row < 0)
        return;
    const Bubble old = *chat_view_->BubbleAt(row);
    Bubble bubble = BubbleFactory::Own(old.content, old.msg_type, other_id_ < 0);
    bubble.text = old.text;
    bubble.local_path = old.local_path;
    AddOwnBubble(bubble);
    chat_view_->RemoveRow(row);
    emit re_send_msg(old.client_message_id, other_id_, title_, old.msg_type, counter_,
                     old.SentValue());
}

bool MessagePage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == input_view_ && event->type() == QEvent::KeyPress &&
        KeyPressed(static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool MessagePage::KeyPressed(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (ctrl) {
            input_view_->insertPlainText(QStringLiteral("\r\n"));
            return true;
        }
        if (event->modifiers() & Qt::ShiftModifier)
            return false;
        send_btn_->animateClick(100);
        return true;
    }
    if (ctrl && event->key() == Qt::Key_V) {
        OnPaste();
        return true;
    }
    return false;
}

void MessagePage::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list")))
        event->acceptProposedAction();
}

void MessagePage::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls())
        emit send_file(url.toLocalFile());
    event->acceptProposedAction();
}

void MessagePage::OnEmojiButton() {
    if (!emoji_wid_) {
        emoji_wid_ = new EmojiWid(this);
        connect(emoji_wid_, &EmojiWid::click_emoji_name, input_view_, &InputView::InsertEmoji);
    }
    emoji_wid_->PopUpAbove(emoji_btn_);
}

void MessagePage::OnFilesButton() {
    QFileDialog dialog(this, QStringLiteral("选择文件"), QStringLiteral("."),
                       QStringLiteral("文件(*.*)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setViewMode(QFileDialog::Detail);
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (const QString& path : dialog.selectedFiles())
        emit send_file(path);
}

void MessagePage::OnScreenShot() {
    // The overlay shows itself and goes when closed; the capture it leaves in the clipboard is
    // sent like a pasted picture.
    auto* screenshot = new OEScreenshot;
    connect(screenshot, &OEScreenshot::screen_ready, this, &MessagePage::OnPaste,
            Qt::QueuedConnection);
}

void MessagePage::ShowTip(const QString& text) {
    top_tip_lab_->setText(text);
    top_tip_->show();
}
