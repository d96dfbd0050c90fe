#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include "ScheduleRecords.h"

class ScheduleRequester;

// Fetches what the week table needs from the schedule service: the terms, the weeks of the
// current term, the day sections and the entries of one week (the user's own and the unit's).
// Runs on the GUI thread; owned by the schedule page.
class SchedulePageHelper : public QObject {
    Q_OBJECT
public:
    explicit SchedulePageHelper(QObject* parent = nullptr);
    ~SchedulePageHelper() override;

    // Requests the terms; weeks, sections and the current week's entries follow.
    void Start();
    // Clears the entries and requests those of week `week_index`. Before the sections are
    // known the request waits for them.
    void RequestWeekEntries(int week_index);
    // Logs the three lists and hands the entries to the page (schedule_ready).
    void ParseScheduleInfos();

    const TermWeeks& Weeks() const { return term_weeks_infos_; }
    const SectionInfos& Sections() const { return section_infos_; }
    const ScheduleEntries& Entries() const { return schedule_infos_; }
    QString TermId() const { return term_id_; }

signals:
    void term_infos_ready(QByteArray data);
    void term_week_infos_ready(QByteArray data);
    void section_infos_ready(QByteArray data);
    void schedule_total_infos_ready(QByteArray data);
    void course_infos_ready(QByteArray data);
    // The week list arrived; `current_index` is the week to show.
    void weeks_ready(int current_index);
    void sections_ready();
    // The entries of the requested week are complete.
    void schedule_ready();

private slots:
    void OnTermInfos(QByteArray data);
    void OnTermWeekInfos(QByteArray data);
    void OnSectionInfos(QByteArray data);
    void OnScheduleTotalInfos(QByteArray data);
    void OnCourseInfos(QByteArray data);

private:
    enum Kind { kTerms, kWeeks, kSections, kOwnEntries, kUnitEntries };

    using Fields = QList<QPair<QString, QString>>;
    void Post(Kind kind, const QString& method, const Fields& extra = Fields());
    void OnReply(int kind, const QByteArray& data);
    void RequestEntries(Kind kind, const QString& method);

    ScheduleRequester* requester_;
    QString term_id_;
    TermWeeks term_weeks_infos_;
    SectionInfos section_infos_;
    ScheduleEntries schedule_infos_;
    int week_index_ = -1;
    bool sections_known_ = false;
};
