#pragma once

#include <QString>
#include <memory>

// Starts the program with the user's session.
class Autostart {
public:
    virtual ~Autostart() = default;

    // Registers the program of `app_folder` (ending with "/"); a refused write is ignored.
    virtual void Register(const QString& app_folder) = 0;

    static std::unique_ptr<Autostart> Create();
};
