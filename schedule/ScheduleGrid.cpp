#include "ScheduleGrid.h"

#include <QTime>

QList<QDate> ScheduleGrid::Days(const TermWeek& week) {
    const QDate first = week.First();
    const QDate last = week.Last();
    QList<QDate> days;
    if (!first.isValid() || !last.isValid() || first > last || first.daysTo(last) >= kMaxDays)
        return days;
    for (QDate day = first; day <= last; day = day.addDays(1))
        days.append(day);
    return days;
}

int ScheduleGrid::Column(const QString& date, const QList<QDate>& days) {
    return days.indexOf(QDate::fromString(date, QStringLiteral("yyyy-MM-dd")));
}

int ScheduleGrid::Row(const QString& begin, const SectionInfos& sections) {
    if (sections.isEmpty())
        return -1;
    const QTime at = ReadTime(begin);
    for (int row = 0; row < sections.size(); ++row) {
        if (ReadTime(sections.at(row).begin) > at)
            return qMax(0, row - 1);
    }
    return sections.size() - 1;
}

ScheduleGrid::Colours ScheduleGrid::ColoursOf(const QString& type) {
    if (type == QLatin1String("1"))
        return {QColor(0xff, 0xf2, 0xe7), QColor(0xff, 0x7d, 0x1a)};
    if (type == QLatin1String("2"))
        return {QColor(0xda, 0xf8, 0xe6), QColor(0x2e, 0xab, 0x62)};
    if (type == QLatin1String("3"))
        return {QColor(0xeb, 0xe7, 0xff), QColor(0x6f, 0x5b, 0xcf)};
    return {QColor(0xe9, 0xf0, 0xf4), QColor(0x22, 0x87, 0xe4)};
}

int ScheduleGrid::RowHeight(int entries) {
    if (entries <= 1)
        return kRowHeight;
    return entries * kRowHeight + (entries - 1) * kEntrySpacing;
}

QTime ScheduleGrid::ReadTime(const QString& text) {
    const QTime time = QTime::fromString(text.trimmed(), QStringLiteral("H:mm"));
    return time.isValid() ? time : QTime::fromString(text.trimmed(), QStringLiteral("H:mm:ss"));
}
