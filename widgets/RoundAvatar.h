#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

// User pictures are drawn as circles everywhere. A picture is stored in the avatar folder as
// "<id>.<suffix>".
class RoundAvatar {
public:
    // The picture of `id` from `avatar_dir`, clipped to a circle of `size`; null when there is
    // no readable picture. `pixel_ratio` is the screen's (QWidget::devicePixelRatioF), so the
    // circle stays sharp on a scaled desktop.
    static QPixmap FromFolder(const QString& avatar_dir, const QString& id, const QSize& size,
                              qreal pixel_ratio = 1.0);
    // The picture at `path` (PNG, JPG, GIF, JPEG, else whatever its content is) as a circle.
    static QPixmap FromFile(const QString& path, const QSize& size, qreal pixel_ratio = 1.0);
    // The first file of `avatar_dir` named "<id>.*"; empty when there is none.
    static QString FileOf(const QString& avatar_dir, const QString& id);
    // `image` scaled to cover `size` and clipped to a circle, antialiased.
    static QPixmap Round(const QImage& image, const QSize& size, qreal pixel_ratio = 1.0);
};
