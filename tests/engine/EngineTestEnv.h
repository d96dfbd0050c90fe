#pragma once

// Shared by the engine tests: a signed-in test account with a fresh msg.db, a small HTTP server
// that answers with canned replies, and builders for poll replies.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSignalSpy>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <functional>

#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "base/SqlExec.h"

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
    if (fresh) {
        QDir(QStringLiteral("%1/account/%2/%3").arg(Account::DataRoot(), login, unit_id))
            .removeRecursively();
    }
    AccountMap& account = Account::GetAccountInfo(login);
    account.clear();
    account["usr_id"] = login;
    account["User_ID"] = QString::number(user_id);
    account["UserName"] = QStringLiteral("王老师");
    account["Unit_ID"] = unit_id;
    account["SessionID"] = session;
    account["cur_unit"] = unit_record;
    Account::SaveAccountInfo(login);
    Account::SetCurUserId(login);
    return Account::InitDB() && Account::InitMsgPath() && Account::InitAvatarPath();
}

// User 1001 of unit 7 at `unit_base`, with an empty msg.db and message folder.
inline bool SignIn(const QString& unit_base = QStringLiteral("http://127.0.0.1:9/")) {
    return SignInAs(QStringLiteral("teacher"), kUserId,
                    QStringLiteral("7,第一中学,%1,").arg(unit_base), QStringLiteral("session-1"));
}

inline int Count(const QString& sql, const SqlParams& params = SqlParams()) {
    return SqlExec::SelectInt(sql, params);
}

inline QVariantMap Row(const QString& sql, const SqlParams& params = SqlParams()) {
    return SqlExec::SelectRow(sql, params);
}

inline int Order(int other_id) {
    return Count(QStringLiteral("SELECT message_order FROM message_list WHERE other_id=:id"),
                 {{"id", other_id}});
}

inline int Number(int other_id) {
    return Count(QStringLiteral("SELECT number FROM message_list WHERE other_id=:id"),
                 {{"id", other_id}});
}

inline int MessageCount() {
    return Count(QStringLiteral("SELECT COUNT(*) FROM message_all"));
}

// Deletes the heap records of every list a spy caught (they belong to the receiver).
template <typename Pointers>
void FreeRecords(QSignalSpy& spy, int arg = 0) {
    for (const QList<QVariant>& call : spy)
        qDeleteAll(call.at(arg).value<Pointers>());
    spy.clear();
}

// One element of "Velta.M"; every value travels as a string.
struct ChatMsg {
    int message_id = 1;
    int send_id = 2001;
    int receive_id = kUserId;
    int send_id2 = 0;
    QString send_name = QStringLiteral("李老师");
    QString receive_name = QStringLiteral("王老师");
    QString content = QStringLiteral("你好");
    int client_message_id = 0;
    QString send_date = QStringLiteral("2024/5/6 8:09:10");
    int msg_type = 1;
    QString url;
    int is_read = 0;
    QString client_code = QStringLiteral("other-device");

    QJsonObject ToJson() const {
        return {{"Message_ID", QString::number(message_id)},
                {"Send_ID", QString::number(send_id)},
                {"Receive_ID", QString::number(receive_id)},
                {"Send_ID2", QString::number(send_id2)},
                {"SendName", send_name},
                {"ReceiveName", receive_name},
                {"MsgContent", content},
                {"ClientMessage_ID", QString::number(client_message_id)},
                {"SendDate", send_date},
                {"MsgType", QString::number(msg_type)},
                {"MsgUrl", url},
                {"IsRead", QString::number(is_read)},
                {"IsDel", QStringLiteral("0")},
                {"ClientCode", client_code}};
    }
};

inline QJsonObject NumUpdate(int remind_id, const QString& name, int num, int iscount) {
    return {{"Remind_ID", QString::number(remind_id)},
            {"RemindName", name},
            {"Num", QString::number(num)},
            {"IsCount", QString::number(iscount)}};
}

