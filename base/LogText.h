#pragma once

#include <QMap>
#include <QString>

// What may go to the log: request bodies, URLs, replies and settings dumps with the values of
// passwords and session ids masked. Nothing else is changed, so the lines stay useful.
class LogText {
public:
    static constexpr const char* kMask = "***";

    // Masks the values of the secret names (case-insensitive: "encyptpassword", "password",
    // "usr_psw", "sessionid", "gcheckstr") in form and query text ("name=value"), in JSON
    // ("name":"value") and in the debug form of a map ("name", "value").
    static QString Redacted(const QString& text);
    // The debug form of a map (the account map), masked.
    static QString Map(const QMap<QString, QString>& map);
};
