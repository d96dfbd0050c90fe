#include "FrameShadow.h"

#include <QEvent>
#include <QGraphicsBlurEffect>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

FrameShadow::FrameShadow(QWidget* frame, int blur_radius, int corner_radius, const QColor& color)
    : QObject(frame),
      frame_(frame),
      window_(frame->parentWidget()),
      blur_radius_(blur_radius),
      corner_radius_(corner_radius),
      color_(color) {
    frame_->installEventFilter(this);
    if (window_)
        window_->installEventFilter(this);
}

QImage FrameShadow::Picture(const QSize& size, int blur_radius, int corner_radius,
                            const QColor& color, qreal pixel_ratio) {
    const QSize full = size + QSize(2 * blur_radius, 2 * blur_radius);
    QImage picture(full * pixel_ratio, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(pixel_ratio);
    picture.fill(Qt::transparent);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(0, 0), size), corner_radius, corner_radius);
    // The outline in the shadow's colour, blurred as a drop shadow effect blurs its source. Only
    // the blur is drawn: at a fractional scale the effect's sharp source lands on whole device
    // pixels and would show as a dark line beside the frame.
    QGraphicsScene scene;
    QGraphicsPathItem* item = scene.addPath(shape, Qt::NoPen, QBrush(color));
    auto* effect = new QGraphicsBlurEffect;
    // The blur filter widens its radius by this factor; the drop shadow filter does not.
    constexpr qreal kBlurFilterScale = 2.5;
    effect->setBlurRadius(blur_radius / kBlurFilterScale);
    item->setGraphicsEffect(effect);
    const QRectF area(-blur_radius, -blur_radius, full.width(), full.height());
    scene.setSceneRect(area);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), full), area);
    // The frame paints itself over its own outline.
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.translate(blur_radius, blur_radius);
    painter.fillPath(shape, Qt::transparent);
    return picture;
}

bool FrameShadow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Paint) {
        Paint();
    } else if (watched == frame_ && window_ &&
               (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
                event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        window_->update();
    }
    return false;
}

void FrameShadow::Paint() {
    if (!frame_->isVisible())
        return;
    const qreal ratio = window_->devicePixelRatioF();
    const QSize size = frame_->size();
    if (picture_.isNull() || picture_.devicePixelRatio() != ratio ||
        picture_.size() != (size + QSize(2 * blur_radius_, 2 * blur_radius_)) * ratio) {
        picture_ = Picture(size, blur_radius_, corner_radius_, color_, ratio);
    }
    // Called for the window's paint event, before the window paints itself.
    QPainter painter(window_);
    painter.drawImage(frame_->pos() - QPoint(blur_radius_, blur_radius_), picture_);
}
