#pragma once

#include <QDate>
#include <QList>
#include <QSet>
#include <QTableWidget>

#include "ScheduleRecords.h"

class ScheduleEntryWid;

// The week table: one column per day of the shown week, one row per day section; each cell
// stacks the entries that begin in that section on that day.
class ScheduleTableWid : public QTableWidget {
    Q_OBJECT
public:
    explicit ScheduleTableWid(QWidget* parent = nullptr);

    // Rebuilds the columns for `days`, marking `today`; the entries are cleared.
    void SetDays(const QList<QDate>& days, const QDate& today);
    // Rebuilds the rows; the entries are cleared.
    void SetSections(const SectionInfos& sections);
    // Places `entries` by date and begin time; those of no shown day are left out.
    void SetEntries(const ScheduleEntries& entries);
    void ClearEntries();
    // Shows or hides the entries of one legend kind (ScheduleTableWid::KindOf).
    void SetKindShown(int kind, bool shown);

    const QList<QDate>& Days() const { return days_; }
    QList<ScheduleEntryWid*> EntriesAt(int row, int column) const;

    // The legend kind of an entry type: 0 school, 1 department, 2 personal, 3 the user's own.
    static int KindOf(const QString& type);

private:
    void ResetCells();
    void PlaceEntries();

    QList<QDate> days_;
    QDate today_;
    SectionInfos sections_;
    ScheduleEntries entries_;
    QSet<int> hidden_kinds_;
};
