#include "OERect.h"

#include <QPainter>

#include "ShotScale.h"
#include "widgets/UiFont.h"

namespace {
const int kWidth = 95;
const int kHeight = 20;
// Between the label and the selection's top edge.
const int kGap = 4;
}  // namespace

OERect::OERect(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("screenshot_size_label"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(ShotScale::Scaled(kWidth), ShotScale::Scaled(kHeight));
    background_ = QPixmap(size());
    background_.fill(QColor(0, 0, 0, 160));
    hide();
}

void OERect::onPostionChange(int x, int y) {
    // Above the selection; inside its top-left corner when it touches the top of the screen.
    const int above = y - height() - kGap;
    QPoint to = above >= 0 ? QPoint(x, above) : QPoint(x + kGap, y + kGap);
    if (parentWidget())
        to.setX(qMin(to.x(), parentWidget()->width() - width()));
    move(to);
}

void OERect::onSizeChange(int w, int h) {
    text_ = QStringLiteral("%1 x %2").arg(w).arg(h);
    update();
}

void OERect::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
    painter.setPen(Qt::white);
    painter.setFont(UiFont::Font(ShotScale::Scaled(12)));
    painter.drawText(rect(), Qt::AlignCenter, text_);
}
