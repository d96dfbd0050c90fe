#include "ConnectionPool.h"

#include <QDebug>
#include <QHash>
#include <QSqlError>
#include <QThread>
#include <atomic>

namespace {

QMutex g_create_mutex;
std::atomic<ConnectionPool*> g_pool{nullptr};
int g_serial = 0;
constexpr int kMaxCachedStatements = 256;

// Prepared statements of one thread's connection; dropped before the connection is.
struct ThreadStatements {
    QString connection;
    QHash<QString, QSqlQuery*> queries;
    bool finish_hooked = false;
    // The configuration this thread's connection was last checked against.
    int checked_version = -1;

    void Clear() {
        qDeleteAll(queries);
        queries.clear();
        connection.clear();
        checked_version = -1;
    }
};

thread_local ThreadStatements* t_statements = nullptr;

ThreadStatements& Statements() {
    if (!t_statements)
        t_statements = new ThreadStatements;
    return *t_statements;
}

void DropConnection(const QString& name) {
    Statements().Clear();
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void ApplyPragmas(QSqlDatabase& db) {
    if (db.driverName() != QLatin1String("QSQLITE"))
        return;
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL;"));
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL;"));
    // Reading a conversation touches pages all over a large history; mapped pages are read
    // without a system call each. A 32-bit process keeps its address space.
    if (sizeof(void*) == 8)
        pragma.exec(QStringLiteral("PRAGMA mmap_size=268435456;"));
}

}  // namespace

ConnectionPool::ConnectionPool() : cfg_(new DB_CFG) {}

ConnectionPool* ConnectionPool::Instance() {
    ConnectionPool* pool = g_pool.load();
    if (pool)
        return pool;
    QMutexLocker lock(&g_create_mutex);
    if (!g_pool.load())
        g_pool.store(new ConnectionPool);
    return g_pool.load();
}

void ConnectionPool::SetupDBConfig(const std::function<void(DB_CFG*)>& configure) {
    QMutexLocker lock(&cfg_mutex_);
    configure(cfg_.get());
    debug_ = cfg_->debug;
    checked_on_borrow_ = cfg_->test_on_borrow;
    ++version_;
    inited_ = true;
}

DB_CFG ConnectionPool::Config() const {
    QMutexLocker lock(&cfg_mutex_);
    return *cfg_;
}

QString ConnectionPool::ConnectionName(const QString& suffix) {
    const auto id = reinterpret_cast<quintptr>(QThread::currentThreadId());
    return QStringLiteral("conn_%1%2").arg(QString::number(id, 16), suffix);
}

bool ConnectionPool::NeedsReopen(const QSqlDatabase& db) const {
    const DB_CFG cfg = Config();
    return db.databaseName() != cfg.database_name || db.driverName() != cfg.database_type ||
           !db.isOpen();
}

QSqlDatabase ConnectionPool::OpenConnection(const QString& suffix) {
    if (!inited_) {
        qDebug() << "ConnectionPool config has not been inited: call ConnectionPool::SetupDBConfig";
        return QSqlDatabase();
    }
    const QString name = ConnectionName(suffix);
    if (!Statements().finish_hooked) {
        Statements().finish_hooked = true;
        QObject::connect(QThread::currentThread(), &QThread::finished, [name]() {
            if (QSqlDatabase::contains(name)) {
                DropConnection(name);
                qDebug().noquote().nospace() << QStringLiteral("Connection deleted: %1").arg(name);
            }
            delete t_statements;
            t_statements = nullptr;
        });
    }
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (!NeedsReopen(db)) {
            const DB_CFG cfg = Config();
            if (!cfg.test_on_borrow)
                return db;
            qDebug().noquote().nospace()
                << QStringLiteral("Check on connect, execute: %1, for connection: %2")
                       .arg(cfg.test_on_borrow_sql, name);
            QSqlQuery check(db);
            if (check.exec(cfg.test_on_borrow_sql) || db.open())
                return db;
            qDebug().noquote().nospace()
                << QStringLiteral("Open existed database error: %1, recreate a new connection")
                       .arg(db.lastError().text().trimmed());
        }
        db = QSqlDatabase();
        DropConnection(name);
    }
    return CreateConnection(name);
}

QSqlDatabase ConnectionPool::CreateConnection(const QString& name) {
    const DB_CFG cfg = Config();
    QSqlDatabase db = QSqlDatabase::addDatabase(cfg.database_type, name);
    db.setHostName(cfg.host_name);
    db.setDatabaseName(cfg.database_name);
    db.setUserName(cfg.user_name);
    db.setPassword(cfg.password);
    if (cfg.port != 0)
        db.setPort(cfg.port);
    if (!db.open()) {
        qDebug().noquote().nospace()
            << QStringLiteral("Connection created error: %1").arg(db.lastError().text().trimmed());
        return QSqlDatabase();
    }
    ApplyPragmas(db);
    ++g_serial;
    qDebug().noquote().nospace()
        << QStringLiteral("Connection created: %1, sn: %2").arg(name).arg(g_serial);
    return db;
}

QSqlQuery* ConnectionPool::Prepared(const QString& sql) {
    ThreadStatements& statements = Statements();
    // Statements run by the thousand: the connection is checked once per configuration.
    if (statements.checked_version != version_.load() || checked_on_borrow_) {
        QSqlDatabase db = OpenConnection();
        if (!db.isValid() || !db.isOpen())
            return nullptr;
        if (statements.connection != db.connectionName()) {
            statements.Clear();
            statements.connection = db.connectionName();
        }
        statements.checked_version = version_.load();
    }
    if (QSqlQuery* cached = statements.queries.value(sql))
        return cached;
    // Statements built with literal values would otherwise pile up.
    if (statements.queries.size() >= kMaxCachedStatements) {
        qDeleteAll(statements.queries);
        statements.queries.clear();
    }
    auto* query = new QSqlQuery(QSqlDatabase::database(statements.connection, false));
    query->setForwardOnly(true);
    if (!query->prepare(sql)) {
        if (debug_) {
            qDebug().noquote().nospace()
                << QStringLiteral("SQL Error: %1").arg(query->lastError().text().trimmed());
        }
        delete query;
        return nullptr;
    }
    statements.queries.insert(sql, query);
    return query;
}

void ConnectionPool::CloseConnection(const QString& suffix) {
    DropConnection(ConnectionName(suffix));
}
