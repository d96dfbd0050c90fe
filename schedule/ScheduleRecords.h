#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// The records the schedule page is built from. They are kept as fields rather than joined
// texts: titles and addresses typed by users may contain "," or "|".

// One week of a term: its "Name" and its "Time", the first and last day as two "yyyy-MM-dd"
// dates separated by ",".
struct TermWeek {
    QString name;
    QString time;

    QDate First() const {
        return QDate::fromString(time.section(QLatin1Char(','), 0, 0).trimmed(),
                                 QStringLiteral("yyyy-MM-dd"));
    }
    QDate Last() const {
        return QDate::fromString(time.section(QLatin1Char(','), 1, 1).trimmed(),
                                 QStringLiteral("yyyy-MM-dd"));
    }
    // "%1|%2", as the log shows it.
    QString Text() const { return name + QLatin1Char('|') + time; }
};

// One day section (lesson period); begin and end "hh:mm".
struct SectionInfo {
    QString name;
    QString begin;
    QString end;

    QString Text() const { return QStringLiteral("%1,%2,%3").arg(name, begin, end); }
};

// One schedule entry. `date` is "yyyy-MM-dd"; `type` "1" school, "2" department, "3" personal
// arrangement, anything else (the user's own entries are "4") is drawn as the user's own;
// `is_member` "1" marks an entry that concerns the user.
struct ScheduleEntry {
    QString date;
    QString work;
    QString address;
    QString begin;
    QString end;
    QString type;
    QString is_member;

    QString Text() const {
        return QStringList{date, work, address, begin, end, type, is_member}.join(QLatin1Char(','));
    }
};

using TermWeeks = QList<TermWeek>;
using SectionInfos = QList<SectionInfo>;
using ScheduleEntries = QList<ScheduleEntry>;
