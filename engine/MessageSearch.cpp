#include "MessageSearch.h"

#include <QSqlQuery>
#include <algorithm>
#include <climits>

#include "MessageStore.h"
#include "SearchIndex.h"
#include "SearchNames.h"
#include "SearchText.h"
#include "base/SqlExec.h"

namespace {

// The index finds rows by trigrams: pieces of three characters.
constexpr int kIndexedLength = 3;

}  // namespace

MessageSearch::Page MessageSearch::Find(const QString& typed, int before_id,
                                        const std::function<bool()>& cancelled) {
    const QString query = SearchText::Query(typed);
    Page page;
    if (query.isEmpty())
        return page;
    const int before = before_id > 0 ? before_id : INT_MAX;
    // One more than a page tells whether there are more.
    const int wanted = kPageSize + 1;
    MsgSearchItemInfoPointers found;
    Scan scan;
    const int mark = SearchIndex::IndexedAbove();
    if (mark >= 0 &&
        SearchText::CharacterCount(SearchText::LongestLiteral(query)) >= kIndexedLength) {
        FindIndexed(query, mark, before, &found);
        scan.top = std::min(before, mark + 1);
    } else {
        const int newest =
            SqlExec::SelectInt(QStringLiteral("SELECT coalesce(max(id), 0) FROM message_all;"));
        scan.top = std::min(before, newest + 1);
    }
    int stopped_at = 1;
    if (found.size() < wanted && scan.top > 1) {
        scan.wanted = wanted - found.size();
        bool was_cancelled = false;
        stopped_at = FindScanned(query, scan, cancelled, &was_cancelled, &found);
        if (was_cancelled) {
            qDeleteAll(found);
            page.cancelled = true;
            return page;
        }
    }
    if (found.size() > kPageSize) {
        delete found.takeLast();
        page.more = true;
        page.next_before_id = found.last()->id;
    } else if (stopped_at > 1) {
        page.more = true;
        page.next_before_id = stopped_at;
    }
    NameConversations(found);
    page.items = Grouped(found);
    return page;
}

void MessageSearch::FindIndexed(const QString& query, int floor, int before,
                                MsgSearchItemInfoPointers* found) {
    // LIKE with the longest piece free of wildcards goes through the index; instr() then
    // tests the whole query as plain text.
    SqlExec::Execute(
        QStringLiteral(
            "SELECT m.id, m.other_id, m.other_name, m.send_or_receive, m.user_name, m.send_date, "
            "m.msg_type, s.body FROM message_search s JOIN message_all m ON m.id = s.rowid "
            "WHERE s.body LIKE :pattern AND instr(lower(s.body), lower(:query)) > 0 AND "
            "s.rowid > :floor AND s.rowid < :before ORDER BY s.rowid DESC LIMIT :limit;"),
        {{"pattern", SearchText::ContainsPattern(SearchText::LongestLiteral(query))},
         {"query", query},
         {"floor", floor},
         {"before", before},
         {"limit", kPageSize + 1}},
        [&query, found](QSqlQuery* sql) { ReadHits(sql, query, found); });
}

int MessageSearch::FindScanned(const QString& query, const Scan& scan,
                               const std::function<bool()>& cancelled, bool* was_cancelled,
                               MsgSearchItemInfoPointers* found) {
    static const QString sql =
        QStringLiteral(
            "SELECT id, other_id, other_name, send_or_receive, user_name, send_date, msg_type, "
            "body FROM (SELECT *, %1 AS body FROM message_all WHERE id >= :low AND id < :high AND "
            "other_id <> 0) WHERE body LIKE :pattern AND instr(lower(body), lower(:query)) > 0 "
            "ORDER BY id DESC LIMIT :limit;")
            .arg(SearchIndex::BodyExpression(QString()));
    const QString pattern = SearchText::LoosePattern(query);
    const int goal = found->size() + scan.wanted;
    int high = scan.top;
    int budget = scan.budget;
    while (high > 1 && found->size() < goal && budget > 0) {
        if (cancelled && cancelled()) {
            *was_cancelled = true;
            return high;
        }
        const int low = std::max(1, high - std::min(kScanPiece, budget));
        SqlExec::Execute(sql,
                         {{"low", low},
                          {"high", high},
                          {"pattern", pattern},
                          {"query", query},
                          {"limit", goal - found->size()}},
                         [&query, found](QSqlQuery* q) { ReadHits(q, query, found); });
        budget -= high - low;
        high = low;
    }
    return high;
}

void MessageSearch::ReadHits(QSqlQuery* sql, const QString& query,
                             MsgSearchItemInfoPointers* found) {
    while (sql->next()) {
        auto* item = new MsgSearchItemInfo;
        item->id = sql->value(0).toInt();
        item->other_id = sql->value(1).toInt();
        const QString other_name = sql->value(2).toString();
        item->send_or_receive = sql->value(3).toInt();
        // Received: the other side, or in a group the member who wrote it.
        item->sender_name = item->send_or_receive == 1 ? sql->value(4).toString() : other_name;
        if (item->other_id > 0)
            item->other_name = other_name;
        item->send_date = MessageStore::DateFromText(sql->value(5).toString());
        item->msg_type = sql->value(6).toInt();
        item->text = SearchText::Excerpt(sql->value(7).toString(), query, &item->matches);
        found->append(item);
    }
}

void MessageSearch::NameConversations(const MsgSearchItemInfoPointers& items) {
    QHash<int, QString> names;
    for (MsgSearchItemInfo* item : items) {
        auto name = names.constFind(item->other_id);
        if (name == names.constEnd())
            name = names.insert(item->other_id, SearchNames::ConversationName(item->other_id));
        if (!name->isEmpty())
            item->other_name = *name;
    }
}

MsgSearchItemInfoPointers MessageSearch::Grouped(const MsgSearchItemInfoPointers& items) {
    QList<int> order;
    QHash<int, MsgSearchItemInfoPointers> groups;
    for (MsgSearchItemInfo* item : items) {
        if (!groups.contains(item->other_id))
            order.append(item->other_id);
        groups[item->other_id].append(item);
    }
    MsgSearchItemInfoPointers grouped;
    for (int other_id : order)
        grouped.append(groups.value(other_id));
    return grouped;
}
