#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRect>

// The frozen screen that the overlay shows, addressed in the overlay's own coordinates; on a
// high-density screen one of them covers several device pixels.
class ScreenImage {
public:
    explicit ScreenImage(const QPixmap& pixmap);

    const QPixmap& Pixmap() const { return pixmap_; }
    // In overlay coordinates.
    QRect Rect() const;
    // The device pixels under `rect` (overlay coordinates), at full resolution.
    QPixmap Part(const QRect& rect) const;
    QColor PixelAt(const QPoint& point) const;
    // The device pixels under `point`, under `rect` and of the whole image.
    QPoint DevicePoint(const QPoint& point) const;
    QRect DeviceArea(const QRect& rect) const;
    QRect DeviceRect() const { return image_.rect(); }

private:
    QPixmap pixmap_;
    QImage image_;
    qreal ratio_ = 1.0;
};
