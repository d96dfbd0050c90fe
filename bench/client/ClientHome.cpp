#include "ClientHome.h"

#include <QDir>
#include <QSettings>
#include <QString>
#include <cstdlib>

namespace {
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
}  // namespace

ClientHome::ClientHome(std::string root) : root_(std::move(root)) {
    for (const char* folder : {"/home/.config", "/runtime", "/tmp"})
        QDir().mkpath(Q(root_ + folder));
    QFile::setPermissions(Q(root_ + "/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

std::vector<std::string> ClientHome::Env(const std::string& display) const {
    const char* path = std::getenv("PATH");
    // xvfb-run's cookie for the display.
    const char* xauthority = std::getenv("XAUTHORITY");
    return {std::string("XAUTHORITY=") + (xauthority ? xauthority : ""),
            "HOME=" + root_ + "/home",
            "XDG_CONFIG_HOME=" + root_ + "/home/.config",
            "XDG_RUNTIME_DIR=" + root_ + "/runtime",
            "TMPDIR=" + root_ + "/tmp",
            "DISPLAY=" + display,
            "QT_QPA_PLATFORM=xcb",
            "LANG=C.UTF-8",
            std::string("PATH=") + (path ? path : "/usr/bin:/bin")};
}

std::string ClientHome::UnitFolder(const std::string& login, const std::string& unit_id) const {
    return root_ + "/home/.config/Coralbridge/account/" + login + "/" + unit_id;
}

std::string ClientHome::MsgDb(const std::string& login, const std::string& unit_id) const {
    return UnitFolder(login, unit_id) + "/msg.db";
}

void ClientHome::RememberLogin(const std::string& login, const std::string& password,
                               const std::string& user_id, const std::string& unit_record) {
    const QString folder = Q(root_ + "/home/.config/Coralbridge/account/" + login);
    QDir().mkpath(folder);
    // Written as the client writes it: an INI file in the system's encoding.
    QSettings settings(folder + "/cfg.ini", QSettings::IniFormat);
    settings.setIniCodec("System");
    settings.setValue("usr_id", Q(login));
    settings.setValue("usr_psw", Q(password));
    settings.setValue("rem_psw", "1");
    settings.setValue("User_ID", Q(user_id));
    settings.setValue("cur_unit", Q(unit_record));
    settings.setValue("unit_history", Q(unit_record));
    settings.sync();
}
