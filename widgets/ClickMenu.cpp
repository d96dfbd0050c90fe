#include "ClickMenu.h"

#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>

ClickMenu::ClickMenu(QWidget* anchor, QMenu* menu) : QObject(anchor), anchor_(anchor), menu_(menu) {
    anchor_->installEventFilter(this);
    anchor_->setCursor(Qt::PointingHandCursor);
}

bool ClickMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched != anchor_ || !menu_)
        return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return false;
    if (type == QEvent::MouseButtonRelease)
        menu_->popup(anchor_->mapToGlobal(QPoint(0, anchor_->height() + 4)));
    return true;
}
