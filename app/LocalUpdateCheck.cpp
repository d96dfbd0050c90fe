#include "LocalUpdateCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QVersionNumber>

#include "base/Account.h"
#include "base/AppInfo.h"
#include "base/Json.h"

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

bool LocalUpdateCheck::IsNewer(const QString& latest, const QString& running) {
    const QVersionNumber next = Parse(latest.trimmed());
    return !next.isNull() &&
           QVersionNumber::compare(next.normalized(), Parse(running).normalized()) > 0;
}

bool LocalUpdateCheck::IsNewer(const QString& latest) {
    return IsNewer(latest, AppInfo::Version());
}

QString LocalUpdateCheck::InstallerPath() {
    return QStringLiteral("%1/update.exe").arg(Account::UpdatePath());
}

QString LocalUpdateCheck::ReplyPath() {
    return QStringLiteral("%1/update.json").arg(Account::UpdatePath());
}

QString LocalUpdateCheck::MarkerPath() {
    return QStringLiteral("%1nu").arg(AppInfo::ToolsPath());
}

QString LocalUpdateCheck::Run() {
    const QString installer = InstallerPath();
    if (!QFileInfo::exists(installer))
        return QString();
    if (QFileInfo::exists(MarkerPath()))
        return QString();
    if (!QFileInfo::exists(ReplyPath()))
        return QString();

    if (!IsNewer(Json(ReplyPath(), true).Text(QStringLiteral("Velta.V.No"))))
        return QString();
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"),
                    QStringLiteral("更新到最新版本?"), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    return box.exec() == QMessageBox::Yes ? installer : QString::fromLatin1(kDeclined);
}

bool LocalUpdateCheck::StartInstaller(const QString& path) {
#ifndef Q_OS_WIN
    // Downloaded as plain data; it becomes a program only now that the user said yes.
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser);
#endif
    return QProcess::startDetached(path, QStringList());
}
