#pragma once

#include <string>
#include <vector>

// A home folder of the client's own for one run: HOME, the XDG folders and TMPDIR (where the
// single-copy lock lives) under one root, and the settings a user leaves behind after logging
// in with a remembered password, so the client logs in by itself at start.
class ClientHome {
public:
    explicit ClientHome(std::string root);

    // The environment to start the client (or any Qt program) with, on the given X display.
    std::vector<std::string> Env(const std::string& display) const;
    void RememberLogin(const std::string& login, const std::string& password,
                       const std::string& user_id, const std::string& unit_record);
    std::string UnitFolder(const std::string& login, const std::string& unit_id) const;
    std::string MsgDb(const std::string& login, const std::string& unit_id) const;
    const std::string& Root() const { return root_; }

private:
    std::string root_;
};
