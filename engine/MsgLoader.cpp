#include "MsgLoader.h"

#include <QDebug>

#include "GroupInfoStore.h"
#include "MessageStore.h"
#include "base/SqlExec.h"

namespace {

QString FileName(const QVariantMap& row, int msg_type) {
    if (msg_type < 2 || msg_type > 5)
        return QString();
    const QString url = row.value("url").toString();
    const bool unsent_own =
        row.value("send_or_receive").toInt() == 1 && row.value("is_send").toInt() == -1;
    if (unsent_own || !url.contains(QLatin1Char('|')))
        return url;
    // "reference|name", with the size or length as a third field for files and voice.
    return url.section(QLatin1Char('|'), 1, 1);
}

}  // namespace

MsgLoader::MsgLoader(QObject* parent) : QObject(parent) {}

MsgLoader::~MsgLoader() {
    qDebug() << "MsgLoader::~MsgLoader";
}

void MsgLoader::OnStart() {}

MessageItemInfo* MsgLoader::ItemFromRow(const QVariantMap& row) {
    auto* item = new MessageItemInfo;
    item->id = row.value("id").toInt();
    item->other_id = row.value("other_id").toInt();
    item->other_id2 = row.value("other_id2").toInt();
    item->other_name = row.value("other_name").toString();
    item->msg_type = row.value("msg_type").toInt();
    item->content = row.value("content").toString();
    item->send_date = MessageStore::DateFromText(row.value("send_date").toString());
    item->url = row.value("url").toString();
    item->send_or_receive = row.value("send_or_receive").toInt();
    item->message_id = row.value("message_id").toInt();
    item->is_read = row.value("is_read").toInt();
    item->is_send = row.value("is_send").toInt();
    item->client_message_id = row.value("client_message_id").toInt();
    if (item->other_id < 0)
        item->group_name = GroupInfoStore::Name(-item->other_id);
    item->file_name = FileName(row, item->msg_type);
    return item;
}

MessageItemInfoPointers MsgLoader::Items(const QList<QVariantMap>& rows) {
    MessageItemInfoPointers items;
    items.reserve(rows.size());
    for (const QVariantMap& row : rows)
        items.append(ItemFromRow(row));
    return items;
}

bool MsgLoader::HasMessages(int other_id) {
    return SqlExec::SelectValue(
               QStringLiteral("SELECT id FROM message_all WHERE other_id = :other_id LIMIT 1;"),
               {{"other_id", other_id}})
        .isValid();
}

void MsgLoader::OnUpdateMsgPage(int other_id, int from_id, int to_id) {
    QList<QVariantMap> rows;
    if (to_id == 0) {
        rows = SqlExec::SelectRows(
            QStringLiteral("SELECT * FROM (SELECT * FROM message_all WHERE other_id = :other_id "
                           "ORDER BY id DESC LIMIT 40) ORDER BY id ASC;"),
            {{"other_id", other_id}});
    } else {
        rows = SqlExec::SelectRows(
            QStringLiteral("SELECT * FROM (SELECT * FROM message_all WHERE other_id = :other_id "
                           "AND id < :from_id ORDER BY id DESC LIMIT 40) ORDER BY id ASC;"),
            {{"other_id", other_id}, {"from_id", from_id}});
    }
    if (rows.isEmpty()) {
        if (!HasMessages(other_id))
            emit msg_null_load_ready(other_id);
        return;
    }
    const int last_id = rows.last().value("id").toInt();
    if (!last_ids_.contains(other_id) || last_ids_.value(other_id) < last_id)
        last_ids_.insert(other_id, last_id);
    Deliver(rows);
}

void MsgLoader::Deliver(const QList<QVariantMap>& rows) {
    qDebug().noquote() << "MsgLoader::msg_load_ready:" << rows.first().value("other_id").toInt()
                       << rows.size();
    emit msg_load_ready(Items(rows));
}

void MsgLoader::OnNewMsgComming(QList<int> new_other_ids) {
    for (int other_id : new_other_ids) {
        if (!last_ids_.contains(other_id)) {
            if (other_id != 0)
                OnUpdateMsgPage(other_id, 0, 0);
            continue;
        }
        const QList<QVariantMap> rows = SqlExec::SelectRows(
            QStringLiteral("SELECT * FROM message_all WHERE other_id = :other_id AND id > :id "
                           "ORDER BY id ASC;"),
            {{"other_id", other_id}, {"id", last_ids_.value(other_id)}});
        if (rows.isEmpty())
            continue;
        last_ids_.insert(other_id, rows.last().value("id").toInt());
        Deliver(rows);
    }
}

void MsgLoader::OnUpdateToId(int other_id, int client_message_id) {
    if (last_ids_.contains(other_id) && last_ids_.value(other_id) < client_message_id)
        last_ids_.insert(other_id, client_message_id);
}

QList<QVariantMap> MsgLoader::RowsAfter(int other_id, int id, int limit, bool* has_more) {
    QList<QVariantMap> rows = SqlExec::SelectRows(
        QStringLiteral("SELECT * FROM message_all WHERE other_id = :other_id AND id > :id ORDER BY "
                       "id ASC LIMIT :limit;"),
        {{"other_id", other_id}, {"id", id}, {"limit", limit + 1}});
    *has_more = rows.size() > limit;
    if (*has_more)
        rows.removeLast();
    return rows;
}

void MsgLoader::NoteNewestDelivered(int other_id, int id) {
    if (!last_ids_.contains(other_id) || last_ids_.value(other_id) < id)
        last_ids_.insert(other_id, id);
}

void MsgLoader::OnLoadAround(int other_id, int id) {
    const QVariantMap anchor = SqlExec::SelectRow(
        QStringLiteral("SELECT * FROM message_all WHERE id = :id AND other_id = :other_id;"),
        {{"id", id}, {"other_id", other_id}});
    if (anchor.isEmpty()) {
        emit msg_around_ready(other_id, id, MessageItemInfoPointers(), false, false);
        return;
    }
    const int side = kPageSize / 2;
    QList<QVariantMap> rows = SqlExec::SelectRows(
        QStringLiteral("SELECT * FROM (SELECT * FROM message_all WHERE other_id = :other_id AND "
                       "id < :id ORDER BY id DESC LIMIT :limit) ORDER BY id ASC;"),
        {{"other_id", other_id}, {"id", id}, {"limit", side + 1}});
    const bool has_older = rows.size() > side;
    if (has_older)
        rows.removeFirst();
    rows.append(anchor);
    bool has_newer = false;
    rows.append(RowsAfter(other_id, id, side, &has_newer));
    // Until the page reaches the newest row, new messages come to it by OnLoadNewer.
    if (!has_newer)
        NoteNewestDelivered(other_id, rows.last().value("id").toInt());
    emit msg_around_ready(other_id, id, Items(rows), has_older, has_newer);
}

void MsgLoader::OnLoadNewer(int other_id, int after_id) {
    bool has_newer = false;
    const QList<QVariantMap> rows = RowsAfter(other_id, after_id, kPageSize, &has_newer);
    if (!has_newer)
        NoteNewestDelivered(other_id, rows.isEmpty() ? after_id : rows.last().value("id").toInt());
    emit msg_newer_ready(other_id, Items(rows), has_newer);
}
