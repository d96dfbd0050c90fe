#include "sim/demo/DemoData.h"

#include <nlohmann/json.hpp>

#include <algorithm>

using nlohmann::json;

namespace {

std::string Str(const json& j, const char* key, const std::string& def = std::string()) {
    const auto it = j.find(key);
    if (it == j.end() || it->is_null())
        return def;
    return it->is_string() ? it->get<std::string>() : it->dump();
}

int64_t Num(const json& j, const char* key, int64_t def = 0) {
    const std::string text = Str(j, key);
    try {
        return text.empty() ? def : std::stoll(text);
    } catch (const std::exception&) {
        return def;
    }
}

bool Flag(const json& j, const char* key, bool def) {
    const auto it = j.find(key);
    return it != j.end() && it->is_boolean() ? it->get<bool>() : def;
}

std::vector<int64_t> Ids(const json& j, const char* key) {
    std::vector<int64_t> ids;
    for (const json& id : j.value(key, json::array()))
        ids.push_back(std::stoll(id.is_string() ? id.get<std::string>() : id.dump()));
    return ids;
}

GroupKind Kind(const std::string& text) {
    if (text == "personal")
        return GroupKind::kPersonal;
    return text == "discussion" ? GroupKind::kDiscussion : GroupKind::kPublic;
}

std::string Numbered(std::string text, int n) {
    const auto pos = text.find("%1");
    return pos == std::string::npos ? text : text.replace(pos, 2, std::to_string(n));
}

void LoadPeople(const json& root, DemoData& d) {
    for (const json& u : root.value("units", json::array()))
        d.units.push_back({Str(u, "Unit_ID"), Str(u, "UnitName"), Str(u, "District_ID"),
                           Flag(u, "SiteScheme", true)});
    for (const json& o : root.value("orgs", json::array()))
        d.orgs.push_back({Str(o, "ID"), Str(o, "Name"), Str(o, "Parent", "0"), Str(o, "Unit_ID")});
    for (const json& u : root.value("users", json::array())) {
        DemoUser user;
        user.id = Num(u, "User_ID");
        user.login = Str(u, "Login");
        user.password = Str(u, "Password");
        user.name = Str(u, "UserName");
        user.nick = Str(u, "Nick", user.name);
        user.type_id = Str(u, "UserType_ID", "3");
        user.org_id = Str(u, "Organization_ID");
        user.echo = Flag(u, "Echo", false);
        for (const DemoOrg& org : d.orgs) {
            if (org.id == user.org_id)
                user.unit_id = org.unit_id;
        }
        d.users.push_back(user);
    }
    for (const json& g : root.value("groups", json::array())) {
        DemoGroup group;
        group.id = Num(g, "Group_ID");
        group.kind = Kind(Str(g, "Kind"));
        group.name = Str(g, "GroupName");
        group.creator = Num(g, "CreateUser_ID");
        group.tag = Str(g, "Tag");
        group.is_show = Str(g, "IsShow", "1");
        group.members = Ids(g, "Members");
        const DemoUser* creator = d.UserById(group.creator);
        group.unit_id = creator ? creator->unit_id : std::string();
        d.groups.push_back(group);
    }
}

void LoadMessages(const json& root, DemoData& d) {
    for (const json& c : root.value("categories", json::array()))
        d.categories.push_back({static_cast<int>(Num(c, "Remind_ID")), Str(c, "RemindName"),
                                Flag(c, "IsCount", true)});
    for (const json& h : root.value("history", json::array())) {
        DemoHistory item;
        item.from = Num(h, "From");
        item.to = Num(h, "To");
        item.remind_id = static_cast<int>(Num(h, "Remind"));
        item.minutes = static_cast<int>(Num(h, "Minutes"));
        item.type = static_cast<int>(Num(h, "Type", 1));
        item.text = Str(h, "Text");
        item.url = Str(h, "Url");
        item.sample = Str(h, "Sample");
        item.read = Flag(h, "Read", false);
        d.history.push_back(item);
    }
    for (const json& t : root.value("threads", json::array())) {
        DemoThread thread;
        thread.members = Ids(t, "Members");
        thread.count = static_cast<int>(Num(t, "Count"));
        thread.days = static_cast<int>(Num(t, "Days", 1));
        thread.last_days = static_cast<int>(Num(t, "LastDays"));
        for (const json& line : t.value("Lines", json::array()))
            thread.lines.push_back({Num(line, "From"), Str(line, "Text")});
        if (thread.members.size() == 2 && !thread.lines.empty())
            d.threads.push_back(thread);
    }
}

// A lesson or entry with "Days" stands for one entry on each of those weekdays.
void LoadSchedule(const json& root, DemoData& d) {
    for (const json& t : root.value("terms", json::array()))
        d.terms.push_back({Str(t, "Term_ID"), Str(t, "TermName"),
                           static_cast<int>(Num(t, "WeeksBefore")),
                           static_cast<int>(Num(t, "Weeks"))});
    for (const json& g : root.value("sections", json::array())) {
        DemoSectionGroup group{Str(g, "Name"), {}};
        for (const json& s : g.value("Section", json::array()))
            group.sections.push_back({Str(s, "Name"), Str(s, "Begin"), Str(s, "End")});
        d.sections.push_back(group);
    }
    for (const json& e : root.value("schedule", json::array())) {
        DemoEntry entry;
        entry.week = static_cast<int>(Num(e, "Week"));
        entry.begin = Str(e, "Begin");
        entry.end = Str(e, "End");
        entry.work = Str(e, "Work");
        entry.address = Str(e, "Address");
        entry.type = Str(e, "Type", "4");
        entry.term = Str(e, "Term");
        entry.owner = Num(e, "Owner");
        entry.teacher = Num(e, "Teacher");
        entry.members = Ids(e, "Members");
        std::vector<int64_t> days = Ids(e, "Days");
        if (days.empty())
            days.push_back(Num(e, "Day", 1));
        for (const int64_t day : days) {
            entry.day = static_cast<int>(day);
            d.schedule.push_back(entry);
        }
    }
}

void LoadPlans(const json& root, DemoData& d) {
    for (const json& t : root.value("todos", json::array())) {
        DemoTodo todo;
        todo.list = Str(t, "List", "R");
        todo.edit_status = Str(t, "PlanEdiStatus", "1");
        todo.count_done = Str(t, "Count_0", "0");
        todo.count_open = Str(t, "Count_1", "0");
        todo.end_days = static_cast<int>(Num(t, "EndDays"));
        todo.read = Flag(t, "Read", true);
        todo.users = Ids(t, "Users");
        const int repeat = static_cast<int>(Num(t, "Repeat", 0));
        for (int n = 1; n <= std::max(repeat, 1); ++n) {
            todo.work = Numbered(Str(t, "Work"), n);
            d.todos.push_back(todo);
        }
    }
    for (const json& m : root.value("meetings", json::array()))
        d.meetings.push_back({Str(m, "MeetingAppoint_ID"), Str(m, "MeetingSubject"),
                              Str(m, "Location"), Str(m, "IsRead", "0"),
                              static_cast<int>(Num(m, "StartMinutes")),
                              static_cast<int>(Num(m, "EndMinutes")), Ids(m, "Members")});
    const json version = root.value("version", json::object());
    d.version_no = Str(version, "No");
    d.version_url = Str(version, "Url");
}

}  // namespace

