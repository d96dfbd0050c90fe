#include "RowHighlight.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QScrollBar>
#include <QVariantAnimation>

namespace {
// Full strength for the first part, then a smooth fade.
const qreal kHold = 0.35;
const int kInset = 4;
}  // namespace

RowHighlight::RowHighlight(QAbstractItemView* view, const QModelIndex& index)
    : QWidget(view->viewport()), view_(view), index_(index) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setObjectName(QStringLiteral("row_highlight"));
    fade_ = new QVariantAnimation(this);
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    fade_->setDuration(kDurationMs);
    connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const qreal t = value.toReal();
        const qreal fading = t <= kHold ? 0.0 : (t - kHold) / (1.0 - kHold);
        strength_ = 1.0 - fading * fading;
        Follow();
        update();
    });
    connect(fade_, &QVariantAnimation::finished, this, &QObject::deleteLater);
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &RowHighlight::Follow);
    Follow();
    // Under the bubbles: they are drawn over it.
    lower();
    show();
    fade_->start();
}

void RowHighlight::Follow() {
    if (!index_.isValid()) {
        hide();
        deleteLater();
        return;
    }
    setGeometry(view_->visualRect(index_).adjusted(kInset, 0, -kInset, 0));
}

void RowHighlight::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill(0x18, 0x91, 0xed);
    fill.setAlphaF(0.16 * strength_);
    QColor edge(0x18, 0x91, 0xed);
    edge.setAlphaF(0.45 * strength_);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}
