#include "LogText.h"

#include <QDebug>
#include <QRegularExpression>

namespace {
const QString kNames = QStringLiteral("encyptpassword|password|usr_psw|sessionid|gcheckstr");
}  // namespace

QString LogText::Redacted(const QString& text) {
    static const QRegularExpression form(QStringLiteral("(^|[?&\\s\"])(%1)=[^&\\s\"]*").arg(kNames),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression json(
        QStringLiteral("(\"(?:%1)\"\\s*[:,]\\s*\")(?:[^\"\\\\]|\\\\.)*\"").arg(kNames),
        QRegularExpression::CaseInsensitiveOption);
    QString result = text;
    result.replace(form, QStringLiteral("\\1\\2=%1").arg(QLatin1String(kMask)));
    result.replace(json, QStringLiteral("\\1%1\"").arg(QLatin1String(kMask)));
    return result;
}

QString LogText::Map(const QMap<QString, QString>& map) {
    QString dump;
    QDebug(&dump) << map;
    return Redacted(dump);
}
