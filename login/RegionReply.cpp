#include "RegionReply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

QJsonArray RegionReply::Areas(const QJsonValue& value) {
    if (value.isArray())
        return value.toArray();
    if (value.isObject())
        return QJsonArray{value};
    return QJsonArray();
}

QJsonArray RegionReply::Provinces(const QByteArray& data) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (doc.isNull() || error.error != QJsonParseError::NoError || !doc.isObject())
        return QJsonArray();
    QJsonObject root = doc.object();
    if (!root.contains(QLatin1String("Velta")))
        return QJsonArray();
    QJsonObject velta = root.take(QLatin1String("Velta")).toObject();
    if (!velta.contains(QLatin1String("Area")))
        return QJsonArray();
    return Areas(velta.take(QLatin1String("Area")));
}

QList<RegionReply::Unit> RegionReply::Units(const QByteArray& data) {
    QList<Unit> units;
    const QJsonDocument doc = QJsonDocument::fromJson(data);
    if (doc.isNull())
        return units;
    QJsonObject root = doc.object();
    QJsonObject velta = root.take(QLatin1String("Velta")).toObject();
    for (const QJsonValue& value : Areas(velta.take(QLatin1String("R")))) {
        const QJsonObject unit = value.toObject();
        Unit entry;
        entry.name = unit.value(QLatin1String("UnitName")).toString();
        entry.record = unit.value(QLatin1String("Unit_ID")).toString() +
                       QStringLiteral(",%1,%2,%3")
                           .arg(entry.name, unit.value(QLatin1String("UnitUrl")).toString(),
                                unit.value(QLatin1String("UnitUrl2")).toString());
        units.append(entry);
    }
    return units;
}
