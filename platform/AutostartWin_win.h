#pragma once

#include "Autostart.h"

// The machine-wide Run key of the registry, chosen by whether this 32-bit process runs under
// the 64-bit emulation.
class AutostartWin : public Autostart {
public:
    void Register(const QString& app_folder) override;

private:
    static bool IsWow64();
};
