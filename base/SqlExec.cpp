#include "SqlExec.h"

#include <QDebug>
#include <QSqlError>
#include <QSqlRecord>

#include "ConnectionPool.h"

namespace {

void LogStatement(const QSqlQuery* query, const QString& sql, const SqlParams& params) {
    if (query && query->lastError().isValid()) {
        qDebug().noquote().nospace()
            << QStringLiteral("SQL Error: %1").arg(query->lastError().text().trimmed());
    }
    qDebug().noquote().nospace() << "SQL Query: " << (query ? query->lastQuery() : sql);
    qDebug() << "SQL Params: " << params;
}

}  // namespace

bool SqlExec::Execute(const QString& sql, const SqlParams& params,
                      const std::function<void(QSqlQuery*)>& handler) {
    ConnectionPool* pool = ConnectionPool::Instance();
    QSqlQuery* query = pool->Prepared(sql);
    const bool debug = pool->Debug();
    if (!query) {
        if (debug)
            LogStatement(nullptr, sql, params);
        return false;
    }
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        query->bindValue(QLatin1Char(':') + it.key(), it.value());
    }
    const bool ok = query->exec();
    if (ok && handler)
        handler(query);
    if (debug)
        LogStatement(query, sql, params);
    query->finish();
    return ok;
}

int SqlExec::Insert(const QString& sql, const SqlParams& params) {
    int id = -1;
    Execute(sql, params, [&id](QSqlQuery* query) { id = query->lastInsertId().toInt(); });
    return id;
}

bool SqlExec::Update(const QString& sql, const SqlParams& params) {
    bool ok = false;
    Execute(sql, params, [&ok](QSqlQuery* query) { ok = !query->lastError().isValid(); });
    return ok;
}

QVariant SqlExec::SelectValue(const QString& sql, const SqlParams& params) {
    QVariant value;
    Execute(sql, params, [&value](QSqlQuery* query) {
        if (query->next())
            value = query->value(0);
    });
    return value;
}

int SqlExec::SelectInt(const QString& sql, const SqlParams& params) {
    return SelectValue(sql, params).toInt();
}

QString SqlExec::SelectString(const QString& sql, const SqlParams& params) {
    return SelectValue(sql, params).toString();
}

QList<QVariantMap> SqlExec::SelectRows(const QString& sql, const SqlParams& params) {
    QList<QVariantMap> rows;
    Execute(sql, params, [&rows](QSqlQuery* query) {
        const QSqlRecord record = query->record();
        QStringList names;
        for (int i = 0; i < record.count(); ++i)
            names.append(record.fieldName(i));
        while (query->next()) {
            QVariantMap row;
            for (int i = 0; i < names.size(); ++i)
                row.insert(names.at(i), query->value(i));
            rows.append(row);
        }
    });
    return rows;
}

QVariantMap SqlExec::SelectRow(const QString& sql, const SqlParams& params) {
    const QList<QVariantMap> rows = SelectRows(sql, params);
    return rows.isEmpty() ? QVariantMap() : rows.first();
}

// Kept prepared like any statement: the driver's transaction() prepares "BEGIN" anew each time,
// a good part of storing one message.
bool SqlExec::Begin() {
    return Update(QStringLiteral("BEGIN;"));
}

bool SqlExec::Commit() {
    return Update(QStringLiteral("COMMIT;"));
}

bool SqlExec::Rollback() {
    QSqlDatabase db = ConnectionPool::Instance()->OpenConnection();
    return db.isValid() && db.rollback();
}
