#pragma once

// Shared by the engine tests: a signed-in account with a fresh msg.db, database probes and
// builders for poll replies.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "base/SqlExec.h"
#include "tests/support/TestHome.h"
#include "tests/support/TestHttpServer.h"

namespace engine_test {

constexpr int kUserId = 1001;

// Signs in `login` (platform id `user_id`) to the unit of `unit_record` ("id,name,base url,").
// `fresh` starts from an empty msg.db and message folder; otherwise the user's files stay.
inline bool SignInAs(const QString& login, int user_id, const QString& unit_record,
                     const QString& session, bool fresh = true) {
    ConnectionPool::Instance()->CloseConnection();
    Account::ResetState();
    Account::SetupDataRoot();
    const QString unit_id = unit_record.section(QLatin1Char(','), 0, 0);
    if (fresh)
        TestHome::Remove(
            QStringLiteral("%1/account/%2/%3").arg(Account::DataRoot(), login, unit_id));
    AccountMap& account = Account::GetAccountInfo(login);
    account = {{"usr_id", login},      {"User_ID", QString::number(user_id)},
               {"UserName", "王老师"}, {"Unit_ID", unit_id},
               {"SessionID", session}, {"cur_unit", unit_record}};
    Account::SaveAccountInfo(login);
    Account::SetCurUserId(login);
    return Account::InitDB() && Account::InitMsgPath() && Account::InitAvatarPath();
}

// User 1001 of unit 7, whose services answer at `unit_base`.
inline bool SignIn(const QString& unit_base = QStringLiteral("http://127.0.0.1:9/")) {
    return SignInAs("teacher", kUserId, QStringLiteral("7,第一中学,%1,").arg(unit_base),
                    "session-1");
}

inline int Count(const QString& sql, const SqlParams& params = SqlParams()) {
    return SqlExec::SelectInt(sql, params);
}
inline QVariantMap Row(const QString& sql, const SqlParams& params = SqlParams()) {
    return SqlExec::SelectRow(sql, params);
}
inline QVariantMap Message(qint64 message_id) {
    return Row("SELECT * FROM message_all WHERE message_id=:id", {{"id", message_id}});
}
inline int MessageCount() {
    return Count("SELECT COUNT(*) FROM message_all");
}
inline int Order(int other_id) {
    return Count("SELECT message_order FROM message_list WHERE other_id=:id", {{"id", other_id}});
}
inline int Number(int other_id) {
    return Count("SELECT number FROM message_list WHERE other_id=:id", {{"id", other_id}});
}

// Deletes the records of every list a spy caught: they belong to the receiver.
template <typename Pointers>
void FreeRecords(QSignalSpy& spy) {
    for (const QList<QVariant>& call : spy)
        qDeleteAll(call.at(0).value<Pointers>());
    spy.clear();
}

// Form fields of a request that reached a TestHttpServer.
inline QStringList FieldNames(const TestHttpServer::Request& request) {
    QStringList names;
    for (const auto& field : TestHttpServer::DecodeForm(request.body))
        names.append(field.first);
    return names;
}
inline QString Field(const TestHttpServer::Request& request, const QString& name) {
    for (const auto& field : TestHttpServer::DecodeForm(request.body)) {
        if (field.first == name)
            return field.second;
    }
    return QString();
}

inline QByteArray Envelope(const QJsonObject& velta) {
    return QJsonDocument(QJsonObject{{"Velta", velta}}).toJson(QJsonDocument::Compact);
}

// One element of "Velta.M"; every value travels as a string.
struct ChatMsg {
    int message_id = 1;
    int send_id = 2001;
    int receive_id = kUserId;
    int send_id2 = 0;
    QString send_name = "李老师";
    QString receive_name = "王老师";
    QString content = "你好";
    int client_message_id = 0;
    QString send_date = "2024/5/6 8:09:10";
    int msg_type = 1;
    QString url;
    int is_read = 0;
    QString client_code = "other-device";

    QJsonObject ToJson() const {
        auto n = [](int value) { return QString::number(value); };
        return {{"Message_ID", n(message_id)},
                {"Send_ID", n(send_id)},
                {"Receive_ID", n(receive_id)},
                {"Send_ID2", n(send_id2)},
                {"SendName", send_name},
                {"ReceiveName", receive_name},
                {"MsgContent", content},
                {"ClientMessage_ID", n(client_message_id)},
                {"SendDate", send_date},
                {"MsgType", n(msg_type)},
                {"MsgUrl", url},
                {"IsRead", n(is_read)},
                {"IsDel", "0"},
                {"ClientCode", client_code}};
    }
};

inline ChatMsg From(int send_id, int message_id) {
    ChatMsg msg;
    msg.send_id = send_id;
    msg.message_id = message_id;
    return msg;
}

inline QJsonObject NumUpdate(int remind_id, const QString& name, int num, int iscount) {
    return {{"Remind_ID", QString::number(remind_id)},
            {"RemindName", name},
            {"Num", QString::number(num)},
            {"IsCount", QString::number(iscount)}};
}

inline QJsonObject StatusLog(int message_id, int log_id, int send_id, int receive_id, int to_stat,
                             int log_type = 1) {
    auto n = [](int value) { return QString::number(value); };
    return {{"Message_ID", n(message_id)},  {"MessageLog_ID", n(log_id)},
            {"Send_ID", n(send_id)},        {"Send_ID2", "0"},
            {"Receive_ID", n(receive_id)},  {"FromStat", "1"},
            {"ToStat", n(to_stat)},         {"LogType", n(log_type)},
            {"LogDate", "2024-05-06 08:10"}};
}

struct Reply {
    QJsonObject velta{{"EID", "0"}};

    Reply& Add(const ChatMsg& msg) { return Append("M", msg.ToJson()); }
    Reply& Append(const QString& array, const QJsonObject& element) {
        QJsonArray elements = velta.value(array).toArray();
        elements.append(element);
        velta[array] = elements;
        return *this;
    }
    QString Text() const { return QString::fromUtf8(Envelope(velta)); }
};

}  // namespace engine_test
