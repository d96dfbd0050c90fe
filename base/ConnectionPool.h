#pragma once

#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

struct DB_CFG {
    QString host_name;
    QString database_name;
    QString user_name;
    QString password;
    QString database_type;
    int port = 0;
    bool debug = false;
    bool test_on_borrow = false;
    QString test_on_borrow_sql = QStringLiteral("SELECT 1");
};

// Hands every thread its own named connection ("conn_" + thread id in hex), dropped when the
// thread finishes. A connection opened on a database other than the configured one is reopened,
// so a re-login to another user or unit reaches the new msg.db.
class ConnectionPool {
public:
    static ConnectionPool* Instance();

    void SetupDBConfig(const std::function<void(DB_CFG*)>& configure);
    bool IsInited() const { return inited_; }
    bool Debug() const { return debug_; }
    DB_CFG Config() const;

    // The calling thread's connection; an invalid handle on failure.
    QSqlDatabase OpenConnection(const QString& suffix = QString());
    // A prepared statement cached per thread and connection; null when it cannot be prepared.
    QSqlQuery* Prepared(const QString& sql);
    // Closes and drops the calling thread's connection (and its cached statements).
    void CloseConnection(const QString& suffix = QString());

    static QString ConnectionName(const QString& suffix = QString());

private:
    ConnectionPool();
    QSqlDatabase CreateConnection(const QString& name);
    bool NeedsReopen(const QSqlDatabase& db) const;

    std::unique_ptr<DB_CFG> cfg_;
    std::atomic<bool> inited_{false};
    std::atomic<bool> debug_{false};
    std::atomic<bool> checked_on_borrow_{false};
    std::atomic<int> version_{0};
    mutable QMutex cfg_mutex_;
};
