#pragma once

#include "Autostart.h"

// The per-user XDG autostart entry: "<config>/autostart/coralbridge.desktop".
class AutostartXdg : public Autostart {
public:
    void Register(const QString& app_folder) override;

    static QString EntryPath();
    // What the entry starts for the program of `app_folder`: the launcher of an installed
    // program (it enters the folder on every desktop, also where Path= is ignored), else the
    // program itself.
    static QString Program(const QString& app_folder);
    static QByteArray EntryText(const QString& program, const QString& app_folder);
    // A path as one quoted argument of an Exec key, and any text as a value of the file.
    static QString ExecArgument(const QString& path);
    static QString StringValue(const QString& text);
};
