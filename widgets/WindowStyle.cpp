#include "WindowStyle.h"

#include <QDebug>
#include <QFile>
#include <QGraphicsDropShadowEffect>
#include <QWidget>

void WindowStyle::Apply(QWidget* widget, const QString& object_name, const QString& qss_path,
                        const char* failure_log) {
    widget->setObjectName(object_name);
    QFile qss(qss_path);
    if (!qss.open(QIODevice::ReadOnly)) {
        qDebug() << failure_log;
        return;
    }
    widget->setStyleSheet(QString::fromUtf8(qss.readAll()));
}

void WindowStyle::AddShadow(QWidget* frame, int blur_radius) {
    auto* shadow = new QGraphicsDropShadowEffect(frame);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(QStringLiteral("#999999")));
    shadow->setBlurRadius(blur_radius);
    frame->setGraphicsEffect(shadow);
}
