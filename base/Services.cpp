#include "Services.h"

#include "Account.h"
#include "AppInfo.h"
#include "ServicePaths.h"

QString Services::VendorUrl(const QString& method) {
    return QStringLiteral("http://%1%2%3")
        .arg(AppInfo::VendorHost(), QLatin1String(service_paths::kVendorPath), method);
}

QString Services::InstallerUrl(const QString& reference) {
    return QStringLiteral("http://%1%2%3")
        .arg(AppInfo::VendorHost(), QLatin1String(service_paths::kInstallerPath), reference);
}

QString Services::UnitBase(const QMap<QString, QString>& account) {
    return account.value(QStringLiteral("cur_unit")).split(QLatin1Char(',')).value(2);
}

QString Services::UnitBase() {
    return UnitBase(Account::GetAccountInfo(Account::CurUserId()));
}

QString Services::LoginUrl(const QString& unit_base) {
    return QStringLiteral("%1%2%3").arg(unit_base, QLatin1String(service_paths::kLoginPath),
                                        QLatin1String(service_paths::method::kLoginUser));
}

QString Services::InterfaceUrl(const QString& unit_base, const QString& method) {
    return QStringLiteral("%1%2%3").arg(unit_base, QLatin1String(service_paths::kInterfacePath),
                                        method);
}

QString Services::InterfaceUrlSlashed(const QString& unit_base, const QString& method) {
    return QStringLiteral("%1/%2%3").arg(unit_base, QLatin1String(service_paths::kInterfacePath),
                                         method);
}

QString Services::ScheduleUrl(const QString& unit_base, const QString& method) {
    return QStringLiteral("%1%2%3").arg(unit_base, QLatin1String(service_paths::kSchedulePath),
                                        method);
}
