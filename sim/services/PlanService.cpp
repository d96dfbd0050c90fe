#include "sim/services/PlanService.h"

#include "base/ServicePaths.h"
#include "sim/SimClock.h"
#include "sim/SimContext.h"
#include "sim/demo/DemoData.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"

#include <algorithm>

using envelope::Json;
namespace method = service_paths::method;

namespace {

// The records of one page; pages past the end are empty.
Json Page(const Json& all, int page, int size) {
    Json slice = Json::array();
    const size_t first = static_cast<size_t>(page) * static_cast<size_t>(size);
    for (size_t i = first; i < all.size() && i < first + static_cast<size_t>(size); ++i)
        slice.push_back(all[i]);
    return envelope::ListOrObject(slice);
}

}  // namespace

bool PlanService::Handle(const SimRequest& request, SimReply* reply) {
    const bool todo = text_util::EqualsIgnoreCase(request.Method(), method::kPlanGetToDoList3);
    if (!todo &&
        !text_util::EqualsIgnoreCase(request.Method(), method::kMeetingAppointGetListProcessing))
        return false;
    const int64_t user = context_.SessionUser(request);
    if (!user) {
        *reply = SimContext::Expired();
        return true;
    }
    const int page =
        static_cast<int>(std::max<int64_t>(0, text_util::ToInt(request.Param("PageIndex"))));
    int size = static_cast<int>(text_util::ToInt(request.Param("PageSize"), 100));
    if (size <= 0)
        size = 100;
    *reply = todo ? Todos(user, page, size) : Meetings(user, page, size);
    return true;
}

// "TotalCount" is the length of the longest of the three lists, so the client pages until it
// has all of each.
SimReply PlanService::Todos(int64_t user, int page, int size) const {
    const int64_t now = sim_clock::Now();
    Json handle = Json::array(), audit = Json::array(), applying = Json::array();
    int id = 0;
    for (const DemoTodo& todo : context_.demo.todos) {
        // Ids count every item, so an item keeps its id whoever asks.
        ++id;
        if (!todo.For(user))
            continue;
        Json record = Json::object();
        record["Plan_ID"] = std::to_string(id);
        record["Work"] = todo.work;
        if (todo.list == "Applying") {
            record["Count_0"] = todo.count_done;
            record["Count_1"] = todo.count_open;
            applying.push_back(record);
            continue;
        }
        record["EndDate"] = sim_clock::Day(now + todo.end_days * 86400) + " 17:00";
        record["PlanEdiStatus"] = todo.edit_status;
        record["ReadTime"] = todo.read ? sim_clock::LogDate(now - 86400) : std::string();
        (todo.list == "Audit" ? audit : handle).push_back(record);
    }
    const size_t total = std::max({handle.size(), audit.size(), applying.size()});
    Json velta = envelope::Ok();
    velta["TotalCount"] = std::to_string(total);
    velta["R"] = Page(handle, page, size);
    velta["Audit"] = Page(audit, page, size);
    velta["Applying"] = Page(applying, page, size);
    return envelope::Reply(velta);
}

SimReply PlanService::Meetings(int64_t user, int page, int size) const {
    const int64_t now = sim_clock::Now() / 60 * 60;
    Json meetings = Json::array();
    for (const DemoMeeting& meeting : context_.demo.meetings) {
        if (std::find(meeting.members.begin(), meeting.members.end(), user) ==
            meeting.members.end())
            continue;
        const int64_t start = now + meeting.start_minutes * 60;
        const int64_t end = now + meeting.end_minutes * 60;
        meetings.push_back(
            Json{{"MeetingAppoint_ID", meeting.id},
                 {"MeetingSubject", meeting.subject},
                 {"StartTime", sim_clock::DateTime(start)},
                 {"EndTime", sim_clock::DateTime(end)},
                 {"FormatTime", sim_clock::Short(start) + "-" + sim_clock::Time(end)},
                 {"Location", meeting.location},
                 {"UserNames", Names(meeting.members)},
                 {"IsRead", meeting.is_read}});
    }
    Json velta = envelope::Ok();
    velta["TotalCount"] = std::to_string(meetings.size());
    velta["R"] = Page(meetings, page, size);
    return envelope::Reply(velta);
}

std::string PlanService::Names(const std::vector<int64_t>& members) const {
    std::string names;
    for (const int64_t id : members) {
        const DemoUser* member = context_.demo.UserById(id);
        if (!member)
            continue;
        names += (names.empty() ? "" : ",") + member->name;
    }
    return names;
}
