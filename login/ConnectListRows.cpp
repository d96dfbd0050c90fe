#include "ConnectListRows.h"

#include <QEvent>
#include <QListWidget>
#include <QScrollBar>

#include "ConnectMsgListItem.h"

namespace {
const int kRowHeight = ConnectMsgListItem::kRowHeight;
}  // namespace

ConnectListRows::ConnectListRows(QListWidget* list, AvatarCache* avatars, Title title)
    : QObject(list),
      list_(list),
      viewport_(list->viewport()),
      avatars_(avatars),
      title_(std::move(title)) {
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, &ConnectListRows::Sync);
    viewport_->installEventFilter(this);
}

void ConnectListRows::Set(const ConnectListItemInfoPointers& records) {
    records_.clear();
    records_.reserve(records.size());
    for (const ConnectListItemInfo* record : records)
        records_.append(*record);
    ResizeItems(records_.size());
}

void ConnectListRows::ResizeItems(int count) {
    const int old_count = list_->count();
    // One batch each way: item by item, the view lays itself out again after each.
    if (count < old_count) {
        list_->model()->removeRows(count, old_count - count);
    } else if (count > old_count) {
        list_->insertItems(old_count, QVector<QString>(count - old_count).toList());
        // Width 0: a row is as wide as the viewport, never wider (no sideways scrolling).
        for (int i = old_count; i < count; ++i)
            list_->item(i)->setSizeHint(QSize(0, kRowHeight));
    }
}

int ConnectListRows::IndexOf(int other_id) const {
    for (int i = 0; i < records_.size(); ++i) {
        if (records_.at(i).other_id == other_id)
            return i;
    }
    return -1;
}

void ConnectListRows::SetUnread(int row, int number) {
    if (row < 0 || row >= records_.size())
        return;
    records_[row].number = number;
    if (ConnectMsgListItem* widget = Widget(row))
        widget->SetCount(number);
}

ConnectMsgListItem* ConnectListRows::Widget(int row) const {
    const int slot = pool_.isEmpty() ? -1 : row % pool_.size();
    return slot >= 0 && shown_rows_.at(slot) == row ? pool_.at(slot) : nullptr;
}

ConnectMsgListItem* ConnectListRows::WidgetOf(int other_id) const {
    for (int slot = 0; slot < pool_.size(); ++slot) {
        const int row = shown_rows_.at(slot);
        if (row >= 0 && records_.at(row).other_id == other_id)
            return pool_.at(slot);
    }
    return nullptr;
}

void ConnectListRows::GrowPool(int size) {
    if (size <= pool_.size())
        return;
    while (pool_.size() < size) {
        auto* widget =
            new ConnectMsgListItem(ConnectMsgListItem::kConversation, avatars_, list_->viewport());
        widget->hide();
        pool_.append(widget);
    }
    // Row r belongs to slot r % size: with a new size every slot is filled anew.
    shown_rows_.fill(-1, pool_.size());
}

void ConnectListRows::Sync() {
    QWidget* viewport = list_->viewport();
    GrowPool(viewport->height() / kRowHeight + 2);
    const int top = list_->verticalScrollBar()->value();
    const int first = top / kRowHeight;
    const int end = qMin(records_.size(), first + pool_.size());
    for (int slot = 0; slot < pool_.size(); ++slot) {
        ConnectMsgListItem* widget = pool_.at(slot);
        // The row of this slot between first and end, if there is one.
        const int row = first + (slot - first % pool_.size() + pool_.size()) % pool_.size();
        if (row >= end) {
            shown_rows_[slot] = -1;
            widget->hide();
            continue;
        }
        const ConnectListItemInfo& record = records_.at(row);
        widget->Fill(record, title_(record));
        shown_rows_[slot] = row;
        widget->setGeometry(0, row * kRowHeight - top, viewport->width(), kRowHeight);
        widget->show();
    }
}

bool ConnectListRows::eventFilter(QObject* watched, QEvent* event) {
    // Only the pointer is compared: the viewport is destroyed with the list, which is half gone
    // by then.
    if (watched == viewport_ && event->type() == QEvent::Resize)
        Sync();
    return QObject::eventFilter(watched, event);
}
