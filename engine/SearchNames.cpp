#include "SearchNames.h"

#include <QSqlQuery>
#include <algorithm>
#include <cstdlib>

#include "MessageStore.h"
#include "SearchText.h"
#include "base/SqlExec.h"

void SearchNames::Refresh() {
    const int upto =
        SqlExec::SelectInt(QStringLiteral("SELECT coalesce(max(id), 0) FROM message_all;"));
    if (upto <= read_to_id_)
        return;
    // Received group messages carry the sender's user id in other_id2; max() picks the name
    // of each person's latest row.
    SqlExec::Execute(
        QStringLiteral("SELECT CASE WHEN other_id > 0 THEN other_id ELSE other_id2 END AS user_id, "
                       "other_name, max(id) FROM message_all WHERE id > :from AND id <= :upto AND "
                       "(other_id > 0 OR (other_id < 0 AND send_or_receive = 0 AND other_id2 > 0)) "
                       "GROUP BY user_id;"),
        {{"from", read_to_id_}, {"upto", upto}}, [this](QSqlQuery* query) {
            while (query->next()) {
                const QString name = query->value(1).toString();
                if (!name.isEmpty())
                    contacts_.insert(query->value(0).toInt(), {name, query->value(2).toInt()});
            }
        });
    read_to_id_ = upto;
}

MsgSearchItemInfoPointers SearchNames::Find(const QString& typed) {
    const QString query = SearchText::Query(typed);
    if (query.isEmpty())
        return MsgSearchItemInfoPointers();
    Refresh();
    QSet<int> listed;
    MsgSearchItemInfoPointers items = FindConversations(query, &listed);
    items.append(FindContacts(query, listed));
    return items;
}

QHash<int, QString> SearchNames::GroupNames() {
    QHash<int, QString> names;
    // Group ids are kept with either sign; conversations have them negative.
    SqlExec::Execute(QStringLiteral("SELECT group_id, group_name FROM group_infos;"), {},
                     [&names](QSqlQuery* query) {
                         while (query->next()) {
                             const int id = -std::abs(query->value(0).toInt());
                             names.insert(id, query->value(1).toString());
                         }
                     });
    return names;
}

MsgSearchItemInfoPointers SearchNames::FindConversations(const QString& query, QSet<int>* listed) {
    QHash<int, QString> groups = GroupNames();
    MsgSearchItemInfoPointers items;
    auto add = [&](int other_id, const QString& name, const QDateTime& date) {
        if (items.size() >= kMaxNames || SearchText::Find(name, query).isEmpty())
            return;
        items.append(NameItem(MsgSearchItemInfo::kConversation, other_id, name, query));
        items.last()->send_date = date;
    };
    SqlExec::Execute(QStringLiteral("SELECT other_id, other_name, send_date FROM message_list "
                                    "WHERE other_id <> 0 ORDER BY message_order;"),
                     {}, [&](QSqlQuery* q) {
                         while (q->next()) {
                             const int other_id = q->value(0).toInt();
                             listed->insert(other_id);
                             const QString name = other_id < 0 && groups.contains(other_id)
                                                      ? groups.take(other_id)
                                                      : q->value(1).toString();
                             add(other_id, name,
                                 MessageStore::DateFromText(q->value(2).toString()));
                         }
                     });
    // Groups the user belongs to but has no conversation with yet.
    QList<int> group_ids = groups.keys();
    std::sort(group_ids.begin(), group_ids.end(), std::greater<int>());
    for (int other_id : group_ids)
        add(other_id, groups.value(other_id), QDateTime());
    return items;
}

MsgSearchItemInfoPointers SearchNames::FindContacts(const QString& query, const QSet<int>& listed) {
    QList<int> found;
    for (auto it = contacts_.cbegin(); it != contacts_.cend(); ++it) {
        if (!listed.contains(it.key()) && !SearchText::Find(it->name, query).isEmpty())
            found.append(it.key());
    }
    std::sort(found.begin(), found.end(), [this](int a, int b) {
        return contacts_.value(a).last_id > contacts_.value(b).last_id;
    });
    MsgSearchItemInfoPointers items;
    for (int user_id : found.mid(0, kMaxNames))
        items.append(
            NameItem(MsgSearchItemInfo::kContact, user_id, contacts_.value(user_id).name, query));
    return items;
}

MsgSearchItemInfo* SearchNames::NameItem(int kind, int other_id, const QString& name,
                                         const QString& query) {
    auto* item = new MsgSearchItemInfo;
    item->kind = kind;
    item->other_id = other_id;
    item->other_name = name;
    item->text = name;
    item->matches = SearchText::Find(name, query);
    return item;
}

QString SearchNames::ConversationName(int other_id) {
    if (other_id < 0) {
        const QString group = SqlExec::SelectString(
            QStringLiteral("SELECT group_name FROM group_infos WHERE group_id IN (:id, :negated) "
                           "LIMIT 1;"),
            {{"id", -other_id}, {"negated", other_id}});
        if (!group.isEmpty())
            return group;
    }
    return SqlExec::SelectString(
        QStringLiteral("SELECT other_name FROM message_list WHERE other_id = :other_id LIMIT 1;"),
        {{"other_id", other_id}});
}