inline QJsonObject StatusLog(int message_id, int log_id, int send_id, int receive_id, int to_stat,
                             int log_type = 1) {
    return {
        {"Message_ID", QString::number(message_id)},    {"MessageLog_ID", QString::number(log_id)},
        {"Send_ID", QString::number(send_id)},          {"Send_ID2", QStringLiteral("0")},
        {"Receive_ID", QString::number(receive_id)},    {"FromStat", QStringLiteral("1")},
        {"ToStat", QString::number(to_stat)},           {"LogType", QString::number(log_type)},
        {"LogDate", QStringLiteral("2024-05-06 08:10")}};
}

struct Reply {
    QJsonArray m;
    QJsonArray num_update;
    QJsonArray ml;
    QJsonArray b;
    QString eid = QStringLiteral("0");

    Reply& Add(const ChatMsg& msg) {
        m.append(msg.ToJson());
        return *this;
    }
    QString Text() const {
        QJsonObject velta{{"EID", eid}};
        if (!m.isEmpty())
            velta["M"] = m;
        if (!num_update.isEmpty())
            velta["NumUpdate"] = num_update;
        if (!ml.isEmpty())
            velta["ML"] = ml;
        if (!b.isEmpty())
            velta["B"] = b;
        return QString::fromUtf8(QJsonDocument(QJsonObject{{"Velta", velta}}).toJson());
    }
};

struct CannedRequest {
    QString path;
    QByteArray body;

    // Form fields in body order, decoded.
    QList<QPair<QString, QString>> Fields() const {
        QList<QPair<QString, QString>> fields;
        for (const QByteArray& pair : body.split('&')) {
            const int eq = pair.indexOf('=');
            auto decode = [](QByteArray part) {
                return QUrl::fromPercentEncoding(part.replace('+', ' '));
            };
            fields.append({decode(pair.left(eq)), decode(pair.mid(eq + 1))});
        }
        return fields;
    }
    QString Field(const QString& name) const {
        for (const auto& field : Fields()) {
            if (field.first == name)
                return field.second;
        }
        return QString();
    }
};

struct CannedReply {
    int status = 200;
    QByteArray body;
    bool hold = false;  // never answered
};

// An HTTP/1.1 server on 127.0.0.1 answering every request through a handler; it runs on the
// thread that created it, so the test must spin its event loop (QTRY_*, QSignalSpy::wait).
class CannedServer {
public:
    using Handler = std::function<CannedReply(const CannedRequest&)>;

    CannedServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this]() { Accept(); });
    }

    QString Base() const {
        return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort());
    }
    void SetHandler(Handler handler) { handler_ = std::move(handler); }

    QList<CannedRequest> requests;

    int CountEndingWith(const QString& suffix) const {
        int count = 0;
        for (const CannedRequest& request : requests)
            count += request.path.endsWith(suffix) ? 1 : 0;
        return count;
    }
    QList<CannedRequest> EndingWith(const QString& suffix) const {
        QList<CannedRequest> found;
        for (const CannedRequest& request : requests) {
            if (request.path.endsWith(suffix))
                found.append(request);
        }
        return found;
    }

private:
    void Accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(&server_);
            QObject::connect(socket, &QTcpSocket::readyRead, [this, socket]() { Read(socket); });
        }
    }

    void Read(QTcpSocket* socket) {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        for (;;) {
            const int end = buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = buffer.left(end);
            int length = 0;
            for (const QByteArray& line : head.split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toInt();
            }
            if (buffer.size() < end + 4 + length)
                return;
            CannedRequest request;
            request.path = QString::fromLatin1(head.split(' ').value(1));
            request.body = buffer.mid(end + 4, length);
            buffer.remove(0, end + 4 + length);
            requests.append(request);
            const CannedReply reply = handler_ ? handler_(request) : CannedReply();
            if (reply.hold)
                continue;
            socket->write(QByteArray("HTTP/1.1 ") + QByteArray::number(reply.status) +
                          " X\r\nContent-Type: application/json\r\nContent-Length: " +
                          QByteArray::number(reply.body.size()) + "\r\n\r\n" + reply.body);
        }
    }

    QTcpServer server_;
    Handler handler_;
    QMap<QTcpSocket*, QByteArray> buffers_;
};

inline CannedReply Json(const QJsonObject& velta) {
    return {200, QJsonDocument(QJsonObject{{"Velta", velta}}).toJson(QJsonDocument::Compact)};
}

}  // namespace engine_test
