#include "WindowDragger.h"

#include <QMouseEvent>
#include <QWidget>

WindowDragger::WindowDragger(QWidget* window, bool still_when_maximised)
    : QObject(window), window_(window), still_when_maximised_(still_when_maximised) {
    window->installEventFilter(this);
}

bool WindowDragger::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_)
        return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                dragging_ = true;
                press_pos_ = mouse->pos();
            }
            break;
        }
        case QEvent::MouseMove:
            if (dragging_ && !(still_when_maximised_ && window_->isMaximized())) {
                window_->move(window_->pos() + static_cast<QMouseEvent*>(event)->pos() -
                              press_pos_);
            }
            break;
        case QEvent::MouseButtonRelease:
            dragging_ = false;
            break;
        default:
            break;
    }
    return false;
}
