#pragma once

#include <QColor>
#include <QDate>
#include <QList>
#include <QString>
#include <QTime>

#include "ScheduleRecords.h"

// Where the week table puts things: columns by real date, rows by section begin, colours by
// entry type.
class ScheduleGrid {
public:
    static const int kRowHeight = 79;
    static const int kEntrySpacing = 6;
    // A week of the platform has 7 days; a range longer than this is not laid out.
    static const int kMaxDays = 31;

    struct Colours {
        QColor background;
        QColor accent;
    };

    // The days from the week's first to its last day, inclusive; empty when the range does
    // not read or is longer than kMaxDays.
    static QList<QDate> Days(const TermWeek& week);
    // The column whose day is `date` ("yyyy-MM-dd"); -1 when none is.
    static int Column(const QString& date, const QList<QDate>& days);
    // The row of an entry that begins at `begin`: the last section beginning at or before it,
    // the first row for entries before the first section and the last row for entries after
    // the last section's begin; -1 without sections.
    static int Row(const QString& begin, const SectionInfos& sections);
    static Colours ColoursOf(const QString& type);
    // The height of a row holding `entries` stacked entries.
    static int RowHeight(int entries);
    // "hh:mm", "h:mm" or with seconds; invalid otherwise.
    static QTime ReadTime(const QString& text);
};
