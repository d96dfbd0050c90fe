#include "OEAmplifier.h"

#include <QPainter>

#include "ScreenImage.h"
#include "ShotScale.h"
#include "widgets/UiFont.h"

namespace {

const int kWidth = 122;
const int kImageHeight = 90;
// The enlarged area runs from (x - 15, y - 11) to (x + 14, y + 10) around the cursor (x, y),
// which puts the cursor's pixel under the cross-hair.
const int kSourceLeft = 15;
const int kSourceTop = 11;
const int kSourceRight = 14;
const int kSourceBottom = 10;
// Between the cursor's hot spot and the magnifier.
const int kCursorGap = 24;
const QColor kBackground(0, 0, 0, 160);

}  // namespace

OEAmplifier::OEAmplifier(std::shared_ptr<const ScreenImage> screen, QWidget* parent)
    : QWidget(parent), screen_(std::move(screen)), image_height_(ShotScale::Scaled(kImageHeight)) {
    setObjectName(QStringLiteral("screenshot_amplifier"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(ShotScale::Scaled(kWidth), ShotScale::Scaled(kWidth));
    hide();
}

QRect OEAmplifier::SourceArea(const QPoint& cursor) const {
    const QPoint device = screen_->DevicePoint(cursor);
    const QRect area(device - QPoint(kSourceLeft, kSourceTop),
                     device + QPoint(kSourceRight, kSourceBottom));
    return screen_->DeviceRect().contains(area) ? area : QRect();
}

void OEAmplifier::onSizeChange(int w, int h) {
    selection_ = QSize(w, h);
    update();
}

void OEAmplifier::onPostionChange(int x, int y) {
    cursor_ = QPoint(x, y);
    FollowCursor();
    update();
}

void OEAmplifier::FollowCursor() {
    const QRect bounds = parentWidget() ? parentWidget()->rect() : QRect();
    QPoint to = cursor_ + QPoint(kCursorGap, kCursorGap);
    if (to.x() + width() > bounds.right())
        to.setX(cursor_.x() - kCursorGap - width());
    if (to.y() + height() > bounds.bottom())
        to.setY(cursor_.y() - kCursorGap - height());
    move(to);
}

void OEAmplifier::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const QRect source = SourceArea(cursor_);
    if (!source.isNull()) {
        const QImage part = screen_->Pixmap().copy(source).toImage().scaled(
            width(), image_height_, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        painter.drawImage(0, 0, part);
    }
    DrawCrossHair(painter);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawRect(QRect(QPoint(2, 2), QPoint(width() - 2, image_height_ - 3)));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    DrawTexts(painter);
}

void OEAmplifier::DrawCrossHair(QPainter& painter) {
    painter.setPen(QPen(QColor(0, 180, 255, 180), 4, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawLine(width() / 2, 0, width() / 2, image_height_ - 4);
    painter.drawLine(0, image_height_ / 2, width(), image_height_ / 2);
}

void OEAmplifier::DrawTexts(QPainter& painter) {
    painter.setPen(Qt::white);
    painter.setFont(UiFont::Font(ShotScale::Scaled(11)));
    if (selection_.width() >= 0 && selection_.height() >= 0) {
        painter.drawText(6, image_height_ + 14,
                         QStringLiteral("%1x%2").arg(selection_.width()).arg(selection_.height()));
    }
    const QColor colour = screen_->PixelAt(cursor_);
    painter.drawText(
        6, image_height_ + 27,
        QStringLiteral("RGB:(%1,%2,%3)").arg(colour.red()).arg(colour.green()).arg(colour.blue()));
}
