#include "ChatView.h"

#include <QScrollBar>
#include <QStringList>
#include <QStyle>

#include "DownloadRegistry.h"
#include "MessageItem.h"
#include "MsgFileItem.h"
#include "RowHighlight.h"

namespace {
// Bubbles are narrower than any list they are shown in: their height is the same at every
// width from this one up.
const int kNominalWidth = 480;
}  // namespace

ChatView::ChatView(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("chat_view"));
    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::NoSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setAcceptDrops(false);
    // The scroll bars were styled before the list had its name.
    style()->unpolish(verticalScrollBar());
    style()->polish(verticalScrollBar());
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ChatView::RealizeVisible);
}

void ChatView::AddItem(const Bubble& bubble, bool at_top) {
    InsertItems({bubble}, at_top ? 0 : -1);
}

void ChatView::InsertItem(const Bubble& bubble, int row) {
    InsertItems({bubble}, row);
}

void ChatView::InsertItems(const QList<Bubble>& bubbles, int row) {
    if (bubbles.isEmpty())
        return;
    row = row < 0 ? count() : row;
    // No widgets are made for rows that have no bubble yet.
    realizing_ = true;
    // All rows in one insertion: the list lays itself out again after each one while rows
    // have widgets.
    QStringList texts;
    for (int i = 0; i < bubbles.size(); ++i)
        texts << QString();
    insertItems(row, texts);
    for (int i = 0; i < bubbles.size(); ++i) {
        QListWidgetItem* list_item = item(row + i);
        bubbles_[list_item] = bubbles.at(i);
        Measure(list_item);
    }
    realizing_ = false;
}

void ChatView::Measure(QListWidgetItem* list_item) {
    MessageItem* widget = Realize(list_item);
    // The list stretches every row to its own width.
    list_item->setSizeHint(QSize(1, widget->RowHeight(kNominalWidth)));
}

void ChatView::SetContent(int row, const QString& content) {
    Bubble* bubble = BubbleAt(row);
    if (!bubble)
        return;
    bubble->content = content;
    Release(item(row));
    Measure(item(row));
}

void ChatView::RemoveRow(int row) {
    QListWidgetItem* list_item = item(row);
    if (!list_item)
        return;
    Release(list_item);
    bubbles_.erase(list_item);
    delete takeItem(row);
}

void ChatView::AskAvatar(int id) {
    if (id == 0 || asked_avatars_.contains(id))
        return;
    asked_avatars_.insert(id);
    emit req_avatar(QString::number(id));
}

Bubble* ChatView::BubbleAt(int row) const {
    const auto found = bubbles_.find(item(row));
    return found == bubbles_.end() ? nullptr : const_cast<Bubble*>(&found->second);
}

MessageItem* ChatView::ItemAt(int row) const {
    return qobject_cast<MessageItem*>(itemWidget(item(row)));
}

void ChatView::SetState(int row, int state) {
    Bubble* bubble = BubbleAt(row);
    if (!bubble)
        return;
    bubble->state = state;
    if (MessageItem* widget = ItemAt(row))
        widget->SetState(state);
}

MessageItem* ChatView::Realize(QListWidgetItem* list_item) {
    if (auto* existing = qobject_cast<MessageItem*>(itemWidget(list_item)))
        return existing;
    auto* widget = new MessageItem(bubbles_.at(list_item), this, list_item);
    setItemWidget(list_item, widget);
    realized_.insert(list_item);
    // Styled by the page only once in the list: then its size is known.
    widget->ensurePolished();
    widget->FitContent();
    return widget;
}

void ChatView::Release(QListWidgetItem* list_item) {
    if (!realized_.remove(list_item))
        return;
    // The list deletes the widget later, so a bubble may cause this from its own handler.
    removeItemWidget(list_item);
}

int ChatView::FirstRowBelow(int y) const {
    int low = 0;
    int high = count();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (visualItemRect(item(mid)).bottom() < y)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

void ChatView::RealizeVisible() {
    if (realizing_ || count() == 0)
        return;
    realizing_ = true;
    // One screen above and below stays ready, so scrolling shows finished rows.
    const int height = viewport()->height();
    const int first = FirstRowBelow(-height);
    int last = first;
    while (last + 1 < count() && visualItemRect(item(last + 1)).top() <= 2 * height)
        ++last;
    const QSet<QListWidgetItem*> realized = realized_;
    for (QListWidgetItem* list_item : realized) {
        const int row = this->row(list_item);
        if (row < first || row > last)
            Release(list_item);
    }
    for (int row = first; row <= last && row < count(); ++row)
        Realize(item(row));
    realizing_ = false;
}

void ChatView::doItemsLayout() {
    QListWidget::doItemsLayout();
    RealizeVisible();
}

void ChatView::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    RealizeVisible();
}

void ChatView::Clear() {
    delete highlight_;
    // Widgets go before the bubbles they show.
    const QSet<QListWidgetItem*> realized = realized_;
    for (QListWidgetItem* list_item : realized)
        Release(list_item);
    clear();
    bubbles_.clear();
}

int ChatView::RowOfId(int id) const {
    if (id <= 0)
        return -1;
    for (int row = count() - 1; row >= 0; --row) {
        const Bubble* bubble = BubbleAt(row);
        // One's own message learns its row as client_message_id once stored.
        const bool own = bubble->side == Bubble::kRight && bubble->client_message_id == id;
        if (bubble->msg_type != Bubble::kSeparator && (bubble->id == id || own))
            return row;
    }
    return -1;
}

void ChatView::ShowRow(int row) {
    QListWidgetItem* list_item = item(row);
    if (!list_item)
        return;
    executeDelayedItemsLayout();
    scrollToItem(list_item, QAbstractItemView::PositionAtCenter);
    delete highlight_;
    highlight_ = new RowHighlight(this, indexFromItem(list_item));
}

int ChatView::HighlightedRow() const {
    return highlight_ && highlight_->Index().isValid() ? highlight_->Index().row() : -1;
}

void ChatView::FollowFileDownload(const QString& message_id) {
    if (!downloads_ || message_id.isEmpty())
        return;
    // Registered by the list, which outlives the widgets of its rows.
    downloads_->Add(message_id, this, [this, message_id](const QString& value) {
        OnFileProgress(message_id, value);
    });
}

void ChatView::OnFileProgress(const QString& message_id, const QString& value) {
    for (int row = 0; row < count(); ++row) {
        Bubble* bubble = BubbleAt(row);
        if (bubble->msg_type != 2 || MsgFileItem::FileOf(*bubble).message_id != message_id)
            continue;
        MsgFileItem::Apply(bubble, value);
        if (MessageItem* widget = ItemAt(row))
            widget->RefreshFile();
    }
}

void ChatView::SetPlayingVoice(const QString& path) {
    for (int row = 0; row < count(); ++row) {
        Bubble* bubble = BubbleAt(row);
        const bool playing = bubble->msg_type == 4 && !path.isEmpty() && bubble->local_path == path;
        if (bubble->playing == playing)
            continue;
        bubble->playing = playing;
        if (MessageItem* widget = ItemAt(row))
            widget->SetPlaying(playing);
    }
}
