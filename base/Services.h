#pragma once

#include <QMap>
#include <QString>

// Builds the addresses of the platform's web services (paths and methods: ServicePaths.h).
class Services {
public:
    // "http://<vendor host>/DavEdevo/MobileManageCenter/InterfaceJson.asmx/<method>".
    static QString VendorUrl(const QString& method);
    // "http://<vendor host>/UpLoad/MMC/<reference>".
    static QString InstallerUrl(const QString& reference);

    // Field 2 of the unit record "cur_unit" (empty parts kept): the unit base URL, ending "/".
    static QString UnitBase(const QMap<QString, QString>& account);
    // The same for the account map of the current user.
    static QString UnitBase();

    // "%1baseplate/interface/iinterfacejson.asmx/LoginUser".
    static QString LoginUrl(const QString& unit_base);
    // "%1BasePlate/Interface/IInterfaceJson.asmx/<method>".
    static QString InterfaceUrl(const QString& unit_base, const QString& method);
    // "%1/BasePlate/Interface/IInterfaceJson.asmx/<method>" (sending, receipts, attachments).
    static QString InterfaceUrlSlashed(const QString& unit_base, const QString& method);
    // "%1DavEdevo/MSGSchedule/InterfaceJson.asmx/<method>".
    static QString ScheduleUrl(const QString& unit_base, const QString& method);
};
