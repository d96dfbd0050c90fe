#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>

// Reads the vendor host's replies behind the unit chooser: the region tree of "Area_GetXD" and
// the units of "Unit_GetList". Holds no widgets, so any reply can be tried on it alone.
class RegionReply {
public:
    struct Unit {
        QString name;
        // Unit_ID, UnitName, UnitUrl, UnitUrl2 joined by ",".
        QString record;
    };

    // A nested "Area" may be one object or an array of them; anything else holds none.
    static QJsonArray Areas(const QJsonValue& value);
    // The provinces of a region reply; none when it is not a reply envelope.
    static QJsonArray Provinces(const QByteArray& data);
    // The units of a unit-list reply, in reply order; "R" may be one object.
    static QList<Unit> Units(const QByteArray& data);
};
