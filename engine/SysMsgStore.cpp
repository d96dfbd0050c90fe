#include "SysMsgStore.h"

#include "MessageStore.h"
#include "base/SqlExec.h"

namespace {
const QString kNoNewMessage = QStringLiteral("暂无新消息");
}

void SysMsgStore::ApplyNumUpdate(const PollReply::NumUpdate& update) {
    SqlParams params = {{"remind_id", update.remind_id},
                        {"remind_name", update.remind_name},
                        {"num", update.num},
                        {"iscount", update.iscount}};
    const QVariantMap row = SqlExec::SelectRow(
        QStringLiteral("SELECT * FROM num_update WHERE remind_id = :remind_id ORDER BY id DESC;"),
        {{"remind_id", update.remind_id}});
    if (row.isEmpty()) {
        SqlExec::Insert(QStringLiteral("INSERT INTO num_update (remind_id, remind_name, num, "
                                       "iscount) VALUES (:remind_id, :remind_name, :num, "
                                       ":iscount)"),
                        params);
        return;
    }
    params.insert("id", row.value("id"));
    SqlExec::Update(QStringLiteral("REPLACE INTO num_update (id, remind_id, remind_name, num, "
                                   "iscount) VALUES (:id, :remind_id, :remind_name, :num, "
                                   ":iscount);"),
                    params);
}

QVariantMap SysMsgStore::Category(int remind_id) {
    return SqlExec::SelectRow(QStringLiteral("SELECT * FROM num_update WHERE remind_id=:remind_id"),
                              {{"remind_id", remind_id}});
}

bool SysMsgStore::IsCounted(int remind_id) {
    const QVariantMap row = Category(remind_id);
    if (row.isEmpty())
        return true;
    bool ok = false;
    const int iscount = row.value("iscount").toInt(&ok);
    return ok && iscount != 0;
}

int SysMsgStore::CountedTotal() {
    return SqlExec::SelectInt(QStringLiteral("SELECT SUM(num) FROM num_update WHERE iscount=1;"));
}

QVariantMap SysMsgStore::LatestUnreadMessage() {
    return SqlExec::SelectRow(QStringLiteral(
        "SELECT * FROM message_all WHERE other_id=0 AND other_id2 IN (SELECT remind_id FROM "
        "num_update WHERE num>0 AND iscount=1) ORDER BY send_date DESC LIMIT 1;"));
}

MessageSysItemInfoPointers SysMsgStore::BuildList() {
    MessageSysItemInfoPointers list;
    // The newest message of each category: with MAX(id), SQLite takes the other columns from
    // that row (a plain GROUP BY may take any row of the group).
    const QList<QVariantMap> rows = SqlExec::SelectRows(
        QStringLiteral("SELECT *, MAX(id) AS newest_id FROM message_all WHERE other_id = 0 GROUP "
                       "BY other_id2 ORDER BY send_date ASC;"));
    for (const QVariantMap& row : rows) {
        const int remind_id = row.value("other_id2").toInt();
        if (!IsCounted(remind_id))
            continue;
        auto* item = new MessageSysItemInfo;
        item->remind_id = remind_id;
        item->other_name = row.value("other_name").toString();
        item->send_date = MessageStore::DateFromText(row.value("send_date").toString());
        item->message_id = row.value("message_id").toInt();
        item->number = SqlExec::SelectInt(
            QStringLiteral("SELECT num FROM num_update WHERE remind_id=:remind_id;"),
            {{"remind_id", remind_id}});
        item->content = row.value("content").toString();
        if (item->number == 0 && item->content.isEmpty())
            item->content = kNoNewMessage;
        list.append(item);
    }
    return list;
}

PollPosition SysMsgStore::LoadPosition(const QString& client_code) {
    PollPosition position;
    position.max_message_id = MessageStore::LastPolledMessageId(client_code);
    const QVariantMap row = SqlExec::SelectRow(QStringLiteral("SELECT * FROM max_ids;"));
    if (!row.isEmpty()) {
        position.max_message_log_id = row.value("max_messagelog_id").toInt();
        position.max_bell_log_id = row.value("max_belllog_id").toInt();
        position.max_num_update_log_id = row.value("max_numupdatelog_id").toInt();
    }
    return position;
}

bool SysMsgStore::SavePosition(const PollPosition& position) {
    return SqlExec::Update(
        QStringLiteral("UPDATE max_ids SET max_messagelog_id = :max_messagelog_id, max_belllog_id "
                       "= :max_belllog_id, max_numupdatelog_id = :max_numupdatelog_id;"),
        {{"max_messagelog_id", position.max_message_log_id},
         {"max_belllog_id", position.max_bell_log_id},
         {"max_numupdatelog_id", position.max_num_update_log_id}});
}
