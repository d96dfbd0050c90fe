#include "LineEdit.h"

LineEdit::LineEdit(QWidget* parent) : QLineEdit(parent) {}

void LineEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    emit focused(true);
}

void LineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit focused(false);
}
