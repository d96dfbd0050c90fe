#include "MessageItem.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDebug>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidgetItem>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmapCache>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "ChatView.h"
#include "MsgFileItem.h"
#include "PictureViewer.h"
#include "base/Account.h"
#include "widgets/RoundAvatar.h"

namespace {

const int kAvatarSize = 54;
// The picture inside the avatar label's margins (message_page.qss).
const int kAvatarPictureSize = 40;
const int kTextMaxWidth = 333;
const int kAvatarRecheckMs = 3000;
// Side margins of a file bubble, as a text bubble's (message_page.qss).
const int kFileMargin = 8;
const int kVoiceFrameMs = 350;
const int kVoiceMinWidth = 96;
const int kVoiceMaxWidth = 240;
const int kVoicePxPerSecond = 6;
const QSize kPlaySize(22, 21);
const char kDefaultAvatar[] = "border-image: url(:/resource/default_avatar.png);";
const char kStateStyle[] =
    "color: %1; font-size: 14px; background: transparent; qproperty-alignment: "
    "'AlignLeft | AlignVCenter';";

// Avatars never change once stored, so a found one is drawn once for every bubble.
QPixmap CachedAvatar(int id, qreal pixel_ratio) {
    const QString key = QStringLiteral("bubble_avatar_%1_%2").arg(id).arg(pixel_ratio);
    QPixmap avatar;
    if (QPixmapCache::find(key, &avatar))
        return avatar;
    avatar = RoundAvatar::FromFolder(Account::AvatarPath(), QString::number(id),
                                     QSize(kAvatarPictureSize, kAvatarPictureSize), pixel_ratio);
    if (!avatar.isNull())
        QPixmapCache::insert(key, avatar);
    return avatar;
}

const char* SideName(int side) {
    switch (side) {
        case Bubble::kLeft:
            return "left";
        case Bubble::kRight:
            return "right";
        default:
            return "center";
    }
}

void InvalidateLayout(QLayout* layout) {
    for (int i = 0; i < layout->count(); ++i) {
        if (QLayout* inner = layout->itemAt(i)->layout())
            InvalidateLayout(inner);
    }
    layout->invalidate();
}

// Longer voice messages get wider bubbles.
int VoiceWidth(const QString& url) {
    const int seconds = url.section(QLatin1Char('|'), -1).toInt();
    return qBound(kVoiceMinWidth, kVoiceMinWidth + seconds * kVoicePxPerSecond, kVoiceMaxWidth);
}

bool IsMedia(int msg_type) {
    return msg_type == 3 || msg_type == 4 || msg_type == 5;
}

}  // namespace

MessageItem::MessageItem(const Bubble& bubble, ChatView* list, QListWidgetItem* row)
    : QWidget(nullptr),
      list_(list),
      row_(row),
      bubble_(bubble),
      content_(bubble.content),
      text_(bubble.text),
      request_(bubble.request.isEmpty() ? bubble.local_path : bubble.request),
      msg_type_(bubble.msg_type),
      side_(bubble.side == Bubble::kLeft || bubble.side == Bubble::kRight ? bubble.side
                                                                          : Bubble::kCenter),
      group_(bubble.group) {
    if (side_ == Bubble::kLeft)
        BuildLeft();
    else if (side_ == Bubble::kRight)
        BuildRight();
    else
        BuildCenter();
    if (side_ == Bubble::kCenter)
        return;
    SetSenderName(bubble.sender_name);
    SetSenderAvatar(bubble.avatar_id, bubble.avatar_name);
    SetState(bubble.state);
    SetPlaying(bubble.playing);
    FetchIfMissing();
}

MessageItem::~MessageItem() = default;

QWidget* MessageItem::BuildContent() {
    content_wid_ = msg_type_ == 2 ? BuildFileContent() : BuildLabelContent();
    content_wid_->setObjectName(QStringLiteral("item_content_lab_%1").arg(SideName(side_)));
    content_wid_->installEventFilter(this);
    return content_wid_;
}

