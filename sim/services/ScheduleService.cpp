#include "sim/services/ScheduleService.h"

#include "base/ServicePaths.h"
#include "sim/SimClock.h"
#include "sim/SimContext.h"
#include "sim/demo/DemoData.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"

#include <algorithm>

using envelope::Json;
namespace method = service_paths::method;

bool ScheduleService::Handle(const SimRequest& request, SimReply* reply) {
    const std::string& name = request.Method();
    const auto is = [&](const char* candidate) {
        return text_util::EqualsIgnoreCase(name, candidate);
    };
    if (!is(method::kTermGetList) && !is(method::kTermWeekGetList) &&
        !is(method::kScheduleSectionGetXD2) && !is(method::kScheduleGetTotalList) &&
        !is(method::kCourseScheduleGetList))
        return false;
    const int64_t user = context_.SessionUser(request);
    if (!user)
        *reply = SimContext::Expired();
    else if (is(method::kTermGetList))
        *reply = Terms();
    else if (is(method::kTermWeekGetList))
        *reply = Weeks(request);
    else if (is(method::kScheduleSectionGetXD2))
        *reply = Sections();
    else
        *reply = Entries(request, user, is(method::kScheduleGetTotalList));
    return true;
}

SimReply ScheduleService::Terms() const {
    const int64_t now = sim_clock::Now();
    Json terms = Json::array();
    for (const DemoTerm& term : context_.demo.terms) {
        const int64_t begin = sim_clock::Monday(now, -term.weeks_before);
        const int64_t end =
            sim_clock::EndOfDay(sim_clock::Monday(now, term.weeks - term.weeks_before, -1));
        terms.push_back(Json{{"Term_ID", term.id},
                             {"TermName", term.name},
                             {"BeginDate", sim_clock::SlashDateTime(begin)},
                             {"EndDate", sim_clock::SlashDateTime(end)}});
    }
    Json velta = envelope::Ok();
    velta["R"] = envelope::ListOrObject(terms);
    return envelope::Reply(velta);
}

// Week names are "第N周"; "Time" holds the first and last day, "yyyy-MM-dd,yyyy-MM-dd".
SimReply ScheduleService::Weeks(const SimRequest& request) const {
    const std::string id = request.Param("Term_ID");
    const auto& terms = context_.demo.terms;
    const auto term =
        std::find_if(terms.begin(), terms.end(), [&](const DemoTerm& t) { return t.id == id; });
    if (term == terms.end())
        return envelope::Error("2", "学期不存在");
    const int64_t now = sim_clock::Now();
    const int64_t this_week = sim_clock::Monday(now);
    Json weeks = Json::array();
    for (int i = 0; i < term->weeks; ++i) {
        const int64_t monday = sim_clock::Monday(now, i - term->weeks_before);
        const int64_t sunday = sim_clock::Monday(now, i - term->weeks_before, 6);
        weeks.push_back(Json{{"Week_ID", std::to_string(i + 1)},
                             {"Name", "第" + std::to_string(i + 1) + "周"},
                             {"Time", sim_clock::Day(monday) + "," + sim_clock::Day(sunday)},
                             {"IsCurrent", monday == this_week ? "1" : "0"}});
    }
    Json velta = envelope::Ok();
    velta["R"] = envelope::ListOrObject(weeks);
    return envelope::Reply(velta);
}

SimReply ScheduleService::Sections() const {
    Json groups = Json::array();
    for (const DemoSectionGroup& group : context_.demo.sections) {
        Json sections = Json::array();
        for (const DemoSection& s : group.sections)
            sections.push_back(Json{{"Name", s.name}, {"Begin", s.begin}, {"End", s.end}});
        groups.push_back(Json{{"Name", group.name}, {"Section", sections}});
    }
    Json velta = envelope::Ok();
    velta["R"] = Json{{"Time", groups}};
    return envelope::Reply(velta);
}

// Own entries carry "yyyy-MM-dd" dates; unit entries are always an array with dates written
// "yyyy/M/d H:mm:ss", the form the client rewrites. Lessons are listed only to their teacher.
SimReply ScheduleService::Entries(const SimRequest& request, int64_t user, bool own) const {
    const int64_t first = sim_clock::ParseDay(request.Param("BeginDay"));
    const int64_t last = sim_clock::ParseDay(request.Param("EndDay"));
    if (first < 0 || last < 0)
        return envelope::Error("2", "日期格式错误");
    Json entries = Json::array();
    for (const DemoEntry& entry : context_.demo.schedule) {
        if (!ListedTo(entry, user, own))
            continue;
        for (const int64_t day : Days(entry, first, last)) {
            Json record = Json::object();
            record["Date"] = own ? sim_clock::Day(day) : sim_clock::SlashDateTime(day);
            record["Work"] = entry.work;
            record["Address"] = entry.address;
            record["BeginTime"] = entry.begin;
            record["EndTime"] = entry.end;
            if (!own) {
                const bool member = entry.teacher == user ||
                                    std::find(entry.members.begin(), entry.members.end(), user) !=
                                        entry.members.end();
                record["Type"] = entry.type;
                record["IsMember"] = member ? "1" : "0";
            }
            entries.push_back(record);
        }
    }
    Json velta = envelope::Ok();
    velta["R"] = own ? envelope::ListOrObject(entries) : entries;
    return envelope::Reply(velta);
}

bool ScheduleService::ListedTo(const DemoEntry& entry, int64_t user, bool own) const {
    if (own)
        return entry.owner == user;
    if (entry.owner != 0)
        return false;
    return entry.teacher == 0 || entry.teacher == user;
}

std::vector<int64_t> ScheduleService::Days(const DemoEntry& entry, int64_t first,
                                           int64_t last) const {
    const int64_t now = sim_clock::Now();
    int from = entry.week, to = entry.week;
    if (!entry.term.empty()) {
        const auto& terms = context_.demo.terms;
        const auto term = std::find_if(terms.begin(), terms.end(),
                                       [&](const DemoTerm& t) { return t.id == entry.term; });
        if (term == terms.end())
            return {};
        from = -term->weeks_before;
        to = term->weeks - term->weeks_before - 1;
    }
    std::vector<int64_t> days;
    for (int week = from; week <= to; ++week) {
        const int64_t day = sim_clock::Monday(now, week, entry.day - 1);
        if (day >= first && day <= last)
            days.push_back(day);
    }
    return days;
}
