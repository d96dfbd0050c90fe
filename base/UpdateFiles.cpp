#include "UpdateFiles.h"

#include <QVector>
#include <QVersionNumber>

#include "Account.h"
#include "AppInfo.h"

namespace {

// Null unless the whole text is a dotted number such as "2.0.18". The segments are read here
// rather than by QVersionNumber::fromString, which this compiler's optimiser miscompiles (it
// returned no segments at -O2).
QVersionNumber Parse(const QString& text) {
    QVector<int> segments;
    for (const QString& part : text.split(QLatin1Char('.'))) {
        bool ok = false;
        const int number = part.toInt(&ok);
        if (!ok || part.isEmpty() || !part.at(0).isDigit() || number < 0)
            return QVersionNumber();
        segments.append(number);
    }
    return QVersionNumber(segments);
}

}  // namespace

bool UpdateFiles::IsNewer(const QString& latest, const QString& running) {
    const QVersionNumber next = Parse(latest.trimmed());
    return !next.isNull() &&
           QVersionNumber::compare(next.normalized(), Parse(running).normalized()) > 0;
}

bool UpdateFiles::IsNewer(const QString& latest) {
    return IsNewer(latest, AppInfo::Version());
}

QString UpdateFiles::InstallerPath() {
    return QStringLiteral("%1/update.exe").arg(Account::UpdatePath());
}

QString UpdateFiles::ReplyPath() {
    return QStringLiteral("%1/update.json").arg(Account::UpdatePath());
}

QString UpdateFiles::MarkerPath() {
    return QStringLiteral("%1nu").arg(AppInfo::ToolsPath());
}
