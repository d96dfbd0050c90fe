#include "AutostartXdg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/AppInfo.h"

#ifndef CORALBRIDGE_LAUNCHER_FROM_APP
#define CORALBRIDGE_LAUNCHER_FROM_APP "../../bin/coralbridge"
#endif

QString AutostartXdg::EntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/coralbridge.desktop");
}

QString AutostartXdg::Program(const QString& app_folder) {
    const QFileInfo launcher(app_folder + QLatin1String(CORALBRIDGE_LAUNCHER_FROM_APP));
    if (launcher.isFile() && launcher.isExecutable())
        return launcher.canonicalFilePath();
    return QCoreApplication::applicationFilePath();
}

QString AutostartXdg::StringValue(const QString& text) {
    QString value = text;
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return value;
}

QString AutostartXdg::ExecArgument(const QString& path) {
    // Inside the quotes a launcher reads \" \` \$ \\ as the characters and %% as a percent
    // sign; the value as a whole is then escaped like any other text of the file.
    QString argument;
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            argument += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            argument += QLatin1Char('%');
        argument += c;
    }
    return QStringLiteral("\"%1\"").arg(StringValue(argument));
}

QByteArray AutostartXdg::EntryText(const QString& program, const QString& app_folder) {
    // The program's folder is its working directory, so the entry starts it there.
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Coralbridge\n"
               "Exec=%1\n"
               "Path=%2\n"
               "Icon=%3\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n")
        .arg(ExecArgument(program), StringValue(app_folder),
             QString::fromLatin1(AppInfo::kDesktopId))
        .toUtf8();
}

void AutostartXdg::Register(const QString& app_folder) {
    const QString path = EntryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(EntryText(Program(app_folder), app_folder));
}
