#include "AppInfo.h"

#ifndef CORALBRIDGE_VENDOR_HOST
#define CORALBRIDGE_VENDOR_HOST "127.0.0.1:8770"
#endif

namespace {
QString g_app_path;
QString g_vendor_host = QStringLiteral(CORALBRIDGE_VENDOR_HOST);
}  // namespace

QString AppInfo::AppPath() {
    return g_app_path;
}

QString AppInfo::ToolsPath() {
    return g_app_path.isEmpty() ? QString() : QStringLiteral("%1tools/").arg(g_app_path);
}

QString AppInfo::TmpPath() {
    return g_app_path.isEmpty() ? QString() : QStringLiteral("%1tmp/").arg(g_app_path);
}

void AppInfo::SetAppPath(const QString& app_path) {
    g_app_path = app_path;
}

QString AppInfo::VendorHost() {
    return g_vendor_host;
}

void AppInfo::SetVendorHost(const QString& host) {
    g_vendor_host = host;
}
