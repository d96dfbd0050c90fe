#include "TestHome.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

namespace {
QString g_temporary_home;

void SetEnv(const char* name, const QString& value) {
    qputenv(name, QFile::encodeName(value));
}

bool IsInside(const QString& path, const QString& folder) {
    const QString clean = QDir::cleanPath(path);
    const QString base = QDir::cleanPath(folder);
    return clean == base || clean.startsWith(base + QLatin1Char('/'));
}
}  // namespace

TestHome::TestHome() : dir_(QDir::tempPath() + QStringLiteral("/coral-test-home-XXXXXX")) {
    if (!dir_.isValid()) {
        std::fprintf(stderr, "TestHome: cannot create a temporary home\n");
        std::abort();
    }
    const QString home = dir_.path();
    g_temporary_home = home;
    QDir().mkpath(home + QStringLiteral("/runtime"));
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SetEnv("HOME", home);
    SetEnv("XDG_CONFIG_HOME", home + QStringLiteral("/config"));
    SetEnv("XDG_DATA_HOME", home + QStringLiteral("/data"));
    SetEnv("XDG_CACHE_HOME", home + QStringLiteral("/cache"));
    SetEnv("XDG_STATE_HOME", home + QStringLiteral("/state"));
    SetEnv("XDG_RUNTIME_DIR", home + QStringLiteral("/runtime"));
    // No session bus: a test never shows a notice on the desktop of the one who runs it. A test
    // that needs a bus starts its own and points this at it.
    SetEnv("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=%1/runtime/no-bus").arg(home));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Guard(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    Guard(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

TestHome::~TestHome() {
    g_temporary_home.clear();
}

QString TestHome::RealHome() {
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QString();
}

void TestHome::Guard(const QString& path) {
    const QString real = RealHome();
    if (real.isEmpty() || real == QLatin1String("/"))
        return;
    if (!g_temporary_home.isEmpty() && IsInside(path, g_temporary_home))
        return;
    if (IsInside(path, real)) {
        std::fprintf(stderr, "TestHome: refusing to touch the real home: %s\n", qPrintable(path));
        std::abort();
    }
}

bool TestHome::Remove(const QString& path) {
    // QDir("") is the working folder.
    if (path.isEmpty() || QDir::isRelativePath(path)) {
        std::fprintf(stderr, "TestHome: refusing to remove \"%s\"\n", qPrintable(path));
        std::abort();
    }
    Guard(path);
    return QDir(path).removeRecursively();
}
