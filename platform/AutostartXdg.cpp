#include "AutostartXdg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString AutostartXdg::EntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/coralbridge.desktop");
}

QByteArray AutostartXdg::EntryText(const QString& program, const QString& app_folder) {
    QString exec = program;
    exec.replace(QLatin1Char('"'), QLatin1String("\\\""));
    // The program's folder is its working directory, so the entry starts it there.
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Coralbridge\n"
               "Exec=\"%1\"\n"
               "Path=%2\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n")
        .arg(exec, app_folder)
        .toUtf8();
}

void AutostartXdg::Register(const QString& app_folder) {
    const QString path = EntryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(EntryText(QCoreApplication::applicationFilePath(), app_folder));
}
