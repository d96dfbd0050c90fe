#include "sim/messaging/Messenger.h"

#include "sim/SimClock.h"
#include "sim/demo/DemoData.h"
#include "sim/demo/SamplePictures.h"
#include "sim/messaging/PollHub.h"
#include "sim/store/SimDb.h"

#include <algorithm>

namespace {
const int kRead = 2;
const int kDelivered = 1;
}  // namespace

Messenger::Messenger(const DemoData& demo, SimDb& db, PollHub& hub)
    : demo_(demo), db_(db), hub_(hub), messages_(db), files_(db), reminders_(db) {}

std::string Messenger::CheckTarget(const PostRequest& request) const {
    if (!demo_.UserById(request.from))
        return "发送人不存在";
    if (request.to > 0)
        return demo_.UserById(request.to) ? std::string() : "接收人不存在";
    const DemoGroup* group = demo_.GroupById(-request.to);
    if (!group)
        return "群组不存在";
    return group->HasMember(request.from) ? std::string() : "您不是该群组的成员";
}

// "reference|name" for pictures and video, "|seconds" added for audio, "|size in KB" for files.
std::string Messenger::AttachmentUrl(const PostRequest& request) {
    const std::string reference = files_.Put(request.file_name, request.file_data);
    std::string url = reference + "|" + request.file_name;
    if (request.msg_type == 2)
        url += "|" + std::to_string((request.file_data.size() + 1023) / 1024);
    if (request.msg_type == 4) {
        const int seconds =
            request.seconds >= 0 ? request.seconds : sample_pictures::WavSeconds(request.file_data);
        url += "|" + std::to_string(std::max(seconds, 0));
    }
    return url;
}

std::vector<int64_t> Messenger::Receivers(int64_t from, int64_t to) const {
    if (to > 0)
        return {to};
    std::vector<int64_t> members = demo_.GroupById(-to)->members;
    members.erase(std::remove(members.begin(), members.end(), from), members.end());
    return members;
}

PostResult Messenger::Post(const PostRequest& request) {
    PostResult result;
    result.error = CheckTarget(request);
    const bool is_file = request.msg_type >= 2 && request.msg_type <= 5;
    if (result.error.empty() && (request.msg_type < 1 || request.msg_type > 5))
        result.error = "不支持的消息类型";
    if (result.error.empty() && is_file && (request.file_data.empty() || request.file_name.empty()))
        result.error = "文件内容为空";
    if (result.error.empty() && !is_file && request.content.empty())
        result.error = "消息内容不能为空";
    if (!result.error.empty())
        return result;

    StoredMessage message;
    message.send_id = request.from;
    message.receive_id = request.to;
    message.msg_type = request.msg_type;
    message.client_message_id = request.client_message_id;
    message.client_code = request.client_code;
    message.send_time = request.time ? request.time : sim_clock::Now();
    const std::vector<int64_t> receivers = Receivers(request.from, request.to);
    {
        auto lock = db_.Lock();
        if (is_file)
            message.url = AttachmentUrl(request);
        else
            message.content = request.content;
        // One commit for the message and its deliveries: a group's copies arrive together.
        db_.Exec("BEGIN");
        message.id = messages_.Insert(message);
        if (!message.id) {
            db_.Exec("ROLLBACK");
            return {false, "服务器内部错误", 0};
        }
        // The sender's own copy shows the receiver's state in one-to-one conversations.
        const bool mirrored = request.read && request.to > 0;
        messages_.Deliver(request.from, message.id, mirrored ? kRead : 0);
        for (int64_t user : receivers)
            messages_.Deliver(user, message.id, request.read ? kRead : 0);
        db_.Exec("COMMIT");
    }
    hub_.Notify(request.from);
    for (int64_t user : receivers) {
        hub_.Notify(user);
        if (listener_)
            listener_(user, message);
    }
    return {true, std::string(), message.id};
}

PostResult Messenger::Remind(int64_t user, int remind_id, const std::string& text,
                             const std::string& url, int64_t time, bool unread) {
    if (!demo_.UserById(user))
        return {false, "接收人不存在", 0};
    if (remind_id <= 0)
        return {false, "提醒类别无效", 0};
    StoredMessage message;
    message.receive_id = user;
    message.remind_id = remind_id;
    message.content = text;
    message.url = url;
    message.send_time = time ? time : sim_clock::Now();
    {
        auto lock = db_.Lock();
        message.id = messages_.Insert(message);
        messages_.Deliver(user, message.id, unread ? 0 : kRead);
        reminders_.AddBell(user, message.id);
        if (unread)
            reminders_.SetNum(user, remind_id, reminders_.Num(user, remind_id) + 1);
    }
    hub_.Notify(user);
    return {true, std::string(), message.id};
}

bool Messenger::SetUnread(int64_t user, int remind_id, int num) {
    if (!demo_.UserById(user) || remind_id <= 0 || num < 0)
        return false;
    reminders_.SetNum(user, remind_id, num);
    hub_.Notify(user);
    return true;
}

// A read message gets one status log, seen by its sender and by the reader's other devices.
void Messenger::MarkRead(int64_t reader, const StoredMessage& message,
                         std::vector<int>* categories) {
    messages_.SetReadState(reader, message.id, kRead);
    if (message.receive_id > 0 && message.send_id > 0)
        messages_.SetReadState(message.send_id, message.id, kRead);
    StatusLog log;
    log.message_id = message.id;
    log.send_id = message.send_id;
    log.send_id2 = message.remind_id;
    log.receive_id = message.receive_id;
    log.log_type = message.remind_id ? 3 : 1;
    log.time = sim_clock::Now();
    std::vector<int64_t> users{reader};
    if (message.send_id > 0)
        users.push_back(message.send_id);
    messages_.AddLog(log, users);
    if (message.remind_id)
        categories->push_back(message.remind_id);
    if (message.send_id > 0)
        hub_.Notify(message.send_id);
}

int Messenger::Receipt(int64_t reader, const std::vector<int64_t>& message_ids, int state) {
    if (state != kDelivered && state != kRead)
        return 0;
    int changed = 0;
    std::vector<int> categories;
    {
        auto lock = db_.Lock();
        for (int64_t id : message_ids) {
            StoredMessage message;
            const int current = messages_.ReadState(reader, id);
            if (current < 0 || current >= state || !messages_.Find(id, &message) ||
                message.send_id == reader)
                continue;
            if (state == kDelivered)
                messages_.SetReadState(reader, id, kDelivered);
            else
                MarkRead(reader, message, &categories);
            ++changed;
        }
        // Reading a category's reminders clears its unread number.
        std::sort(categories.begin(), categories.end());
        categories.erase(std::unique(categories.begin(), categories.end()), categories.end());
        for (int remind_id : categories) {
            if (reminders_.Num(reader, remind_id) != 0)
                reminders_.SetNum(reader, remind_id, 0);
        }
    }
    if (changed && state == kRead)
        hub_.Notify(reader);
    return changed;
}
