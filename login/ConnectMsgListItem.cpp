#include "ConnectMsgListItem.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QVariant>

#include "widgets/AvatarCache.h"
#include "widgets/UiFont.h"

namespace {

const int kRowAvatar = 60;
const int kNameElide = 99;
const int kPreviewElide = 123;
const int kLeafAvatar = 50;
// The picture is drawn inside its label with this much room around it, so that neighbouring
// rows do not touch.
const int kAvatarInset = 7;
const int kNamePx = 14;
const int kNameLine = 22;
const int kPreviewLine = 18;
const int kPreviewPx = 12;
const int kCountPx = 11;

const char kOtherId[] = "other_id";
const char kElideWidth[] = "elide_width";
const char kDefaultAvatar[] = "border-image: url(:/resource/default_avatar.png);";
const char kSystemAvatar[] = "image: url(:/resource/sys_msg_avatar.png);";
const char kGroupAvatar[] = "image: url(:/resource/discuss_group.png);";

void SetStyle(QWidget* widget, const char* style) {
    const QString sheet =
        *style ? QStringLiteral("%1 margin: %2px;").arg(QLatin1String(style)).arg(kAvatarInset)
               : QString();
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

}  // namespace

ConnectMsgListItem::ConnectMsgListItem(Mode mode, AvatarCache* avatars, QWidget* parent)
    : QWidget(parent), avatars_(avatars) {
    if (mode == kConversation)
        SetupConversation();
    else
        SetupTreeLeaf();
    SetStyle(avatar_lab_, kDefaultAvatar);
}

void ConnectMsgListItem::SetupConversation() {
    setFixedHeight(kRowHeight);
    avatar_lab_ = new QLabel(this);
    avatar_lab_->setObjectName(QStringLiteral("one_avatar_lab"));
    avatar_lab_->setFixedSize(kRowAvatar, kRowAvatar);
    avatar_lab_->setAlignment(Qt::AlignCenter);
    name_lab_ = ElidedLabel("one_name_lab", kNameElide, kNamePx);
    short_msg_lab_ = ElidedLabel("one_short_msg_lab", kPreviewElide, kPreviewPx);
    // Fixed sizes: a new text then moves nothing, so refilling a row lays nothing out again.
    name_lab_->setFixedSize(kNameElide, kNameLine);
    short_msg_lab_->setFixedSize(kPreviewElide, kPreviewLine);
    count_lab_ = new QLabel(this);
    count_lab_->setObjectName(QStringLiteral("count_lab"));
    count_lab_->setFont(UiFont::Font(kCountPx));
    count_lab_->setAlignment(Qt::AlignCenter);
    count_lab_->setFixedHeight(16);
    count_lab_->setMinimumWidth(16);
    count_lab_->hide();

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(4);
    top->addWidget(name_lab_);
    top->addStretch();
    top->addWidget(count_lab_);
    auto* text = new QVBoxLayout;
    text->setContentsMargins(0, 10, 0, 10);
    text->setSpacing(0);
    text->addLayout(top);
    text->addWidget(short_msg_lab_);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 8, 0);
    row->setSpacing(2);
    row->addWidget(avatar_lab_);
    row->addLayout(text, 1);
}

void ConnectMsgListItem::SetupTreeLeaf() {
    setFixedHeight(kLeafHeight);
    avatar_lab_ = new QLabel(this);
    avatar_lab_->setObjectName(QStringLiteral("leaf_avatar_lab"));
    avatar_lab_->setFixedSize(kLeafAvatar, kLeafAvatar);
    avatar_lab_->setAlignment(Qt::AlignCenter);
    name_lab_ = ElidedLabel("group_name_lab", kNameElide, kNamePx);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 4, 0);
    row->setSpacing(3);
    row->addWidget(avatar_lab_);
    row->addWidget(name_lab_, 1);
}

