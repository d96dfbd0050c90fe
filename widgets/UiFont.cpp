#include "UiFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>

const char* const UiFont::kDesignFamily = "微软雅黑";

void UiFont::Install() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    const QString design = QString::fromUtf8(kDesignFamily);
    const QStringList families = QFontDatabase().families();
    if (families.contains(design))
        return;
    const QStringList fallbacks = {
        QStringLiteral("Microsoft YaHei"),     QStringLiteral("WenQuanYi Micro Hei"),
        QStringLiteral("Noto Sans CJK SC"),    QStringLiteral("Source Han Sans SC"),
        QStringLiteral("Droid Sans Fallback"), QStringLiteral("AR PL UMing CN")};
    QStringList found;
    for (const QString& family : fallbacks) {
        if (families.contains(family))
            found << family;
    }
    if (!found.isEmpty())
        QFont::insertSubstitutions(design, found);
}

QFont UiFont::Font(int pixel_size) {
    Install();
    QFont font(QString::fromUtf8(kDesignFamily));
    font.setPixelSize(pixel_size);
    return font;
}

void UiFont::SetElidedText(QLabel* label, const QString& text, int width, const QFont& font,
                           Qt::TextElideMode mode) {
    const QString elided = QFontMetrics(font).elidedText(text, mode, width);
    label->setText(elided);
    label->setToolTip(elided == text ? QString() : text);
}
