#include "WindowStyle.h"

#include <QDebug>
#include <QFile>
#include <QWidget>

#include "FrameShadow.h"

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

void WindowStyle::AddShadow(QWidget* frame, int blur_radius, int corner_radius) {
    new FrameShadow(frame, blur_radius, corner_radius, QColor(QStringLiteral("#999999")));
}