QLabel* MessageItem::BuildLabelContent() {
    auto* label = new QLabel(this);
    if (side_ == Bubble::kCenter) {
        label->setTextFormat(Qt::PlainText);
        label->setText(content_);
        return label;
    }
    label->setTextFormat(Qt::RichText);
    if (msg_type_ == 1) {
        // Lines of one message stand close together, not a paragraph apart.
        label->setText(
            QString(content_).replace(QLatin1String("</p><p>"), QLatin1String("<br />")));
        label->setWordWrap(true);
        label->setMaximumWidth(kTextMaxWidth);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setProperty("kind", "text");
    } else {
        label->setText(content_);
        label->setProperty("kind", msg_type_ == 4 ? "audio" : "media");
        label->setCursor(Qt::PointingHandCursor);
        if (msg_type_ == 4) {
            label->setMinimumWidth(VoiceWidth(bubble_.url));
            label->setAlignment((side_ == Bubble::kRight ? Qt::AlignRight : Qt::AlignLeft) |
                                Qt::AlignVCenter);
        }
    }
    return label;
}

QWidget* MessageItem::BuildFileContent() {
    auto* holder = new QWidget(this);
    holder->setProperty("kind", "file");
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(kFileMargin, 0, kFileMargin, 0);
    file_item_ = new MsgFileItem(bubble_, list_, row_, holder);
    layout->addWidget(file_item_);
    return holder;
}

QLabel* MessageItem::NewAvatar() {
    auto* avatar = new QLabel(this);
    avatar->setObjectName(QStringLiteral("item_avatar_lab"));
    avatar->setFixedSize(kAvatarSize, kAvatarSize);
    avatar->setStyleSheet(QLatin1String(kDefaultAvatar));
    return avatar;
}

QFrame* MessageItem::NewStateFrame() {
    state_frame_ = new QFrame(this);
    state_frame_->setObjectName(QStringLiteral("item_msg_state_frame"));
    auto* layout = new QVBoxLayout(state_frame_);
    layout->setContentsMargins(0, 0, 0, 0);
    state_lab_ = new QLabel(state_frame_);
    state_lab_->setObjectName(QStringLiteral("item_msg_state_lab"));
    state_lab_->installEventFilter(this);
    state_lab_->hide();
    layout->addWidget(state_lab_, 0, Qt::AlignBottom);
    return state_frame_;
}

