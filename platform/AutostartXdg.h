#pragma once

#include "Autostart.h"

// The per-user XDG autostart entry: "<config>/autostart/coralbridge.desktop".
class AutostartXdg : public Autostart {
public:
    void Register(const QString& app_folder) override;

    static QString EntryPath();
    static QByteArray EntryText(const QString& program, const QString& app_folder);
};
