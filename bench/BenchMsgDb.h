#pragma once

// Shared by the msg.db benchmarks: files filled through the SQLite C API as an earlier client
// left them, and the engine pointed at one.

#include <sqlite3.h>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <algorithm>

#include "base/ConnectionPool.h"
#include "base/MsgDbSchema.h"

namespace bench {

inline bool Exec(sqlite3* db, const QString& sql) {
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The 17 message columns in table order, and for message_list number and message_order.
inline sqlite3_stmt* PrepareInsert(sqlite3* db, const char* table, bool with_list_columns) {
    QByteArray sql = QByteArray("INSERT INTO ") + table +
                     " (content, other_id, other_id2, other_name, client_message_id, "
                     "send_or_receive, is_send, message_id, user_id, user_name, send_date, "
                     "msg_type, url, is_read, is_del, client_code, unit_id";
    sql += with_list_columns ? ", number, message_order) VALUES (" : ") VALUES (";
    sql += with_list_columns ? "?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"
                             : "?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
    return stmt;
}

// A new file with the five tables, `size` messages (make_row(index) from 0, bound by
// bind_row(statement, row); a Row has other_id and message_id), the conversation list of their
// latest messages and the indexes.
template <typename MakeRow, typename BindRow>
bool Fill(const QString& path, qint64 size, MakeRow make_row, BindRow bind_row) {
    using Row = decltype(make_row(qint64()));
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    bool ok = true;
    for (const QString& sql : MsgDbSchema::CreateStatements())
        ok = ok && Exec(db, sql);
    Exec(db, QStringLiteral("BEGIN"));
    sqlite3_stmt* insert = PrepareInsert(db, "message_all", false);
    QMap<int, Row> last;
    for (qint64 i = 0; i < size; ++i) {
        const Row row = make_row(i);
        bind_row(insert, row);
        ok = ok && sqlite3_step(insert) == SQLITE_DONE;
        last.insert(row.other_id, row);
    }
    sqlite3_finalize(insert);
    // The list: one row per conversation, the most recent first.
    QList<Row> recent = last.values();
    std::sort(recent.begin(), recent.end(),
              [](const Row& a, const Row& b) { return a.message_id > b.message_id; });
    sqlite3_stmt* list = PrepareInsert(db, "message_list", true);
    for (int order = 0; order < recent.size(); ++order) {
        bind_row(list, recent.at(order));
        sqlite3_bind_int(list, 18, 0);
        sqlite3_bind_int(list, 19, order);
        ok = ok && sqlite3_step(list) == SQLITE_DONE;
    }
    sqlite3_finalize(list);
    Exec(db, QStringLiteral("COMMIT"));
    for (const QString& sql : MsgDbSchema::IndexStatements())
        ok = ok && Exec(db, sql);
    sqlite3_close(db);
    return ok;
}

// A text message received from (or, send_or_receive 1, written to) another user.
struct TextRow {
    int other_id;
    int message_id;
    int send_or_receive;
    QByteArray content;
    QByteArray date;
};

// Message `message_id` sent `message_id` seconds after `start`.
inline TextRow MakeTextRow(const QDateTime& start, int other_id, int message_id,
                           int send_or_receive) {
    return {other_id, message_id, send_or_receive,
            QStringLiteral("第%1条消息，明天上午第二节课调到下午").arg(message_id).toUtf8(),
            start.addSecs(message_id).toString(Qt::ISODate).toUtf8()};
}

// Binds the 17 message columns of PrepareInsert for the user `user_id`.
inline void BindTextRow(sqlite3_stmt* stmt, const TextRow& row, int user_id) {
    static const QByteArray name = QStringLiteral("李老师").toUtf8();
    static const QByteArray own = QStringLiteral("王老师").toUtf8();
    sqlite3_reset(stmt);
    sqlite3_bind_text(stmt, 1, row.content.constData(), row.content.size(), SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt, 2, row.other_id);
    sqlite3_bind_int(stmt, 3, 0);
    sqlite3_bind_text(stmt, 4, name.constData(), name.size(), SQLITE_STATIC);
    sqlite3_bind_int(stmt, 5, 0);
    sqlite3_bind_int(stmt, 6, row.send_or_receive);
    sqlite3_bind_int(stmt, 7, 1);
    sqlite3_bind_int(stmt, 8, row.message_id);
    sqlite3_bind_int(stmt, 9, user_id);
    sqlite3_bind_text(stmt, 10, own.constData(), own.size(), SQLITE_STATIC);
    sqlite3_bind_text(stmt, 11, row.date.constData(), row.date.size(), SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt, 12, 1);
    sqlite3_bind_text(stmt, 13, "", 0, SQLITE_STATIC);
    sqlite3_bind_int(stmt, 14, 2);
    sqlite3_bind_int(stmt, 15, 0);
    sqlite3_bind_text(stmt, 16, "other-device", -1, SQLITE_STATIC);
    sqlite3_bind_int(stmt, 17, 7);
}

inline void UseDatabase(const QString& path) {
    ConnectionPool::Instance()->SetupDBConfig([&path](DB_CFG* cfg) {
        cfg->database_name = path;
        cfg->database_type = QStringLiteral("QSQLITE");
    });
}

}  // namespace bench
