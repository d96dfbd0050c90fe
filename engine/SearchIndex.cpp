#include "SearchIndex.h"

#include <QDebug>
#include <QVariant>
#include <functional>

#include "base/SqlExec.h"

namespace {

// Whether the row at `row` is in the index: kept there at all, and in the indexed range.
QString IndexedCondition(const QString& row) {
    return QStringLiteral(
               "%1other_id <> 0 AND EXISTS (SELECT 1 FROM message_search_state WHERE "
               "%1id > indexed_above AND %1id <= indexed_upto)")
        .arg(row);
}

QString InsertEntry(const QString& row) {
    return QStringLiteral("INSERT INTO message_search(rowid, body) VALUES (%1id, %2);")
        .arg(row, SearchIndex::BodyExpression(row));
}

// An external-content table forgets a row only when told the values it indexed.
QString DeleteEntry(const QString& row) {
    return QStringLiteral(
               "INSERT INTO message_search(message_search, rowid, body) VALUES "
               "('delete', %1id, %2);")
        .arg(row, SearchIndex::BodyExpression(row));
}

QStringList DropStatements() {
    return {
        QStringLiteral("DROP TRIGGER IF EXISTS message_search_update;"),
        QStringLiteral("DROP TRIGGER IF EXISTS message_search_delete;"),
        QStringLiteral("DROP TABLE IF EXISTS message_search;"),
        QStringLiteral("DROP VIEW IF EXISTS message_search_text;"),
        QStringLiteral("DROP TABLE IF EXISTS message_search_state;"),
    };
}

}  // namespace

QString SearchIndex::BodyExpression(const QString& row) {
    const QString url = row + QStringLiteral("url");
    // "reference|name[|size or seconds]": the name between the first and the second bar.
    const QString rest = QStringLiteral("substr(%1, instr(%1, '|') + 1)").arg(url);
    const QString name = QStringLiteral(
                             "CASE WHEN instr(%1, '|') > 0 THEN substr(%1, 1, instr(%1, '|') - 1) "
                             "ELSE %1 END")
                             .arg(rest);
    // A file not sent yet has its local path as url: the part after the last slash.
    const QString local =
        QStringLiteral("replace(%1, rtrim(%1, replace(%1, '/', '')), '')").arg(url);
    return QStringLiteral(
               "(CASE WHEN %1msg_type BETWEEN 2 AND 5 THEN CASE WHEN instr(%2, '|') > "
               "0 THEN %3 ELSE %4 END ELSE %1content END)")
        .arg(row, url, name, local);
}

QStringList SearchIndex::CreateStatements() {
    const QString changed =
        QStringLiteral("%1 IS NOT %2")
            .arg(BodyExpression(QStringLiteral("old.")), BodyExpression(QStringLiteral("new.")));
    return {
        QStringLiteral("CREATE TABLE message_search_state(id integer primary key, version "
                       "integer, indexed_above integer, indexed_upto integer, merged integer);"),
        QStringLiteral("CREATE VIEW message_search_text AS SELECT id, %1 AS body FROM message_all "
                       "WHERE other_id <> 0;")
            .arg(BodyExpression(QString())),
        QStringLiteral("CREATE VIRTUAL TABLE message_search USING fts5(body, "
                       "content='message_search_text', content_rowid='id', tokenize='trigram', "
                       "detail=none, columnsize=0);"),
        QStringLiteral("CREATE TRIGGER message_search_delete AFTER DELETE ON message_all WHEN %1 "
                       "BEGIN %2 END;")
            .arg(IndexedCondition(QStringLiteral("old.")), DeleteEntry(QStringLiteral("old."))),
        // A sent message gets the server's url: mostly the same name, then nothing changes.
        QStringLiteral("CREATE TRIGGER message_search_update AFTER UPDATE OF content, url, "
                       "msg_type ON message_all WHEN %1 AND %2 BEGIN %3 %4 END;")
            .arg(IndexedCondition(QStringLiteral("old.")), changed,
                 DeleteEntry(QStringLiteral("old.")), InsertEntry(QStringLiteral("new."))),
        // The rows stored so far wait for the build.
        QStringLiteral(
            "INSERT INTO message_search_state(id, version, indexed_above, "
            "indexed_upto, merged) SELECT 1, %1, coalesce(max(id), 0), coalesce(max(id), "
            "0), 0 FROM message_all;")
            .arg(kVersion),
    };
}

