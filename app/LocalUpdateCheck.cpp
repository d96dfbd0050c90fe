#include "LocalUpdateCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include "base/Json.h"
#include "base/UpdateFiles.h"

QString LocalUpdateCheck::Run() {
    const QString installer = UpdateFiles::InstallerPath();
    if (!QFileInfo::exists(installer))
        return QString();
    if (QFileInfo::exists(UpdateFiles::MarkerPath()))
        return QString();
    if (!QFileInfo::exists(UpdateFiles::ReplyPath()))
        return QString();

    if (!UpdateFiles::IsNewer(
            Json(UpdateFiles::ReplyPath(), true).Text(QStringLiteral("Velta.V.No"))))
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
