#include "sim/services/MessageService.h"

#include "sim/SimContext.h"
#include "sim/http/Base64.h"
#include "sim/http/SimRequest.h"
#include "sim/http/TextUtil.h"
#include "sim/messaging/Messenger.h"
#include "sim/messaging/PollHub.h"
#include "sim/store/SimDb.h"

using envelope::Json;

MessageService::MessageService(SimContext& context)
    : context_(context), feed_(context.demo, context.messenger) {}

// Without news the request is held until something is stored for the user, the session is
// expired, or the hold time passes; then it answers with empty lists.
SimReply MessageService::Poll(const SimRequest& request) {
    const int64_t user = context_.SessionUser(request);
    if (!user)
        return SimContext::Expired();
    PollPosition position;
    position.message = text_util::ToInt(request.Param("MaxMessage_ID"));
    position.log = text_util::ToInt(request.Param("MaxMessageLog_ID"));
    position.bell = text_util::ToInt(request.Param("MaxBellLog_ID"));
    position.num_update = text_util::ToInt(request.Param("MaxNumUpdateLog_ID"));
    const auto deadline = std::chrono::steady_clock::now() + context_.hold;
    Json velta = envelope::Ok();
    for (;;) {
        const uint64_t seen = context_.hub.Generation(user);
        {
            // One consistent view: a reminder's message, bell and number arrive together.
            auto lock = context_.db.Lock();
            if (feed_.Build(user, position, &velta))
                break;
        }
        if (std::chrono::steady_clock::now() >= deadline ||
            !context_.hub.Wait(user, seen, deadline))
            break;
        if (!context_.SessionUser(request))
            return SimContext::Expired();
    }
    return envelope::Reply(velta);
}

SimReply MessageService::Posted(const PostResult& result) const {
    if (!result.ok)
        return envelope::Error("2", result.error);
    Json velta = envelope::Ok();
    velta["Message_ID"] = std::to_string(result.message_id);
    return envelope::Reply(velta);
}

SimReply MessageService::Send(const SimRequest& request) {
    PostRequest post;
    post.from = context_.SessionUser(request);
    if (!post.from)
        return SimContext::Expired();
    post.to = text_util::ToInt(request.Param("Other_ID"));
    post.content = request.Param("Content");
    post.client_message_id = text_util::ToInt(request.Param("ClientMessage_ID"));
    post.client_code = request.Param("ClientCode");
    return Posted(context_.messenger.Post(post));
}

SimReply MessageService::SendFile(const SimRequest& request) {
    PostRequest post;
    post.from = context_.SessionUser(request);
    if (!post.from)
        return SimContext::Expired();
    post.to = text_util::ToInt(request.Param("Other_ID"));
    post.msg_type = static_cast<int>(text_util::ToInt(request.Param("MsgType"), 2));
    post.file_name = request.Param("FileName");
    post.file_data = base64::Decode(request.Param("Base64Data"));
    post.client_message_id = text_util::ToInt(request.Param("ClientMessage_ID"));
    post.client_code = request.Param("ClientCode");
    if (post.msg_type == 1)
        return envelope::Error("2", "不支持的消息类型");
    return Posted(context_.messenger.Post(post));
}

// "MessageIDs" is one id, or ids each followed by ",".
SimReply MessageService::ReadMulti(const SimRequest& request) {
    const int64_t user = context_.SessionUser(request);
    if (!user)
        return SimContext::Expired();
    const int state = static_cast<int>(text_util::ToInt(request.Param("isRead")));
    if (state != 1 && state != 2)
        return envelope::Error("2", "参数isRead无效");
    std::vector<int64_t> ids;
    const std::string list = request.Param("MessageIDs");
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const int64_t id = text_util::ToInt(list.substr(start, end - start), 0);
        if (id > 0)
            ids.push_back(id);
        start = end + 1;
    }
    if (ids.empty())
        return envelope::Error("2", "参数MessageIDs无效");
    context_.messenger.Receipt(user, ids, state);
    return envelope::Reply(envelope::Ok());
}

SimReply MessageService::Download(const SimRequest& request) {
    const int64_t user = context_.SessionUser(request);
    if (!user)
        return SimContext::Expired();
    const int64_t id = text_util::ToInt(request.Param("Message_ID"));
    StoredMessage message;
    std::string name, data;
    Messenger& messenger = context_.messenger;
    if (messenger.Messages().ReadState(user, id) < 0 || !messenger.Messages().Find(id, &message) ||
        !messenger.Files().Get(message.url.substr(0, message.url.find('|')), &name, &data))
        return envelope::Error("2", "文件不存在");
    Json velta = envelope::Ok();
    velta["FileName"] = name;
    velta["Base64Data"] = base64::Encode(data);
    return envelope::Reply(velta);
}

bool MessageService::Attachment(const std::string& path, SimReply* reply) {
    const std::string prefix = "upload/";
    if (!text_util::StartsWith(text_util::Lower(path), prefix))
        return false;
    std::string name, data;
    if (!context_.messenger.Files().Get(path.substr(prefix.size()), &name, &data))
        *reply = SimReply::NotFound();
    else
        *reply = SimReply::Bytes(data, "application/octet-stream");
    return true;
}