void MessageItem::BuildLeft() {
    auto* row = new QHBoxLayout(this);
    row->setSpacing(1);
    row->setContentsMargins(3, 3, 3, 3);
    avatar_lab_ = NewAvatar();
    row->addWidget(avatar_lab_, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->setContentsMargins(0, 0, 0, 0);
    if (group_) {
        group_frame_ = new QFrame(this);
        group_frame_->setObjectName(QStringLiteral("group_item_frame"));
        auto* name_layout = new QHBoxLayout(group_frame_);
        name_layout->setContentsMargins(0, 0, 0, 0);
        name_lab_ = new QLabel(group_frame_);
        name_lab_->setObjectName(QStringLiteral("group_men_name_lab"));
        name_layout->addWidget(name_lab_);
        column->addWidget(group_frame_);
    }
    column->addWidget(BuildContent(), 0, Qt::AlignLeft);
    column->addStretch();
    row->addLayout(column);
    row->addStretch(1);
    AddPlayLabel();
}

void MessageItem::BuildRight() {
    auto* row = new QHBoxLayout(this);
    row->setSpacing(1);
    row->setContentsMargins(3, 3, 3, 3);
    row->addStretch(1);
    // The state stands at the foot of the bubble, not of the taller avatar.
    auto* bubble = new QHBoxLayout;
    bubble->setSpacing(1);
    bubble->addWidget(NewStateFrame(), 0, Qt::AlignBottom);
    bubble->addWidget(BuildContent());
    row->addLayout(bubble);
    row->setAlignment(bubble, Qt::AlignTop);
    avatar_lab_ = NewAvatar();
    row->addWidget(avatar_lab_, 0, Qt::AlignTop);
    AddPlayLabel();
}

void MessageItem::AddPlayLabel() {
    if (msg_type_ != 5)
        return;
    play_lab_ = new QLabel(this);
    play_lab_->setObjectName(QStringLiteral("item_play_lab"));
    play_lab_->setFixedSize(kPlaySize);
    // A click on it is a click on the video.
    play_lab_->setAttribute(Qt::WA_TransparentForMouseEvents);
    play_lab_->hide();
}

void MessageItem::BuildCenter() {
    auto* row = new QHBoxLayout(this);
    row->setSpacing(1);
    row->setContentsMargins(3, 3, 3, 3);
    row->addStretch(1);
    row->addWidget(BuildContent());
    row->addStretch(1);
}

void MessageItem::FitContent() {
    auto* label = qobject_cast<QLabel*>(content_wid_);
    if (!label || !label->wordWrap())
        return;
    // Unwrapped, the label measures its longest line.
    label->setWordWrap(false);
    const int natural = label->sizeHint().width();
    label->setWordWrap(true);
    label->setFixedWidth(qMin(natural, kTextMaxWidth));
}

int MessageItem::RowHeight(int width) {
    // Sizes cached before the style was applied no longer hold, in the inner layouts too.
    InvalidateLayout(layout());
    const int height = heightForWidth(width);
    return height > 0 ? height : sizeHint().height();
}

void MessageItem::SetSenderName(const QString& name) {
    if (name_lab_)
        name_lab_->setText(name);
}

void MessageItem::SetSenderAvatar(int sender_id, const QString& name) {
    if (!avatar_lab_ || sender_id == 0)
        return;
    avatar_id_ = sender_id;
    avatar_lab_->setToolTip(name);
    if (ShowAvatar())
        return;
    // Nobody may have asked for it yet: a group member seen only here.
    list_->AskAvatar(sender_id);
    QTimer::singleShot(kAvatarRecheckMs, this, [this] { ShowAvatar(); });
}

bool MessageItem::ShowAvatar() {
    ++avatar_lookups_;
    const QPixmap avatar = CachedAvatar(avatar_id_, avatar_lab_->devicePixelRatioF());
    if (avatar.isNull()) {
        avatar_lab_->setStyleSheet(QLatin1String(kDefaultAvatar));
        return false;
    }
    avatar_lab_->setStyleSheet(QString());
    avatar_lab_->setPixmap(avatar);
    return true;
}

void MessageItem::SetState(int state) {
    if (!state_lab_)
        return;
    state_lab_->show();
    failed_ = false;
    state_lab_->setText(QString());
    state_lab_->setToolTip(QString());
    state_lab_->setCursor(Qt::ArrowCursor);
    if (state == -1) {
        state_lab_->setFixedSize(21, 20);
        state_lab_->setStyleSheet(
            QStringLiteral("border-image: url(:/resource/msg_send_failed.png);"));
        state_lab_->setToolTip(QStringLiteral("发送失败，点击重新发送"));
        state_lab_->setCursor(Qt::PointingHandCursor);
        failed_ = true;
    } else if (state == 0 || state == 1 || state == 2) {
        state_lab_->setFixedSize(36, 20);
        state_lab_->setText(state == 2 ? QStringLiteral("已读") : QStringLiteral("未读"));
        state_lab_->setStyleSheet(
            QString::fromLatin1(kStateStyle).arg(state == 2 ? "#999999" : "#1891ed"));
    } else {
        state_lab_->hide();
    }
    // Nobody reads a group message for the sender, but a failure must still show.
    if (group_ && !failed_)
        state_lab_->hide();
    if (file_item_)
        file_item_->SetSendState(state);
}

void MessageItem::RefreshFile() {
    if (file_item_)
        file_item_->Refresh();
}

void MessageItem::SetPlaying(bool playing) {
    auto* label = qobject_cast<QLabel*>(content_wid_);
    if (msg_type_ != 4 || !label || playing == playing_)
        return;
    playing_ = playing;
    // The bubble is tinted while it plays (message_page.qss).
    label->setProperty("playing", playing);
    label->style()->unpolish(label);
    label->style()->polish(label);
    if (!playing) {
        voice_timer_->stop();
        label->setText(content_);
        return;
    }
    if (!voice_timer_) {
        voice_timer_ = new QTimer(this);
        voice_timer_->setInterval(kVoiceFrameMs);
        connect(voice_timer_, &QTimer::timeout, this, &MessageItem::NextVoiceFrame);
    }
    voice_frame_ = 0;
    NextVoiceFrame();
    voice_timer_->start();
}

void MessageItem::NextVoiceFrame() {
    auto* label = qobject_cast<QLabel*>(content_wid_);
    // One arc, two arcs, then the whole icon, as sound spreading from the speaker.
    voice_frame_ = voice_frame_ % 3 + 1;
    QString html = content_;
    if (voice_frame_ < 3)
        html.replace(QLatin1String("_item.png"), QStringLiteral("_play_%1.png").arg(voice_frame_));
    label->setText(html);
}

void MessageItem::FetchIfMissing() {
    if (!IsMedia(msg_type_) || bubble_.reference.isEmpty() ||
        QFileInfo(bubble_.local_path).isFile()) {
        return;
    }
    // Fetched when the parser stored it; asked again once for a download that failed.
    Bubble* record = row_ ? list_->BubbleAt(list_->row(row_)) : nullptr;
    if (record && record->fetch_asked)
        return;
    if (record)
        record->fetch_asked = true;
    emit list_->download_resource(msg_type_, request_);
}

void MessageItem::OpenMedia() {
    const bool here = QFileInfo(bubble_.local_path).isFile();
    if (msg_type_ == 3 && here && PictureViewer::Open(bubble_.local_path))
        return;
    // A picture that is not here appears in its bubble once fetched.
    if (msg_type_ == 3)
        emit list_->download_resource(msg_type_, request_);
    else
        emit list_->download_and_play_resource(msg_type_, request_);
}

bool MessageItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_wid_ && ContentFilter(event))
        return true;
    if (watched == state_lab_ && StateFilter(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool MessageItem::ContentFilter(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            qDebug() << "Keyboard press";
            return false;
        case QEvent::ContextMenu:
            qDebug() << "Mouse press R";
            if (msg_type_ != 1 || side_ == Bubble::kCenter)
                return false;
            ShowCopyMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                IsMedia(msg_type_) && side_ != Bubble::kCenter) {
                OpenMedia();
                qDebug() << "Mouse press L";
            }
            return false;
        default:
            return false;
    }
}

bool MessageItem::StateFilter(QEvent* event) {
    if (event->type() != QEvent::MouseButtonRelease ||
        static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
        return false;
    }
    if (failed_ && msg_type_ >= 1 && msg_type_ <= 5) {
        // Once: the row goes away with the re-send.
        failed_ = false;
        emit list_->resend_item(row_);
    }
    qDebug() << "Mouse press L";
    return true;
}

void MessageItem::ShowCopyMenu(const QPoint& global_pos) {
    auto* label = qobject_cast<QLabel*>(content_wid_);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("item_menu"));
    QAction* copy = menu.addAction(QStringLiteral("复制"));
    if (menu.exec(global_pos) != copy)
        return;
    const QString selected = label ? label->selectedText() : QString();
    QApplication::clipboard()->setText(selected.isEmpty() ? text_ : selected);
}

void MessageItem::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!play_lab_ || !content_wid_)
        return;
    const QRect content = content_wid_->geometry();
    play_lab_->move(content.left() + content.width() / 2 - 11,
                    content.top() + content.height() / 2 - 10);
    play_lab_->show();
    play_lab_->raise();
}
