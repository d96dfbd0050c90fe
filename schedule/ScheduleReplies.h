#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "ScheduleRecords.h"

class Json;

// Reads the replies of the schedule service. Each reader returns false for a reply that is not
// JSON, lacks "Velta" or whose "EID" is not "0"; its output is then left alone. "R" may be an
// array or a single object; both read the same.
class ScheduleReplies {
public:
    static bool IsSuccess(const Json& reply);

    // The id of the first term with begin <= now <= end; empty when none holds `now`.
    static bool CurrentTerm(const QByteArray& data, const QDateTime& now, QString* term_id);
    // The weeks in reply order and the index of the one marked "IsCurrent" "1"; without a mark,
    // the week that holds `today`, else the first.
    static bool Weeks(const QByteArray& data, const QDate& today, TermWeeks* weeks, int* current);
    // Every section of every group but "全天", in reply order.
    static bool Sections(const QByteArray& data, SectionInfos* sections);
    // Own entries (type "4", is-member "1") or the unit's entries with their own type and flag.
    static bool Entries(const QByteArray& data, bool own, ScheduleEntries* entries);

    // A reply date ("yyyy/M/d h:mm:ss", "yyyy/M/d", "yyyy-M-d" ...) as "yyyy-MM-dd"; the text
    // unchanged when it reads as no date.
    static QString DayKey(const QString& date);
};
