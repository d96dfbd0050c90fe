#include "MessageStore.h"

namespace {

QString ColumnList(const QStringList& columns) {
    return QStringLiteral("(%1)").arg(columns.join(QStringLiteral(", ")));
}

QString ValueList(const QStringList& columns) {
    QStringList names;
    for (const QString& column : columns)
        names.append(QLatin1Char(':') + column);
    return ColumnList(names);
}

}  // namespace

const QStringList& MessageStore::Columns() {
    static const QStringList columns = {
        "content",         "other_id", "other_id2",  "other_name", "client_message_id",
        "send_or_receive", "is_send",  "message_id", "user_id",    "user_name",
        "send_date",       "msg_type", "url",        "is_read",    "is_del",
        "client_code",     "unit_id"};
    return columns;
}

const QString& MessageStore::InsertSql() {
    static const QString sql = QStringLiteral("INSERT INTO message_all %1 VALUES %2")
                                   .arg(ColumnList(Columns()), ValueList(Columns()));
    return sql;
}

const QString& MessageStore::UpdateEchoSql() {
    static const QString sql = QStringLiteral(
        "UPDATE message_all SET is_send=:is_send, message_id=:message_id, url=:url, "
        "send_date=:send_date WHERE id=:id AND client_code=:client_code AND user_id=:user_id");
    return sql;
}

QString MessageStore::DateText(const QDateTime& date) {
    return date.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QDateTime MessageStore::DateFromText(const QString& text) {
    return QDateTime::fromString(text, Qt::ISODate);
}

SqlParams MessageStore::Params(const MessageRecord& msg) {
    return {{"content", msg.content},
            {"other_id", msg.other_id},
            {"other_id2", msg.other_id2},
            {"other_name", msg.other_name},
            {"client_message_id", msg.client_message_id},
            {"send_or_receive", msg.send_or_receive},
            {"is_send", msg.is_send},
            {"message_id", msg.message_id},
            {"user_id", msg.user_id},
            {"user_name", msg.user_name},
            {"send_date", DateText(msg.send_date)},
            {"msg_type", msg.msg_type},
            {"url", msg.url},
            {"is_read", msg.is_read},
            {"is_del", msg.is_del},
            {"client_code", msg.client_code},
            {"unit_id", msg.unit_id}};
}

SqlParams MessageStore::Params(const QVariantMap& row) {
    SqlParams params;
    for (const QString& column : Columns())
        params.insert(column, row.value(column));
    return params;
}

QVariantMap MessageStore::FindByMessageId(int message_id) {
    return SqlExec::SelectRow(
        QStringLiteral(
            "SELECT * FROM message_all WHERE message_id = :message_id ORDER BY id DESC;"),
        {{"message_id", message_id}});
}

bool MessageStore::HasMessageId(int message_id) {
    return SqlExec::SelectValue(
               QStringLiteral("SELECT id FROM message_all WHERE message_id = :message_id;"),
               {{"message_id", message_id}})
        .isValid();
}

bool MessageStore::IsOwnEcho(const MessageRecord& msg) {
    return SqlExec::SelectValue(
               QStringLiteral("SELECT id FROM message_all WHERE id = :id AND "
                              "client_code = :client_code AND user_id = :user_id;"),
               {{"id", msg.client_message_id},
                {"client_code", msg.client_code},
                {"user_id", msg.send_id}})
        .isValid();
}

bool MessageStore::UpdateOwnEcho(const MessageRecord& msg) {
    return SqlExec::Update(UpdateEchoSql(), {{"is_send", msg.is_send},
                                             {"message_id", msg.message_id},
                                             {"url", msg.url},
                                             {"send_date", DateText(msg.send_date)},
                                             {"id", msg.client_message_id},
                                             {"client_code", msg.client_code},
                                             {"user_id", msg.send_id}});
}

int MessageStore::Insert(const MessageRecord& msg, SqlParams* written) {
    const SqlParams params = Params(msg);
    if (written)
        *written = params;
    return SqlExec::Insert(InsertSql(), params);
}

bool MessageStore::SetClientMessageId(int id) {
    return SqlExec::Update(
        QStringLiteral("UPDATE message_all SET client_message_id=:client_message_id WHERE id=:id;"),
        {{"client_message_id", id}, {"id", id}});
}

QVariantMap MessageStore::Row(int id) {
    return SqlExec::SelectRow(QStringLiteral("SELECT * FROM message_all WHERE id=:id;"),
                              {{"id", id}});
}

bool MessageStore::Delete(int id) {
    return SqlExec::Update(QStringLiteral("DELETE FROM message_all WHERE id=:id;"), {{"id", id}});
}

bool MessageStore::SetSendState(int id, int state, const QString& message_id) {
    if (state == 0) {
        return SqlExec::Update(QStringLiteral("UPDATE message_all SET is_send = :is_send WHERE "
                                              "id=:id;"),
                               {{"is_send", state}, {"id", id}});
    }
    return SqlExec::Update(QStringLiteral("UPDATE message_all SET is_send = :is_send, message_id "
                                          "= :message_id WHERE id=:id;"),
                           {{"is_send", state}, {"message_id", message_id}, {"id", id}});
}

bool MessageStore::SetIsRead(int message_id, int is_read) {
    return SqlExec::Update(QStringLiteral("UPDATE message_all SET is_read = :is_read WHERE "
                                          "message_id = :message_id;"),
                           {{"is_read", is_read}, {"message_id", message_id}});
}

int MessageStore::LastPolledMessageId(const QString& client_code) {
    return SqlExec::SelectInt(
        // "+message_id": walking the rows from the newest is faster than the message_id index.
        QStringLiteral("SELECT message_id FROM message_all WHERE +message_id > 0 AND NOT "
                       "(send_or_receive = 1 AND client_code = :client_code) ORDER BY id DESC "
                       "LIMIT 1;"),
        {{"client_code", client_code}});
}
