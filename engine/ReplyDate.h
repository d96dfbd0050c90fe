#pragma once

#include <QDateTime>
#include <QString>

// Dates of the poll reply. Qt's reading by format costs more than storing the message, so the
// reply's two formats are read by hand when the text is plainly in them; any other text is left
// to QDateTime::fromString, whose result is the same in every case.
class ReplyDate {
public:
    // "2024/5/6 8:09:10", a message's SendDate.
    static QDateTime Message(const QString& text);
    // "2024-05-06 08:10", a status log's LogDate.
    static QDateTime Log(const QString& text);

    static const QString kMessageFormat;
    static const QString kLogFormat;
};
