#pragma once

#include <QFont>
#include <QString>
#include <Qt>

class QLabel;

// The program's text face. The windows are designed for "微软雅黑"; where it is missing (Linux)
// the name is mapped to an installed CJK face, so style sheets, QFont("微软雅黑") and the
// measurements used for eliding all agree with what is drawn.
class UiFont {
public:
    static const char* const kDesignFamily;

    // Maps the design family to an installed face once; later calls do nothing.
    static void Install();
    static QFont Font(int pixel_size);
    // `text` cut with an ellipsis to `width` pixels in `font`; the full text becomes the tool
    // tip when it had to be cut, and the tip is cleared otherwise.
    static void SetElidedText(QLabel* label, const QString& text, int width, const QFont& font,
                              Qt::TextElideMode mode = Qt::ElideRight);
};
