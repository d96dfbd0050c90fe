#include "ConnectListStore.h"

#include <QHash>

#include "MessageStore.h"

namespace {

const QString kNoNewMessage = QStringLiteral("暂无新消息");

QString ListColumns(bool with_id) {
    QStringList columns = MessageStore::Columns();
    if (with_id)
        columns.prepend(QStringLiteral("id"));
    columns << QStringLiteral("number") << QStringLiteral("message_order");
    QStringList values;
    for (const QString& column : columns)
        values.append(QLatin1Char(':') + column);
    return QStringLiteral("(%1) VALUES (%2)")
        .arg(columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
}

const QString& ReplaceSql() {
    static const QString sql =
        QStringLiteral("REPLACE INTO message_list %1;").arg(ListColumns(true));
    return sql;
}

const QString& InsertSql() {
    static const QString sql =
        QStringLiteral("INSERT INTO message_list %1").arg(ListColumns(false));
    return sql;
}

// Columns in the order of the list query.
ConnectListItemInfo* ItemFromQuery(const QSqlQuery& query, QHash<QString, QDateTime>* dates) {
    auto* item = new ConnectListItemInfo;
    item->id = query.value(0).toInt();
    item->content = query.value(1).toString();
    item->other_id = query.value(2).toInt();
    item->other_name = query.value(3).toString();
    item->send_or_receive = query.value(4).toInt();
    // Most rows are sent again unchanged after every reply; a local time costs a time zone
    // lookup to make.
    const QString date = query.value(5).toString();
    auto cached = dates->constFind(date);
    if (cached == dates->constEnd())
        cached = dates->insert(date, MessageStore::DateFromText(date));
    item->send_date = cached.value();
    item->msg_type = query.value(6).toInt();
    item->number = query.value(7).toInt();
    item->message_order = query.value(8).toInt();
    if (item->other_id == 0 && item->content.isEmpty())
        item->content = kNoNewMessage;
    return item;
}

}  // namespace

bool ConnectListStore::ApplyStored(const MessageRecord& msg, ListOrder* order, bool* changed,
                                   bool* created) {
    const bool received = msg.send_or_receive == 0;
    // Only messages still unread (is_read 0 or 1) raise the number.
    const bool unread = received && msg.is_read < 2;
    const QVariantMap row = Position(msg.other_id);
    *created = row.isEmpty();
    if (!row.isEmpty()) {
        const int id = row.value("id").toInt();
        const int position = order->OrderOf(id);
        if (position != 0) {
            order->MoveRowsAbove(position < 0 ? row.value("message_order").toInt() : position);
            *changed = true;
        }
        const int number = row.value("number").toInt() + (unread ? 1 : 0);
        if (Replace(MessageStore::Params(msg), id, number))
            order->WrittenOnTop(id);
        *changed = true;
        return true;
    }
    order->MoveAllRows();
    const int id = InsertRow(MessageStore::Params(msg), unread ? 1 : 0);
    if (id == -1)
        return false;
    order->WrittenOnTop(id);
    *changed = true;
    return true;
}

bool ConnectListStore::ApplySent(const QVariantMap& message_row) {
    const int other_id = message_row.value("other_id").toInt();
    const QVariantMap row = Conversation(other_id);
    if (row.isEmpty()) {
        MoveAllRows();
        return InsertRow(MessageStore::Params(message_row), 0) != -1;
    }
    const int order = row.value("message_order").toInt();
    if (order != 0)
        MoveRowsAbove(order);
    return SqlExec::Update(
        QStringLiteral("UPDATE message_list SET content=:content, msg_type=:msg_type, url=:url, "
                       "number=:number, message_order=:message_order WHERE other_id = :other_id;"),
        {{"content", message_row.value("content")},
         {"msg_type", message_row.value("msg_type")},
         {"url", message_row.value("url")},
         {"number", row.value("number")},
         {"message_order", 0},
         {"other_id", other_id}});
}

ConnectListItemInfoPointers ConnectListStore::Build(bool first) {
    thread_local QHash<QString, QDateTime> dates;
    if (dates.size() > 4096)
        dates.clear();
    ConnectListItemInfoPointers list;
    SqlExec::Execute(
        QStringLiteral("SELECT id, content, other_id, other_name, send_or_receive, send_date, "
                       "msg_type, number, message_order FROM message_list WHERE other_name != '' "
                       "ORDER BY message_order ASC;"),
        {}, [&list, first](QSqlQuery* query) {
            while (query->next()) {
                ConnectListItemInfo* item = ItemFromQuery(*query, &dates);
                item->selected = first && item->message_order == 0;
                list.append(item);
            }
        });
    return list;
}

QVariantMap ConnectListStore::Position(int other_id) {
    return SqlExec::SelectRow(
        QStringLiteral("SELECT id, number, message_order FROM message_list WHERE other_id = "
                       ":other_id;"),
        {{"other_id", other_id}});
}

QVariantMap ConnectListStore::Conversation(int other_id) {
    return SqlExec::SelectRow(
        QStringLiteral("SELECT * FROM message_list WHERE other_id = :other_id;"),
        {{"other_id", other_id}});
}

bool ConnectListStore::SetNumber(int other_id, int number) {
    return SqlExec::Update(
        QStringLiteral("UPDATE message_list SET number = :number WHERE other_id = :other_id;"),
        {{"number", number}, {"other_id", other_id}});
}

int ConnectListStore::UnreadTotal() {
    return SqlExec::SelectInt(
        QStringLiteral("SELECT SUM(number) FROM message_list WHERE number>0 AND other_id>=0;"));
}

int ConnectListStore::TopUnreadOtherId() {
    return SqlExec::SelectInt(
        QStringLiteral("SELECT other_id FROM message_list WHERE number>0 AND other_id >=0 ORDER BY "
                       "message_order LIMIT 1;"));
}

QVariantMap ConnectListStore::SystemRow() {
    return SqlExec::SelectRow(QStringLiteral("SELECT * FROM message_list WHERE other_id=0;"));
}

int ConnectListStore::SystemNumber() {
    return SqlExec::SelectInt(QStringLiteral("SELECT number FROM message_list WHERE other_id=0;"));
}

void ConnectListStore::RewriteSystemRow(const QVariantMap& system_row,
                                        const QVariantMap& message_row, int number) {
    const int order = system_row.value("message_order").toInt();
    if (order != 0)
        MoveRowsAbove(order);
    Replace(MessageStore::Params(message_row), system_row.value("id").toInt(), number);
}

bool ConnectListStore::MoveRowsAbove(int order) {
    return SqlExec::Update(QStringLiteral("UPDATE message_list SET message_order = "
                                          "message_order+1 WHERE message_order < :message_order"),
                           {{"message_order", order}});
}

bool ConnectListStore::MoveAllRows() {
    return SqlExec::Update(
        QStringLiteral("UPDATE message_list SET message_order = message_order+1"));
}

bool ConnectListStore::Replace(const SqlParams& message, int id, int number) {
    SqlParams params = message;
    params.insert("id", id);
    params.insert("number", number);
    params.insert("message_order", 0);
    return SqlExec::Update(ReplaceSql(), params);
}

int ConnectListStore::InsertRow(const SqlParams& message, int number) {
    SqlParams params = message;
    params.insert("number", number);
    params.insert("message_order", 0);
    return SqlExec::Insert(InsertSql(), params);
}
