#include "sim/services/ControlService.h"

#include "sim/SimContext.h"
#include "sim/demo/DemoData.h"
#include "sim/http/Base64.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"
#include "sim/messaging/Messenger.h"
#include "sim/messaging/PollHub.h"
#include "sim/store/SessionStore.h"
#include "sim/store/VersionStore.h"

#include <nlohmann/json.hpp>

using nlohmann::json;

int64_t ControlService::UserId(const std::string& login_or_id) const {
    const DemoUser* user = context_.demo.FindUser(login_or_id);
    return user ? user->id : 0;
}

int64_t ControlService::TargetId(const std::string& target) const {
    if (!target.empty() && target[0] == '-')
        return text_util::ToInt(target);
    return UserId(target);
}

SimResult ControlService::Send(const std::string& from, const std::string& to,
                               const std::string& text) {
    PostRequest post;
    post.from = UserId(from);
    post.to = TargetId(to);
    post.content = text;
    const PostResult result = context_.messenger.Post(post);
    return result.ok ? SimResult::Done(result.message_id) : SimResult::Fail(result.error);
}

SimResult ControlService::SendMany(const std::string& from, const std::string& to,
                                   const std::string& text, int count) {
    if (count <= 1)
        return Send(from, to, text);
    SimResult result;
    for (int i = 1; i <= count && (i == 1 || result.ok); ++i)
        result = Send(from, to, text + " #" + std::to_string(i));
    return result;
}

SimResult ControlService::SendFile(const std::string& from, const std::string& to, int msg_type,
                                   const std::string& name, const std::string& data, int seconds) {
    PostRequest post;
    post.from = UserId(from);
    post.to = TargetId(to);
    post.msg_type = msg_type;
    post.file_name = name;
    post.file_data = data;
    post.seconds = seconds;
    if (msg_type < 2 || msg_type > 5)
        return SimResult::Fail("文件消息的类型应为 2 到 5");
    const PostResult result = context_.messenger.Post(post);
    return result.ok ? SimResult::Done(result.message_id) : SimResult::Fail(result.error);
}

SimResult ControlService::Remind(const std::string& to, int remind_id, const std::string& text,
                                 const std::string& url) {
    const PostResult result = context_.messenger.Remind(UserId(to), remind_id, text, url, 0, true);
    return result.ok ? SimResult::Done(result.message_id) : SimResult::Fail(result.error);
}

SimResult ControlService::SetUnread(const std::string& user, int remind_id, int num) {
    return context_.messenger.SetUnread(UserId(user), remind_id, num)
               ? SimResult::Done()
               : SimResult::Fail("用户、类别或数目无效");
}

SimResult ControlService::Expire(const std::string& user) {
    const int64_t id = UserId(user);
    if (!id)
        return SimResult::Fail("用户不存在");
    const int count = context_.sessions.Expire(id);
    context_.hub.Notify(id);
    return SimResult::Done(count);
}

SimResult ControlService::OpenSession(const std::string& user) {
    const int64_t id = UserId(user);
    return id ? SimResult::Done(id, context_.sessions.Open(id)) : SimResult::Fail("用户不存在");
}

SimResult ControlService::Publish(const std::string& version, const std::string& name,
                                  const std::string& data) {
    const std::string url = name.substr(name.find_last_of("/\\") + 1);
    if (version.empty() || url.empty() || data.empty())
        return SimResult::Fail("版本号、文件名和文件内容都不能为空");
    context_.versions.Publish(version, url, data);
    return SimResult::Done(0, url);
}

SimResult ControlService::Dispatch(const std::string& operation, const std::string& body) {
    const json in = json::parse(body.empty() ? "{}" : body);
    const auto text = [&](const char* key) {
        const auto it = in.find(key);
        if (it == in.end() || it->is_null())
            return std::string();
        return it->is_string() ? it->get<std::string>() : it->dump();
    };
    const auto number = [&](const char* key, int def) {
        return static_cast<int>(text_util::ToInt(text(key), def));
    };
    if (operation == "send" && in.contains("file"))
        return SendFile(text("from"), text("to"), number("type", 2), text("name"),
                        base64::Decode(text("file")), number("seconds", -1));
    if (operation == "send")
        return SendMany(text("from"), text("to"), text("text"), number("count", 1));
    if (operation == "remind")
        return Remind(text("to"), number("remind", 0), text("text"), text("url"));
    if (operation == "unread")
        return SetUnread(text("user"), number("remind", 0), number("num", -1));
    if (operation == "expire")
        return Expire(text("user"));
    if (operation == "session")
        return OpenSession(text("user"));
    if (operation == "publish")
        return Publish(text("version"), text("name"), base64::Decode(text("data")));
    if (operation == "fault") {
        if (text("kind") == "clear") {
            ClearFaults(text("method"));
            return SimResult::Done();
        }
        const SimFault fault{text("method"), FaultTable::KindFromName(text("kind")),
                             number("value", 0), number("count", 0)};
        if (fault.method.empty() || fault.kind == FaultKind::kNone)
            return SimResult::Fail("unknown fault: give a method and a kind");
        SetFault(fault);
        return SimResult::Done();
    }
    return SimResult::Fail("unknown operation " + operation);
}

bool ControlService::Handle(const SimRequest& request, SimReply* reply) {
    const std::string prefix = "/_sim/";
    if (!text_util::StartsWith(request.Key(), prefix))
        return false;
    SimResult result;
    try {
        result = Dispatch(request.Key().substr(prefix.size()), request.Body());
    } catch (const std::exception& e) {
        result = SimResult::Fail(std::string("bad request: ") + e.what());
    }
    json out = {{"ok", result.ok}};
    if (result.ok) {
        out["id"] = std::to_string(result.id);
        out["text"] = result.text;
    } else {
        out["error"] = result.error;
    }
    *reply = SimReply::Json(out.dump());
    reply->status = result.ok ? 200 : 400;
    return true;
}
