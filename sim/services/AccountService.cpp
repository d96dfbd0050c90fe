#include "sim/services/AccountService.h"

#include "base/PasswordTables.h"
#include "sim/SimContext.h"
#include "sim/demo/DemoData.h"
#include "sim/demo/SamplePictures.h"
#include "sim/http/Envelope.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"
#include "sim/store/SessionStore.h"

using envelope::Json;

namespace {
const char kHeadPicDir[] = "UpLoad/HeadPic/";
}

std::string AccountService::HeadPic(int64_t id) {
    return std::string(kHeadPicDir) +
           (id < 0 ? "g" + std::to_string(-id) : "u" + std::to_string(id)) + ".png";
}

SimReply AccountService::Login(const SimRequest& request) {
    const std::string login = request.Param("loginid");
    const std::string password = password_tables::Decode(request.Param("encyptpassword"));
    const DemoUser* user = context_.demo.FindUser(login);
    // One answer for an unknown name and a wrong password: the reply does not reveal names.
    if (!user || user->login != login || user->unit_id != request.UnitId() ||
        user->password != password)
        return envelope::Error("2", "用户名或密码错误");
    const DemoUnit* unit = context_.demo.UnitById(user->unit_id);
    Json velta = envelope::Ok();
    velta["User_ID"] = std::to_string(user->id);
    velta["UserName"] = user->name;
    velta["UserType_ID"] = user->type_id;
    velta["Nick"] = user->nick;
    velta["HeadPic"] = HeadPic(user->id);
    velta["Organization_ID"] = user->org_id;
    velta["Unit_ID"] = user->unit_id;
    velta["UnitName"] = unit ? unit->name : std::string();
    velta["SessionID"] = context_.sessions.Open(user->id);
    velta["Pro"] = "1";
    velta["IsVip"] = "0";
    return envelope::Reply(velta);
}

SimReply AccountService::UserInfo(const SimRequest& request) {
    if (!context_.SessionUser(request))
        return SimContext::Expired();
    const int64_t id = text_util::ToInt(request.Param("GetUser_ID"));
    Json velta = envelope::Ok();
    if (const DemoUser* user = context_.demo.UserById(id)) {
        velta["User_ID"] = std::to_string(user->id);
        velta["UserName"] = user->name;
        velta["Nick"] = user->nick;
        velta["Unit_ID"] = user->unit_id;
        velta["Organization_ID"] = user->org_id;
    } else if (const DemoGroup* group = context_.demo.GroupById(-id)) {
        velta["User_ID"] = std::to_string(id);
        velta["UserName"] = group->name;
    } else {
        return envelope::Error("2", "用户不存在");
    }
    velta["HeadPic"] = HeadPic(id);
    return envelope::Reply(velta);
}

bool AccountService::Picture(const SimRequest& request, SimReply* reply) {
    const std::string dir = text_util::Lower(kHeadPicDir);
    if (!text_util::StartsWith(request.RestKey(), dir))
        return false;
    const std::string file = request.RestKey().substr(dir.size());
    const int64_t number = text_util::ToInt(file.size() > 5 ? file.substr(1, file.size() - 5) : "");
    const bool group = !file.empty() && file[0] == 'g';
    const int64_t id = group ? -number : number;
    const bool known = group ? context_.demo.GroupById(number) != nullptr
                             : context_.demo.UserById(number) != nullptr;
    if (!known || file.size() < 5 || file.compare(file.size() - 4, 4, ".png") != 0) {
        *reply = SimReply::NotFound();
        return true;
    }
    *reply = SimReply::Bytes(PictureOf(id), "image/png");
    return true;
}

std::string AccountService::PictureOf(int64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = pictures_.find(id);
    if (it == pictures_.end())
        it = pictures_.emplace(id, sample_pictures::Avatar(id, id < 0)).first;
    return it->second;
}