bool DemoGroup::HasMember(int64_t user) const {
    return std::find(members.begin(), members.end(), user) != members.end();
}

bool DemoTodo::For(int64_t user) const {
    return users.empty() || std::find(users.begin(), users.end(), user) != users.end();
}

bool DemoData::Load(const std::string& json_text, std::string* error) {
    try {
        const json root = json::parse(json_text);
        // Ordered, so the region tree keeps the demo file's key order.
        areas_json = nlohmann::ordered_json::parse(json_text)
                         .value("areas", nlohmann::ordered_json::array())
                         .dump();
        LoadPeople(root, *this);
        LoadMessages(root, *this);
        LoadSchedule(root, *this);
        LoadPlans(root, *this);
        return true;
    } catch (const std::exception& e) {
        if (error)
            *error = std::string("cannot read the demo data: ") + e.what();
        return false;
    }
}

const DemoUser* DemoData::FindUser(const std::string& login_or_id) const {
    for (const DemoUser& user : users) {
        if (user.login == login_or_id || std::to_string(user.id) == login_or_id)
            return &user;
    }
    return nullptr;
}

const DemoUser* DemoData::UserById(int64_t id) const {
    for (const DemoUser& user : users) {
        if (user.id == id)
            return &user;
    }
    return nullptr;
}

const DemoUnit* DemoData::UnitById(const std::string& id) const {
    for (const DemoUnit& unit : units) {
        if (unit.id == id)
            return &unit;
    }
    return nullptr;
}

const DemoGroup* DemoData::GroupById(int64_t id) const {
    for (const DemoGroup& group : groups) {
        if (group.id == id)
            return &group;
    }
    return nullptr;
}

const DemoCategory* DemoData::Category(int remind_id) const {
    for (const DemoCategory& category : categories) {
        if (category.remind_id == remind_id)
            return &category;
    }
    return nullptr;
}
