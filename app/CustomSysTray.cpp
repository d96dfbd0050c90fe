#include "CustomSysTray.h"

#include <QCursor>

CustomSysTray::CustomSysTray(QObject* parent) : QSystemTrayIcon(parent) {
    poll_timer_.setInterval(160);
    connect(&poll_timer_, &QTimer::timeout, this, &CustomSysTray::OnPoll);
    poll_timer_.start();
}

void CustomSysTray::OnPoll() {
    Track(geometry(), QCursor::pos());
}

void CustomSysTray::Track(const QRect& icon_rect, const QPoint& cursor) {
    if (!rect_fixed_)
        icon_rect_ = icon_rect;
    if (!icon_rect_.contains(cursor))
        return;
    rect_fixed_ = true;
    if (cursor == last_pos_)
        emit mouse_hover();
    last_pos_ = cursor;
}
