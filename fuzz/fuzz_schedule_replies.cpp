// The schedule service's replies: terms, weeks, day sections, the entries of the week (own and
// the unit's), the dates they carry, and the meetings' times as the to-do and meeting panel
// reads them. Each input is tried as every reply.
#include <QJsonArray>
#include <QJsonObject>

#include "FuzzSupport.h"
#include "base/Json.h"
#include "schedule/MeetingItem.h"
#include "schedule/ScheduleReplies.h"

namespace {

const QDateTime kNow(QDate(2024, 5, 6), QTime(9, 30));

void Entries(const QByteArray& reply, bool own) {
    ScheduleEntries entries;
    if (!ScheduleReplies::Entries(reply, own, &entries))
        return;
    for (const ScheduleEntry& entry : entries)
        ScheduleReplies::DayKey(entry.date);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::InitCore(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray reply = fuzz::Bytes(data, size);
    QString term;
    ScheduleReplies::CurrentTerm(reply, kNow, &term);
    TermWeeks weeks;
    int current = -1;
    if (ScheduleReplies::Weeks(reply, kNow.date(), &weeks, &current))
        fuzz::Expect(weeks.isEmpty() || (current >= 0 && current < weeks.size()),
                     "the current week is one of the weeks");
    SectionInfos sections;
    ScheduleReplies::Sections(reply, &sections);
    Entries(reply, true);
    Entries(reply, false);
    ScheduleReplies::DayKey(QString::fromUtf8(reply));
    for (const QJsonValue& meeting : Json(reply).Objects(QStringLiteral("Velta.R")))
        MeetingItem::StateAt(meeting.toObject(), kNow);
    return 0;
}
