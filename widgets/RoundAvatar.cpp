#include "RoundAvatar.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

QString RoundAvatar::FileOf(const QString& avatar_dir, const QString& id) {
    if (id.isEmpty() || avatar_dir.isEmpty())
        return QString();
    const QStringList files =
        QDir(avatar_dir).entryList({QStringLiteral("%1.*").arg(id)}, QDir::Files, QDir::Name);
    return files.isEmpty() ? QString() : QStringLiteral("%1/%2").arg(avatar_dir, files.first());
}

QPixmap RoundAvatar::FromFolder(const QString& avatar_dir, const QString& id, const QSize& size,
                                qreal pixel_ratio) {
    return FromFile(FileOf(avatar_dir, id), size, pixel_ratio);
}

QPixmap RoundAvatar::FromFile(const QString& path, const QSize& size, qreal pixel_ratio) {
    if (path.isEmpty())
        return QPixmap();
    QImage image;
    for (const char* format : {"PNG", "JPG", "GIF", "JPEG"}) {
        if (image.load(path, format))
            break;
    }
    // A suffix that names no format of the list: let the content tell.
    if (image.isNull())
        image.load(path);
    return image.isNull() ? QPixmap() : Round(image, size, pixel_ratio);
}

QPixmap RoundAvatar::Round(const QImage& image, const QSize& size, qreal pixel_ratio) {
    if (image.isNull() || size.isEmpty())
        return QPixmap();
    const QSize pixels = size * pixel_ratio;
    QPixmap round(pixels);
    round.setDevicePixelRatio(pixel_ratio);
    round.fill(Qt::transparent);
    QPainter painter(&round);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath circle;
    circle.addEllipse(QRectF(QPointF(0, 0), QSizeF(size)));
    painter.setClipPath(circle);
    // The middle of a picture that is not square, never the whole picture squeezed.
    const QImage cover =
        image.scaled(pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QRect middle(
        QPoint((cover.width() - pixels.width()) / 2, (cover.height() - pixels.height()) / 2),
        pixels);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), cover, middle);
    return round;
}
