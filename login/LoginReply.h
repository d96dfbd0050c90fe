#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// A "LoginUser" reply: the user's identity and session when "EID" is "0", else the failure
// text. Holds no widgets, so any reply can be tried on it alone.
struct LoginReply {
    enum class Kind { kUnreadable, kRefused, kAccepted };

    Kind kind = Kind::kUnreadable;
    QString error_message;
    // Every key of Keys(), as text: a missing key or a number reads as "".
    QMap<QString, QString> values;

    // The reply keys stored into the account map, in the order they are stored.
    static const QStringList& Keys();
    static LoginReply Parse(const QByteArray& data);
};
