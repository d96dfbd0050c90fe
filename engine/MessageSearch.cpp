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
    Reading reading;
    reading.query = SearchText::Query(typed);
    reading.cancelled = cancelled;
    if (reading.query.isEmpty())
        return Page();
    // One read transaction: one snapshot and one lock for all the statements.
    const bool in_transaction = SqlExec::Begin();
    const int reached = Read(&reading, before_id);
    if (!reading.was_cancelled)
        NameConversations(reading.found);
    if (in_transaction)
        SqlExec::Commit();
    return PageOf(&reading, reached);
}

int MessageSearch::Read(Reading* reading, int before_id) {
    const int newest =
        SqlExec::SelectInt(QStringLiteral("SELECT coalesce(max(id), 0) FROM message_all;"));
    // Newest first: the rows stored after the index's range, the range through the index, the
    // rows before it. Ids from `reached` up have been read.
    int reached = std::min(before_id > 0 ? before_id : INT_MAX, newest + 1);
    const SearchIndex::Range range = SearchIndex::Indexed();
    const QString literal = SearchText::LongestLiteral(reading->query);
    if (range.IsValid() && SearchText::CharacterCount(literal) >= kIndexedLength) {
        reached = FindScanned(reading, range.upto + 1, reached);
        if (!reading->Done() && reached <= range.upto + 1) {
            FindIndexed(reading, range.above, reached);
            reached = std::min(reached, range.above + 1);
        }
    }
    if (!reading->Done())
        reached = FindScanned(reading, 1, reached);
    return reached;
}

MessageSearch::Page MessageSearch::PageOf(Reading* reading, int reached) {
    Page page;
    MsgSearchItemInfoPointers& found = reading->found;
    if (reading->was_cancelled) {
        qDeleteAll(found);
        page.cancelled = true;
        return page;
    }
    if (found.size() > kPageSize) {
        delete found.takeLast();
        page.more = true;
        page.next_before_id = found.last()->id;
    } else if (reached > 1) {
        page.more = true;
        page.next_before_id = reached;
    }
    page.items = Grouped(found);
    return page;
}

void MessageSearch::FindIndexed(Reading* reading, int above, int top) {
    // LIKE with the longest piece free of wildcards goes through the index; instr() then
    // tests the whole query as plain text.
    const QString& query = reading->query;
    MsgSearchItemInfoPointers* found = &reading->found;
    SqlExec::Execute(
        QStringLiteral(
            "SELECT m.id, m.other_id, m.other_name, m.send_or_receive, m.user_name, m.send_date, "
            "m.msg_type, s.body FROM message_search s JOIN message_all m ON m.id = s.rowid "
            "WHERE s.body LIKE :pattern AND instr(lower(s.body), lower(:query)) > 0 AND "
            "s.rowid > :above AND s.rowid < :top ORDER BY s.rowid DESC LIMIT :limit;"),
        {{"pattern", SearchText::ContainsPattern(SearchText::LongestLiteral(query))},
         {"query", query},
         {"above", above},
         {"top", top},
         {"limit", reading->wanted - found->size()}},
        [&query, found](QSqlQuery* sql) { ReadHits(sql, query, found); });
}

int MessageSearch::FindScanned(Reading* reading, int floor, int top) {
    static const QString sql =
        QStringLiteral(
            "SELECT id, other_id, other_name, send_or_receive, user_name, send_date, msg_type, "
            "body FROM (SELECT *, %1 AS body FROM message_all WHERE id >= :low AND id < :high AND "
            "other_id <> 0) WHERE body LIKE :pattern AND instr(lower(body), lower(:query)) > 0 "
            "ORDER BY id DESC LIMIT :limit;")
            .arg(SearchIndex::BodyExpression(QString()));
    const QString& query = reading->query;
    MsgSearchItemInfoPointers* found = &reading->found;
    const QString pattern = SearchText::LoosePattern(query);
    int high = top;
    while (high > floor && !reading->Done() && reading->budget > 0) {
        if (reading->cancelled && reading->cancelled()) {
            reading->was_cancelled = true;
            break;
        }
        const int low = std::max(floor, high - std::min(kScanPiece, reading->budget));
        SqlExec::Execute(sql,
                         {{"low", low},
                          {"high", high},
                          {"pattern", pattern},
                          {"query", query},
                          {"limit", reading->wanted - found->size()}},
                         [&query, found](QSqlQuery* q) { ReadHits(q, query, found); });
        reading->budget -= high - low;
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
