#include "sim/services/DirectoryService.h"

#include "base/ServicePaths.h"
#include "sim/SimContext.h"
#include "sim/demo/DemoData.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"

using envelope::Json;
namespace method = service_paths::method;

bool DirectoryService::Handle(const SimRequest& request, SimReply* reply) {
    const std::string& name = request.Method();
    const auto is = [&](const char* candidate) {
        return text_util::EqualsIgnoreCase(name, candidate);
    };
    if (!is(method::kOrgAndUserGetList) && !is(method::kRoleAndUserGetList) &&
        !is(method::kPublicGroupGetList) && !is(method::kGroupUserGetList) &&
        !is(method::kMyGroupGetList) && !is(method::kDiscussGroupGetList))
        return false;
    const int64_t user = context_.SessionUser(request);
    if (!user) {
        *reply = SimContext::Expired();
        return true;
    }
    const std::string& unit = request.UnitId();
    Json velta = envelope::Ok();
    // Member lists of own groups and the discussion groups are always arrays; the other
    // directories answer a single record as a bare object.
    if (is(method::kOrgAndUserGetList))
        velta["R"] = envelope::ListOrObject(Organisation(unit, request.Param("org_id")));
    else if (is(method::kPublicGroupGetList))
        velta["R"] = envelope::ListOrObject(Groups(unit, user, 0));
    else if (is(method::kMyGroupGetList))
        velta["R"] = envelope::ListOrObject(Groups(unit, user, 1));
    else if (is(method::kRoleAndUserGetList))
        velta["R"] =
            envelope::ListOrObject(PublicMembers(text_util::ToInt(request.Param("role_id"))));
    else if (is(method::kGroupUserGetList))
        velta["R"] = GroupMembers(text_util::ToInt(request.Param("group_id")));
    else
        velta["R"] = Discussions(user);
    *reply = envelope::Reply(velta);
    return true;
}

// Sub-organisations come first, marked by a leading "-" so the tree asks for their children.
Json DirectoryService::Organisation(const std::string& unit_id, const std::string& org_id) const {
    const std::string parent = org_id.empty() ? "0" : org_id;
    Json entries = Json::array();
    for (const DemoOrg& org : context_.demo.orgs) {
        if (org.unit_id == unit_id && org.parent == parent)
            entries.push_back(Json{{"ID", "-" + org.id}, {"Name", org.name}});
    }
    for (const DemoUser& user : context_.demo.users) {
        if (user.unit_id == unit_id && user.org_id == parent)
            entries.push_back(Json{{"ID", std::to_string(user.id)}, {"Name", user.name}});
    }
    return entries;
}

Json DirectoryService::GroupRecord(const DemoGroup& group, const std::string& creator_name) {
    return Json{{"Group_ID", std::to_string(group.id)},
                {"GroupName", group.name},
                {"CreateUser_ID", std::to_string(group.creator)},
                {"CreateUserName", creator_name},
                {"Tag", group.tag},
                {"IsShow", group.is_show}};
}

// kind 0: the unit's public groups; 1: the personal groups the user belongs to.
Json DirectoryService::Groups(const std::string& unit_id, int64_t user, int kind) const {
    Json entries = Json::array();
    for (const DemoGroup& group : context_.demo.groups) {
        const bool wanted = kind == 0 ? group.kind == GroupKind::kPublic && group.unit_id == unit_id
                                      : group.kind == GroupKind::kPersonal && group.HasMember(user);
        if (!wanted)
            continue;
        const DemoUser* creator = context_.demo.UserById(group.creator);
        entries.push_back(GroupRecord(group, creator ? creator->name : std::string()));
    }
    return entries;
}

Json DirectoryService::PublicMembers(int64_t group_id) const {
    Json entries = Json::array();
    const DemoGroup* group = context_.demo.GroupById(group_id);
    for (int64_t member : group ? group->members : std::vector<int64_t>()) {
        if (const DemoUser* user = context_.demo.UserById(member))
            entries.push_back(Json{{"ID", std::to_string(user->id)}, {"Name", user->name}});
    }
    return entries;
}

Json DirectoryService::GroupMembers(int64_t group_id) const {
    Json entries = Json::array();
    const DemoGroup* group = context_.demo.GroupById(group_id);
    for (int64_t member : group ? group->members : std::vector<int64_t>()) {
        if (const DemoUser* user = context_.demo.UserById(member))
            entries.push_back(
                Json{{"User_ID", std::to_string(user->id)}, {"UserName", user->name}});
    }
    return entries;
}

// Discussion groups go out with their id already negated: the leaf opens that conversation.
Json DirectoryService::Discussions(int64_t user) const {
    Json entries = Json::array();
    for (const DemoGroup& group : context_.demo.groups) {
        if (group.kind == GroupKind::kDiscussion && group.HasMember(user))
            entries.push_back(
                Json{{"Group_ID", "-" + std::to_string(group.id)}, {"GroupName", group.name}});
    }
    return entries;
}
