#include "ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    SetFullText(text);
}

void ElidedLabel::SetFullText(const QString& text, const QString& short_text) {
    full_text_ = text;
    short_text_ = short_text;
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
    QString shown = full_text_;
    if (width > 0 && fontMetrics().horizontalAdvance(full_text_) > width) {
        const QString& fallback = short_text_.isEmpty() ? full_text_ : short_text_;
        shown = fontMetrics().elidedText(fallback, Qt::ElideRight, width);
        // An ellipsis alone tells nothing.
        if (shown == QString(QChar(0x2026)))
            shown.clear();
    }
    if (shown != text())
        QLabel::setText(shown);
    setToolTip(shown == full_text_ ? QString() : full_text_);
}
