#include "LocalUpdateCheck.h"

#include <QFileInfo>
#include <QMessageBox>

#include "base/Account.h"
#include "base/AppInfo.h"
#include "base/Json.h"

bool LocalUpdateCheck::IsNewer(const QString& latest) {
    return !latest.isEmpty() && AppInfo::Version() < latest;
}

QString LocalUpdateCheck::Run() {
    const QString installer = QStringLiteral("%1/update.exe").arg(Account::UpdatePath());
    if (!QFileInfo::exists(installer))
        return QString();
    if (QFileInfo::exists(QStringLiteral("%1nu").arg(AppInfo::ToolsPath())))
        return QString();
    const QString reply = QStringLiteral("%1/update.json").arg(Account::UpdatePath());
    if (!QFileInfo::exists(reply))
        return QString();

    if (!IsNewer(Json(reply, true).Text(QStringLiteral("Velta.V.No"))))
        return QString();
    const auto answer =
        QMessageBox::information(nullptr, QStringLiteral("提示"), QStringLiteral("更新到最新版本?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    return answer == QMessageBox::Yes ? installer : QString::fromLatin1(kDeclined);
}
