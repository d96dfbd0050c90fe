#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DemoUser {
    int64_t id = 0;
    std::string login, password, name, nick, type_id, org_id, unit_id;
    bool echo = false;
};

struct DemoUnit {
    std::string id, name, district_id;
    // The school site address is given with "http://" for some units and without for others.
    bool site_scheme = true;
};

struct DemoOrg {
    std::string id, name, parent, unit_id;
};

enum class GroupKind { kPublic, kPersonal, kDiscussion };

struct DemoGroup {
    int64_t id = 0;
    GroupKind kind = GroupKind::kPublic;
    std::string name, unit_id, tag, is_show;
    int64_t creator = 0;
    std::vector<int64_t> members;
    bool HasMember(int64_t user) const;
};

struct DemoCategory {
    int remind_id = 0;
    std::string name;
    bool is_count = true;
};

// A message of the seeded history; `to` is a user id or a negated group id.
struct DemoHistory {
    int64_t from = 0, to = 0;
    int remind_id = 0, minutes = 0, type = 1;
    std::string text, url, sample;
    bool read = false;
};

struct DemoLine {
    int64_t from = 0;
    std::string text;
};

// A long conversation between two users, written into the history message by message: `count`
// messages in sittings of a few minutes spread over `days` days up to `last_days` days ago,
// each one the next of `lines`, sent by its member to the other.
struct DemoThread {
    std::vector<int64_t> members;
    int count = 0, days = 0, last_days = 0;
    std::vector<DemoLine> lines;
};

struct DemoTerm {
    std::string id, name;
    int weeks_before = 0, weeks = 0;
};

struct DemoSection {
    std::string name, begin, end;
};

struct DemoSectionGroup {
    std::string name;
    std::vector<DemoSection> sections;
};

// A schedule entry placed by week (0 = the current one) and weekday (1 = Monday). An owner
// makes it one of that user's own entries; a teacher makes it a lesson of that teacher, held
// every week of the term `term`; otherwise it belongs to every unit.
struct DemoEntry {
    int week = 0, day = 1;
    std::string begin, end, work, address, type, term;
    int64_t owner = 0, teacher = 0;
    std::vector<int64_t> members;
};

// A to-do item of the users listed (every user when none is).
struct DemoTodo {
    std::string list, work, edit_status, count_done, count_open;
    int end_days = 0;
    bool read = true;
    std::vector<int64_t> users;
    bool For(int64_t user) const;
};

// A meeting listed to its members.
struct DemoMeeting {
    std::string id, subject, location, is_read;
    int start_minutes = 0, end_minutes = 0;
    std::vector<int64_t> members;
};

// The demo world, read once at start; read-only afterwards, so request threads share it freely.
class DemoData {
public:
    bool Load(const std::string& json_text, std::string* error);

    const DemoUser* FindUser(const std::string& login_or_id) const;
    const DemoUser* UserById(int64_t id) const;
    const DemoUnit* UnitById(const std::string& id) const;
    const DemoGroup* GroupById(int64_t id) const;
    const DemoCategory* Category(int remind_id) const;

    std::string areas_json;
    std::vector<DemoUnit> units;
    std::vector<DemoOrg> orgs;
    std::vector<DemoUser> users;
    std::vector<DemoGroup> groups;
    std::vector<DemoCategory> categories;
    std::vector<DemoHistory> history;
    std::vector<DemoThread> threads;
    std::vector<DemoTerm> terms;
    std::vector<DemoSectionGroup> sections;
    std::vector<DemoEntry> schedule;
    std::vector<DemoTodo> todos;
    std::vector<DemoMeeting> meetings;
    std::string version_no, version_url;
};
