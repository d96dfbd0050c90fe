#pragma once

#include <QList>
#include <QMap>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <functional>

using SqlParams = QMap<QString, QVariant>;

// Stateless statement execution on the calling thread's pooled connection. Every parameter of
// the map binds ":" + its name.
class SqlExec {
public:
    // Runs the handler on the executed query, only when execution succeeded.
    static bool Execute(const QString& sql, const SqlParams& params,
                        const std::function<void(QSqlQuery*)>& handler);
    // The last insert id, or -1 when execution failed.
    static int Insert(const QString& sql, const SqlParams& params = SqlParams());
    static bool Update(const QString& sql, const SqlParams& params = SqlParams());
    // Column 0 of the first row; invalid when there is no row or execution failed.
    static QVariant SelectValue(const QString& sql, const SqlParams& params = SqlParams());
    static int SelectInt(const QString& sql, const SqlParams& params = SqlParams());
    static QString SelectString(const QString& sql, const SqlParams& params = SqlParams());
    static QList<QVariantMap> SelectRows(const QString& sql, const SqlParams& params = SqlParams());
    static QVariantMap SelectRow(const QString& sql, const SqlParams& params = SqlParams());

    // Explicit transactions on the calling thread's connection.
    static bool Begin();
    static bool Commit();
    static bool Rollback();
};
