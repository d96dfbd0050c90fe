#include "sim/messaging/FeedBuilder.h"

#include "sim/SimClock.h"
#include "sim/demo/DemoData.h"
#include "sim/messaging/Messenger.h"

using envelope::Json;

namespace {
std::string S(int64_t value) {
    return std::to_string(value);
}
}  // namespace

std::string FeedBuilder::UserName(int64_t id) const {
    const DemoUser* user = demo_.UserById(id);
    return user ? user->name : std::string();
}

std::string FeedBuilder::TargetName(int64_t id) const {
    if (id > 0)
        return UserName(id);
    const DemoGroup* group = demo_.GroupById(-id);
    return group ? group->name : std::string();
}

// The client tells the direction from the ids alone: group messages from others carry the
// sender negated, so they are never taken for the member's own.
Json FeedBuilder::Message(int64_t viewer, const StoredMessage& m) const {
    const bool own = m.send_id == viewer && m.remind_id == 0;
    std::string send_id = S(m.send_id), send_id2 = "0", send_name = UserName(m.send_id);
    if (m.remind_id) {
        const DemoCategory* category = demo_.Category(m.remind_id);
        send_id = "0";
        send_id2 = S(m.remind_id);
        send_name = category ? category->name : "系统消息";
    } else if (m.receive_id < 0 && !own) {
        send_id = S(-m.send_id);
        send_id2 = S(m.send_id);
    }
    Json record = Json::object();
    record["Message_ID"] = S(m.id);
    record["Send_ID"] = send_id;
    record["Send_ID2"] = send_id2;
    record["SendName"] = send_name;
    record["Receive_ID"] = S(m.receive_id);
    record["ReceiveName"] = TargetName(m.receive_id);
    record["MsgContent"] = m.content;
    record["ClientMessage_ID"] = own ? S(m.client_message_id) : "0";
    record["ClientCode"] = own ? m.client_code : std::string();
    record["SendDate"] = sim_clock::SlashDateTime(m.send_time);
    record["MsgType"] = S(m.msg_type);
    record["MsgUrl"] = m.url;
    record["IsRead"] = S(m.is_read);
    record["IsDel"] = "0";
    return record;
}

Json FeedBuilder::Log(const StatusLog& log) {
    Json record = Json::object();
    record["MessageLog_ID"] = S(log.id);
    record["Message_ID"] = S(log.message_id);
    record["Send_ID"] = S(log.send_id);
    record["Send_ID2"] = S(log.send_id2);
    record["Receive_ID"] = S(log.receive_id);
    record["FromStat"] = S(log.from_stat);
    record["ToStat"] = S(log.to_stat);
    record["LogType"] = S(log.log_type);
    record["LogDate"] = sim_clock::LogDate(log.time);
    return record;
}

bool FeedBuilder::Build(int64_t user, const PollPosition& position, Json* velta) const {
    Json messages = Json::array(), logs = Json::array(), bells = Json::array(),
         updates = Json::array();
    for (const StoredMessage& m : messenger_.Messages().Feed(user, position.message, kPageSize))
        messages.push_back(Message(user, m));
    for (const StatusLog& log : messenger_.Messages().Logs(user, position.log, kPageSize))
        logs.push_back(Log(log));
    for (const BellLog& bell : messenger_.Reminders().Bells(user, position.bell, kPageSize))
        bells.push_back(Json{{"BellLog_ID", S(bell.id)}, {"Message_ID", S(bell.message_id)}});
    int64_t max_update = position.num_update;
    for (const NumUpdateLog& update :
         messenger_.Reminders().Updates(user, position.num_update, kPageSize)) {
        const DemoCategory* category = demo_.Category(update.remind_id);
        Json record = Json::object();
        record["NumUpdateLog_ID"] = S(update.id);
        record["Remind_ID"] = S(update.remind_id);
        record["RemindName"] = category ? category->name : "系统消息";
        record["Num"] = S(update.num);
        record["IsCount"] = category && !category->is_count ? "0" : "1";
        updates.push_back(record);
        max_update = update.id;
    }
    (*velta)["M"] = messages;
    (*velta)["ML"] = logs;
    (*velta)["B"] = bells;
    (*velta)["NumUpdate"] = updates;
    (*velta)["MaxNumUpdateLog_ID"] = S(max_update);
    return !messages.empty() || !logs.empty() || !bells.empty() || !updates.empty();
}
