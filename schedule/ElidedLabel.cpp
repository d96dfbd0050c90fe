#include "ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    SetFullText(text);
}

void ElidedLabel::SetFullText(const QString& text) {
    full_text_ = text;
    Elide();
}

QSize ElidedLabel::minimumSizeHint() const {
    return QSize(0, QLabel::minimumSizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Elide();
}

// The style sheet may change the font after construction.
void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Elide();
}

void ElidedLabel::Elide() {
    const int width = contentsRect().width();
    const QString shown =
        width > 0 ? fontMetrics().elidedText(full_text_, Qt::ElideRight, width) : full_text_;
    if (shown != text())
        setText(shown);
    setToolTip(shown == full_text_ ? QString() : full_text_);
}
