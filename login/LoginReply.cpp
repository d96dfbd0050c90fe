#include "LoginReply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

const QStringList& LoginReply::Keys() {
    static const QStringList keys = {
        "User_ID", "UserName", "UserType_ID", "Nick", "HeadPic", "Organization_ID",
        "Unit_ID", "UnitName", "SessionID",   "Pro",  "IsVip"};
    return keys;
}

LoginReply LoginReply::Parse(const QByteArray& data) {
    LoginReply reply;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (doc.isNull() || error.error != QJsonParseError::NoError)
        return reply;
    QJsonObject root = doc.object();
    QJsonObject velta = root.take(QLatin1String("Velta")).toObject();
    if (velta.take(QLatin1String("EID")).toString() != QLatin1String("0")) {
        reply.kind = Kind::kRefused;
        reply.error_message = velta.take(QLatin1String("ErrorMessage")).toString();
        return reply;
    }
    reply.kind = Kind::kAccepted;
    for (const QString& key : Keys())
        reply.values.insert(key, velta.take(key).toString());
    return reply;
}