QLabel* ConnectMsgListItem::ElidedLabel(const char* name, int elide_width, int pixel_size) {
    auto* label = new QLabel(this);
    label->setObjectName(QLatin1String(name));
    label->setProperty(kElideWidth, elide_width);
    label->setFont(UiFont::Font(pixel_size));
    return label;
}

void ConnectMsgListItem::SetElided(QLabel* label, QString* shown, const QString& text) {
    if (*shown == text && !label->text().isEmpty())
        return;
    *shown = text;
    UiFont::SetElidedText(label, text, label->property(kElideWidth).toInt(), label->font());
}

void ConnectMsgListItem::SetOtherId(int other_id) {
    if (!AssignId(other_id))
        return;
    avatar_lab_->clear();
    SetStyle(avatar_lab_, kDefaultAvatar);
}

bool ConnectMsgListItem::AssignId(int other_id) {
    if (has_id_ && other_id_ == other_id)
        return false;
    has_id_ = true;
    other_id_ = other_id;
    setProperty(kOtherId, other_id);
    avatar_loaded_ = false;
    return true;
}

void ConnectMsgListItem::SetName(const QString& name) {
    SetElided(name_lab_, &name_, name);
}

void ConnectMsgListItem::SetPreview(const QString& preview) {
    if (short_msg_lab_)
        SetElided(short_msg_lab_, &preview_, preview);
}

void ConnectMsgListItem::SetCount(int number) {
    if (!count_lab_ || number == count_)
        return;
    count_ = number;
    count_lab_->setText(QString::number(number));
    count_lab_->setVisible(number != 0);
}

void ConnectMsgListItem::SetAvatar(int id) {
    if (!has_id_ || other_id_ != id || avatar_loaded_)
        return;
    ShowAvatar(id);
}

void ConnectMsgListItem::ShowAvatar(int id) {
    // One style change at most: re-polishing is the costly part of a rebuild.
    if (id <= 0) {
        avatar_lab_->clear();
        SetStyle(avatar_lab_, id == 0 ? kSystemAvatar : kGroupAvatar);
        return;
    }
    const QSize inner = avatar_lab_->size() - QSize(2 * kAvatarInset, 2 * kAvatarInset);
    const QPixmap round = avatars_ ? avatars_->Round(id, inner) : QPixmap();
    if (round.isNull()) {
        avatar_lab_->clear();
        SetStyle(avatar_lab_, kDefaultAvatar);
        return;
    }
    SetStyle(avatar_lab_, "");
    avatar_lab_->setPixmap(round);
    avatar_loaded_ = true;
}

void ConnectMsgListItem::Fill(const ConnectListItemInfo& info, const QString& title) {
    AssignId(info.other_id);
    SetAvatar(info.other_id);
    SetPreview(Preview(info));
    SetCount(info.number);
    if (!title.isEmpty())
        SetName(title);
    else
        SetName(info.other_id == 0 ? QStringLiteral("系统消息") : info.other_name);
}

QString ConnectMsgListItem::Preview(const ConnectListItemInfo& info) {
    const QString preview = MessagePreview(info);
    // In a group the row is titled by the group: the preview says who wrote.
    const bool group_received =
        info.other_id < 0 && info.send_or_receive == 0 && info.msg_type != 0 && !preview.isEmpty();
    return group_received ? QStringLiteral("%1:%2").arg(info.other_name, preview) : preview;
}

QString ConnectMsgListItem::MessagePreview(const ConnectListItemInfo& info) {
    // One line: the label shows no more.
    const QString content = info.content.simplified();
    switch (info.msg_type) {
        case 0:
            return QStringLiteral("%1:%2").arg(info.other_name, content);
        case 1:
            return content;
        case 2:
            return QStringLiteral("[文件]");
        case 3:
            return QStringLiteral("[图片]");
        case 4:
            return QStringLiteral("[语音]");
        case 5:
            return QStringLiteral("[视频]");
        default:
            return QString();
    }
}
