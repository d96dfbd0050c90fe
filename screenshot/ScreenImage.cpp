#include "ScreenImage.h"

ScreenImage::ScreenImage(const QPixmap& pixmap)
    : pixmap_(pixmap), image_(pixmap.toImage()), ratio_(pixmap.devicePixelRatio()) {}

QRect ScreenImage::Rect() const {
    return QRect(QPoint(0, 0), pixmap_.size() / ratio_);
}

QPixmap ScreenImage::Part(const QRect& rect) const {
    QPixmap part = pixmap_.copy(DeviceArea(rect).intersected(DeviceRect()));
    part.setDevicePixelRatio(1.0);
    return part;
}

QColor ScreenImage::PixelAt(const QPoint& point) const {
    const QPoint device = DevicePoint(point);
    return image_.valid(device) ? image_.pixelColor(device) : QColor(Qt::black);
}

QPoint ScreenImage::DevicePoint(const QPoint& point) const {
    return QPoint(qRound(point.x() * ratio_), qRound(point.y() * ratio_));
}

QRect ScreenImage::DeviceArea(const QRect& rect) const {
    return QRect(DevicePoint(rect.topLeft()), rect.size() * ratio_);
}
