#include "MessagePageSys.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include "MessageItemSys.h"
#include "widgets/WindowStyle.h"

MessagePageSys::MessagePageSys(QWidget* parent) : QWidget(parent) {
    Init();
}

void MessagePageSys::Init() {
    WindowStyle::Apply(this, QStringLiteral("page_sys_bg_frame"),
                       QStringLiteral(":/ui/message_page_sys.qss"),
                       "MessagePageSys::Init : load qss failed");
    setAttribute(Qt::WA_StyledBackground);
    title_lab_ = new QLabel(QStringLiteral("系统消息"), this);
    title_lab_->setObjectName(QStringLiteral("page_sys_title_name_lab"));
    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("page_sys_line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedHeight(1);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("page_sys_msg_list"));
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setMinimumHeight(43);
    // The scroll bars were styled before the list had its name.
    list_->style()->unpolish(list_->verticalScrollBar());
    list_->style()->polish(list_->verticalScrollBar());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(title_lab_);
    column->addWidget(line);
    column->addWidget(list_, 1);
    connect(list_, &QListWidget::itemClicked, this, &MessagePageSys::OnItemClicked);
}

void MessagePageSys::Refill(const MessageSysItemInfoPointers& records) {
    const bool blocked = list_->blockSignals(true);
    list_->clear();
    unread_rows_ = 0;
    for (const MessageSysItemInfo* record : records) {
        auto* row = new MessageItemSys;
        row->SetData(*record);
        auto* item = new QListWidgetItem;
        // Unread categories on top, the newest first; the others right below them.
        const int position = record->number != 0 ? 0 : unread_rows_;
        if (record->number != 0)
            ++unread_rows_;
        list_->insertItem(position, item);
        item->setSizeHint(QSize(list_->viewport()->width(), MessageItemSys::kRowHeight));
        list_->setItemWidget(item, row);
    }
    list_->blockSignals(blocked);
}

void MessagePageSys::OnItemClicked(QListWidgetItem* item) {
    if (auto* row = qobject_cast<MessageItemSys*>(list_->itemWidget(item)))
        emit req_sys_msg_external_link(row->RemindId(), row->MessageId());
}
