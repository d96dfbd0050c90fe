#include "ScheduleReplies.h"

#include <QJsonArray>
#include <QJsonObject>

#include "base/Json.h"

namespace {

const char kAllDayGroup[] = "全天";

QString Field(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toString();
}

// The array or single object held by `value`, always as an array.
QJsonArray Objects(const QJsonValue& value) {
    if (value.isArray())
        return value.toArray();
    if (value.isObject())
        return QJsonArray{value};
    return QJsonArray();
}

int WeekHolding(const TermWeeks& weeks, const QDate& day) {
    for (int i = 0; i < weeks.size(); ++i) {
        if (weeks.at(i).First() <= day && day <= weeks.at(i).Last())
            return i;
    }
    return 0;
}

}  // namespace

bool ScheduleReplies::IsSuccess(const Json& reply) {
    return reply.IsValid() && reply.Root().value(QStringLiteral("Velta")).isObject() &&
           reply.Text(QStringLiteral("Velta.EID")) == QLatin1String("0");
}

bool ScheduleReplies::CurrentTerm(const QByteArray& data, const QDateTime& now, QString* term_id) {
    const Json reply(data);
    if (!IsSuccess(reply))
        return false;
    term_id->clear();
    for (const QJsonValue& value : reply.Objects(QStringLiteral("Velta.R"))) {
        const QJsonObject term = value.toObject();
        const QString format = QStringLiteral("yyyy/M/d h:mm:ss");
        const QDateTime begin = QDateTime::fromString(Field(term, "BeginDate"), format);
        const QDateTime end = QDateTime::fromString(Field(term, "EndDate"), format);
        if (begin.isValid() && end.isValid() && begin <= now && now <= end) {
            *term_id = Field(term, "Term_ID");
            break;
        }
    }
    return true;
}

bool ScheduleReplies::Weeks(const QByteArray& data, const QDate& today, TermWeeks* weeks,
                            int* current) {
    const Json reply(data);
    if (!IsSuccess(reply))
        return false;
    weeks->clear();
    *current = -1;
    for (const QJsonValue& value : reply.Objects(QStringLiteral("Velta.R"))) {
        const QJsonObject week = value.toObject();
        if (*current < 0 && Field(week, "IsCurrent") == QLatin1String("1"))
            *current = weeks->size();
        weeks->append({Field(week, "Name"), Field(week, "Time")});
    }
    if (*current < 0)
        *current = WeekHolding(*weeks, today);
    return true;
}

bool ScheduleReplies::Sections(const QByteArray& data, SectionInfos* sections) {
    const Json reply(data);
    if (!IsSuccess(reply))
        return false;
    sections->clear();
    for (const QJsonValue& r : reply.Objects(QStringLiteral("Velta.R"))) {
        for (const QJsonValue& g : Objects(r.toObject().value(QStringLiteral("Time")))) {
            const QJsonObject group = g.toObject();
            if (Field(group, "Name") == QString::fromUtf8(kAllDayGroup))
                continue;
            for (const QJsonValue& s : Objects(group.value(QStringLiteral("Section")))) {
                const QJsonObject section = s.toObject();
                sections->append(
                    {Field(section, "Name"), Field(section, "Begin"), Field(section, "End")});
            }
        }
    }
    return true;
}

bool ScheduleReplies::Entries(const QByteArray& data, bool own, ScheduleEntries* entries) {
    const Json reply(data);
    if (!IsSuccess(reply))
        return false;
    entries->clear();
    for (const QJsonValue& value : reply.Objects(QStringLiteral("Velta.R"))) {
        const QJsonObject e = value.toObject();
        ScheduleEntry entry{DayKey(Field(e, "Date")),
                            Field(e, "Work"),
                            Field(e, "Address"),
                            Field(e, "BeginTime"),
                            Field(e, "EndTime"),
                            own ? QStringLiteral("4") : Field(e, "Type"),
                            own ? QStringLiteral("1") : Field(e, "IsMember")};
        entries->append(entry);
    }
    return true;
}

QString ScheduleReplies::DayKey(const QString& date) {
    const QString day = date.trimmed().section(QLatin1Char(' '), 0, 0);
    for (const char* format : {"yyyy/M/d", "yyyy-M-d"}) {
        const QDate parsed = QDate::fromString(day, QLatin1String(format));
        if (parsed.isValid())
            return parsed.toString(QStringLiteral("yyyy-MM-dd"));
    }
    return date;
}
