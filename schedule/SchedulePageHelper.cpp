#include "SchedulePageHelper.h"

#include <QDateTime>
#include <QDebug>

#include "SchedulePageHelperHttp.h"
#include "ScheduleReplies.h"
#include "ScheduleRequester.h"
#include "base/Account.h"
#include "base/FormBody.h"
#include "base/ServicePaths.h"

namespace method = service_paths::method;

SchedulePageHelper::SchedulePageHelper(QObject* parent)
    : QObject(parent),
      requester_(new ScheduleRequester(
          new SchedulePageHelperHttp,
          [this](int kind, const QByteArray& data) { OnReply(kind, data); }, this)) {
    connect(this, &SchedulePageHelper::term_infos_ready, this, &SchedulePageHelper::OnTermInfos);
    connect(this, &SchedulePageHelper::term_week_infos_ready, this,
            &SchedulePageHelper::OnTermWeekInfos);
    connect(this, &SchedulePageHelper::section_infos_ready, this,
            &SchedulePageHelper::OnSectionInfos);
    connect(this, &SchedulePageHelper::schedule_total_infos_ready, this,
            &SchedulePageHelper::OnScheduleTotalInfos);
    connect(this, &SchedulePageHelper::course_infos_ready, this,
            &SchedulePageHelper::OnCourseInfos);
}

SchedulePageHelper::~SchedulePageHelper() {
    qDebug() << "SchedulePageHelper::~SchedulePageHelper";
}

void SchedulePageHelper::Start() {
    Post(kTerms, QLatin1String(method::kTermGetList));
}

void SchedulePageHelper::RequestWeekEntries(int week_index) {
    week_index_ = week_index;
    schedule_infos_.clear();
    if (sections_known_)
        RequestEntries(kOwnEntries, QLatin1String(method::kScheduleGetTotalList));
}

// The common fields come first, in the service's order.
void SchedulePageHelper::Post(Kind kind, const QString& method, const Fields& extra) {
    const AccountMap& account = Account::GetAccountInfo(Account::CurUserId());
    FormBody body;
    for (const char* key : {"User_ID", "SessionID", "Unit_ID"})
        body.Add(QLatin1String(key), account.value(QLatin1String(key)));
    for (const auto& field : extra)
        body.Add(field.first, field.second);
    requester_->Post(0, kind, method, body);
}

void SchedulePageHelper::RequestEntries(Kind kind, const QString& method) {
    const TermWeek week = term_weeks_infos_.value(week_index_);
    const QString format = QStringLiteral("yyyy-MM-dd");
    Post(kind, method,
         {{QStringLiteral("BeginDay"), week.First().toString(format)},
          {QStringLiteral("EndDay"), week.Last().toString(format)}});
}

void SchedulePageHelper::OnReply(int kind, const QByteArray& data) {
    switch (kind) {
        case kTerms:
            emit term_infos_ready(data);
            break;
        case kWeeks:
            emit term_week_infos_ready(data);
            break;
        case kSections:
            emit section_infos_ready(data);
            break;
        case kOwnEntries:
            emit schedule_total_infos_ready(data);
            break;
        default:
            emit course_infos_ready(data);
            break;
    }
}

void SchedulePageHelper::OnTermInfos(QByteArray data) {
    QString term_id;
    if (!ScheduleReplies::CurrentTerm(data, QDateTime::currentDateTime(), &term_id))
        return;
    term_id_ = term_id;
    if (term_id_.isEmpty()) {
        qDebug() << "SchedulePageHelper: no term holds the present";
        return;
    }
    Post(kWeeks, QLatin1String(method::kTermWeekGetList), {{QStringLiteral("Term_ID"), term_id_}});
}

void SchedulePageHelper::OnTermWeekInfos(QByteArray data) {
    int current = 0;
    if (!ScheduleReplies::Weeks(data, QDate::currentDate(), &term_weeks_infos_, &current))
        return;
    week_index_ = current;
    emit weeks_ready(current);
    Post(kSections, QLatin1String(method::kScheduleSectionGetXD2));
}

void SchedulePageHelper::OnSectionInfos(QByteArray data) {
    if (!ScheduleReplies::Sections(data, &section_infos_))
        return;
    sections_known_ = true;
    emit sections_ready();
    RequestWeekEntries(week_index_);
}

void SchedulePageHelper::OnScheduleTotalInfos(QByteArray data) {
    if (!ScheduleReplies::Entries(data, true, &schedule_infos_))
        return;
    RequestEntries(kUnitEntries, QLatin1String(method::kCourseScheduleGetList));
}

void SchedulePageHelper::OnCourseInfos(QByteArray data) {
    ScheduleEntries unit;
    if (!ScheduleReplies::Entries(data, false, &unit))
        return;
    schedule_infos_.append(unit);
    ParseScheduleInfos();
}

void SchedulePageHelper::ParseScheduleInfos() {
    const auto texts = [](const auto& records) {
        QStringList lines;
        for (const auto& record : records)
            lines << record.Text();
        return lines;
    };
    qDebug() << "SchedulePageHelper::ParseScheduleInfos";
    qDebug() << "term_weeks_infos_: " << texts(term_weeks_infos_);
    qDebug() << "section_infos_: " << texts(section_infos_);
    qDebug() << "schedule_infos_: " << texts(schedule_infos_);
    emit schedule_ready();
}
