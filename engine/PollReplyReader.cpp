#include "PollReplyReader.h"

#include <QJsonArray>

#include "ReplyDate.h"
#include "base/Json.h"

namespace {

const QString kErr = QStringLiteral("Err");

// Fields come as strings; a number is taken as its decimal text.
QString Field(const QJsonObject& element, const char* name) {
    const QJsonValue value = element.value(QLatin1String(name));
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'f', 0);
    return kErr;
}

bool TextField(const QJsonObject& element, const char* name, QString* out) {
    *out = Field(element, name);
    return *out != kErr;
}

bool IntField(const QJsonObject& element, const char* name, int* out) {
    const QString text = Field(element, name);
    if (text == kErr)
        return false;
    if (text.isEmpty()) {
        *out = 0;
        return true;
    }
    bool ok = false;
    *out = text.toInt(&ok);
    return ok;
}

bool DateField(const QJsonObject& element, const char* name, QDateTime (*read)(const QString& text),
               QDateTime* out) {
    *out = read(element.value(QLatin1String(name)).toString());
    return out->isValid();
}

}  // namespace

PollReplyReader::PollReplyReader(const AccountMap& account)
    : user_id_(account.value(QStringLiteral("User_ID")).toInt()),
      user_name_(account.value(QStringLiteral("UserName"))),
      unit_id_(account.value(QStringLiteral("Unit_ID")).toInt()) {}

PollReply PollReplyReader::Read(const QString& data) const {
    PollReply reply;
    const Json json(data);
    for (const QJsonValue& value : json.Objects(QStringLiteral("Velta.M"))) {
        MessageRecord msg;
        if (!ReadMessage(value.toObject(), &msg))
            break;
        reply.messages.append(msg);
    }
    for (const QJsonValue& value : json.Objects(QStringLiteral("Velta.NumUpdate"))) {
        PollReply::NumUpdate update;
        if (!ReadNumUpdate(value.toObject(), &update))
            break;
        reply.num_updates.append(update);
    }
    for (const QJsonValue& value : json.Objects(QStringLiteral("Velta.ML"))) {
        PollReply::StatusLog log;
        if (!ReadStatusLog(value.toObject(), &log))
            break;
        reply.status_logs.append(log);
    }
    for (const QJsonValue& value : json.Objects(QStringLiteral("Velta.B"))) {
        int bell_log_id = 0;
        if (!IntField(value.toObject(), "BellLog_ID", &bell_log_id))
            break;
        reply.bell_log_ids.append(bell_log_id);
    }
    int max_num_update_log_id = 0;
    if (IntField(json.Value(QStringLiteral("Velta")).toObject(), "MaxNumUpdateLog_ID",
                 &max_num_update_log_id)) {
        reply.max_num_update_log_id = max_num_update_log_id;
    }
    return reply;
}

bool PollReplyReader::ReadMessage(const QJsonObject& e, MessageRecord* msg) const {
    msg->user_id = user_id_;
    msg->user_name = user_name_;
    msg->unit_id = unit_id_;
    msg->is_send = 1;
    msg->other_id2 = 0;
    int receive_id = 0;
    int send_id2 = 0;
    QString receive_name;
    QString send_name;
    if (!IntField(e, "Receive_ID", &receive_id) || !IntField(e, "Send_ID", &msg->send_id) ||
        !TextField(e, "ReceiveName", &receive_name) || !TextField(e, "SendName", &send_name) ||
        !IntField(e, "Send_ID2", &send_id2)) {
        return false;
    }
    if (receive_id < 0) {
        const bool own = msg->send_id > 0;
        msg->other_id = receive_id;
        msg->other_name = own ? receive_name : send_name;
        msg->send_or_receive = own ? 1 : 0;
        // The page shows the member's avatar above a received group message.
        if (!own)
            msg->other_id2 = send_id2;
    } else if (msg->send_id == user_id_) {
        msg->other_id = receive_id;
        msg->other_name = receive_name;
        msg->send_or_receive = 1;
    } else {
        msg->other_id = msg->send_id;
        msg->other_id2 = send_id2;
        msg->other_name = send_name;
        msg->send_or_receive = 0;
    }
    return IntField(e, "Message_ID", &msg->message_id) &&
           TextField(e, "MsgContent", &msg->content) &&
           IntField(e, "ClientMessage_ID", &msg->client_message_id) &&
           DateField(e, "SendDate", &ReplyDate::Message, &msg->send_date) &&
           IntField(e, "MsgType", &msg->msg_type) && TextField(e, "MsgUrl", &msg->url) &&
           IntField(e, "IsRead", &msg->is_read) && IntField(e, "IsDel", &msg->is_del) &&
           TextField(e, "ClientCode", &msg->client_code);
}

bool PollReplyReader::ReadNumUpdate(const QJsonObject& e, PollReply::NumUpdate* update) {
    return IntField(e, "Remind_ID", &update->remind_id) &&
           TextField(e, "RemindName", &update->remind_name) && IntField(e, "Num", &update->num) &&
           IntField(e, "IsCount", &update->iscount);
}

bool PollReplyReader::ReadStatusLog(const QJsonObject& e, PollReply::StatusLog* log) {
    return IntField(e, "Message_ID", &log->message_id) &&
           IntField(e, "MessageLog_ID", &log->message_log_id) &&
           IntField(e, "Send_ID", &log->send_id) && IntField(e, "Send_ID2", &log->send_id2) &&
           IntField(e, "Receive_ID", &log->receive_id) &&
           IntField(e, "FromStat", &log->from_stat) && IntField(e, "ToStat", &log->to_stat) &&
           IntField(e, "LogType", &log->log_type) &&
           DateField(e, "LogDate", &ReplyDate::Log, &log->log_date);
}