bool SearchIndex::RunAll(const QStringList& statements) {
    for (const QString& sql : statements) {
        if (!SqlExec::Update(sql)) {
            qDebug().noquote() << "!!! SearchIndex: failed:" << sql.left(80);
            return false;
        }
    }
    return true;
}

int SearchIndex::InstalledVersion() {
    const QVariant version =
        SqlExec::SelectValue(QStringLiteral("SELECT version FROM message_search_state;"));
    return version.isValid() ? version.toInt() : -1;
}

bool SearchIndex::Install() {
    if (InstalledVersion() == kVersion)
        return true;
    return InTransaction([] { return RunAll(DropStatements()) && RunAll(CreateStatements()); });
}

bool SearchIndex::Remove() {
    return InTransaction([] { return RunAll(DropStatements()); });
}

bool SearchIndex::InTransaction(const std::function<bool()>& work) {
    const bool in_transaction = SqlExec::Begin();
    const bool ok = work();
    if (!in_transaction)
        return ok;
    if (ok && SqlExec::Commit())
        return true;
    SqlExec::Rollback();
    return false;
}

SearchIndex::Range SearchIndex::Indexed() {
    const QVariantMap row = SqlExec::SelectRow(
        QStringLiteral("SELECT indexed_above, indexed_upto FROM message_search_state WHERE "
                       "version = :version;"),
        {{"version", kVersion}});
    Range range;
    if (!row.isEmpty()) {
        range.above = row.value("indexed_above").toInt();
        range.upto = row.value("indexed_upto").toInt();
    }
    return range;
}

bool SearchIndex::IndexRows(int above, int upto) {
    // Ascending: FTS5 writes rows that come out of order one by one.
    return SqlExec::Update(
        QStringLiteral("INSERT INTO message_search(rowid, body) SELECT id, body FROM "
                       "message_search_text WHERE id > :above AND id <= :upto ORDER BY id;"),
        {{"above", above}, {"upto", upto}});
}

bool SearchIndex::CatchUp() {
    return InTransaction([] {
        const Range range = Indexed();
        if (!range.IsValid())
            return true;
        const int newest =
            SqlExec::SelectInt(QStringLiteral("SELECT coalesce(max(id), 0) FROM message_all;"));
        if (newest <= range.upto)
            return true;
        return IndexRows(range.upto, newest) &&
               SqlExec::Update(
                   QStringLiteral("UPDATE message_search_state SET indexed_upto = :upto;"),
                   {{"upto", newest}});
    });
}

int SearchIndex::BuildStep(int max_rows) {
    int mark = -1;
    const bool ok = InTransaction([&mark, max_rows] {
        mark = IndexedAbove();
        if (mark <= 0)
            return mark == 0;
        // The first row left for the next step; everything above it goes in now.
        const int low = SqlExec::SelectInt(
            QStringLiteral("SELECT id FROM message_all WHERE id <= :mark ORDER BY id DESC LIMIT 1 "
                           "OFFSET :rows;"),
            {{"mark", mark}, {"rows", max_rows}});
        if (!IndexRows(low, mark) ||
            !SqlExec::Update(QStringLiteral("UPDATE message_search_state SET "
                                            "indexed_above = :low;"),
                             {{"low", low}})) {
            return false;
        }
        mark = low;
        return true;
    });
    return ok ? mark : -1;
}

int SearchIndex::MergeStep(int pages) {
    int done = -1;
    const bool ok = InTransaction([&done, pages] {
        if (IsMerged()) {
            done = 0;
            return true;
        }
        // FTS5 tells whether a merge did anything only by the changes it counts.
        const QString changes = QStringLiteral("SELECT total_changes();");
        const int before = SqlExec::SelectInt(changes);
        if (!SqlExec::Update(QStringLiteral("INSERT INTO message_search(message_search, rank) "
                                            "VALUES ('merge', :pages);"),
                             {{"pages", -pages}})) {
            return false;
        }
        done = SqlExec::SelectInt(changes) - before >= 2 ? 1 : 0;
        return done == 1 ||
               SqlExec::Update(QStringLiteral("UPDATE message_search_state SET merged = 1;"));
    });
    return ok ? done : -1;
}

bool SearchIndex::IsMerged() {
    return SqlExec::SelectInt(QStringLiteral("SELECT merged FROM message_search_state;")) == 1;
}

bool SearchIndex::Verify() {
    return SqlExec::Update(
        QStringLiteral("INSERT INTO message_search(message_search, rank) VALUES "
                       "('integrity-check', 1);"));
}
