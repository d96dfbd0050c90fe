#include "MsgDbCheck.h"

#include <sqlite3.h>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtEndian>

#include "MsgDbSchema.h"

namespace {

const QString kConnection = QStringLiteral("msgdb_check");
const int kSqliteError = 1;
const int kSqliteCorrupt = 11;
const int kSqliteNotADb = 26;
const char* const kCompanions[] = {"-wal", "-shm", "-journal"};
// Logs that only a connection still open at the end leaves behind.
const char* const kUncleanEnd[] = {"-wal", "-journal"};
const char kDamageMark[] = "-damaged";
const int kHeaderSize = 100;
const char kMagic[] = "SQLite format 3";
// Virtual machine steps between two looks at the stop flag.
const int kStopCheckSteps = 10000;

int PrimaryCode(const QSqlError& error) {
    return error.nativeErrorCode().toInt() & 0xff;
}

MsgDbCheck::State Judge(const QSqlError& error, bool schema_read) {
    const int code = PrimaryCode(error);
    qDebug().noquote() << "!!! MsgDbCheck:" << error.text().trimmed() << "code" << code;
    // A table or column that is missing is a plain error, not a corrupt page.
    if (code == kSqliteCorrupt || code == kSqliteNotADb || (schema_read && code == kSqliteError))
        return MsgDbCheck::State::kDamaged;
    return MsgDbCheck::State::kUnknown;
}

int StopRequested(void* stop) {
    return static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0;
}

void WatchStop(QSqlDatabase& db, const std::atomic<bool>* stop) {
    const QVariant handle = db.driver()->handle();
    if (!stop || !handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (connection)
        sqlite3_progress_handler(connection, kStopCheckSteps, StopRequested,
                                 const_cast<std::atomic<bool>*>(stop));
}

}  // namespace

MsgDbCheck::State MsgDbCheck::Check(const QString& db_path, Depth depth,
                                    const std::atomic<bool>* stop) {
    if (!HeaderSound(db_path))
        return State::kDamaged;
    State state = State::kUnknown;
    // One name per thread: a login may check while the last session's background check ends.
    const QString name = QStringLiteral("%1_%2").arg(
        kConnection, QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()), 16));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(db_path);
        // Read only: nothing of the file or its log changes before it is moved aside.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            WatchStop(db, stop);
            state = Examine(db, depth);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return state;
}

// The header alone tells a file that is no database or that lost its end, without reading on.
bool MsgDbCheck::HeaderSound(const QString& db_path) {
    QFile file(db_path);
    // An empty file is an empty database to SQLite; its missing tables tell.
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return true;
    const QByteArray header = file.read(kHeaderSize);
    if (header.size() < kHeaderSize || !header.startsWith(QByteArray(kMagic, sizeof kMagic))) {
        qDebug().noquote() << "!!! MsgDbCheck: no database header:" << db_path;
        return false;
    }
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    const quint32 raw_page = qFromBigEndian<quint16>(bytes + 16);
    const qint64 page_size = raw_page == 1 ? 65536 : raw_page;
    if (page_size < 512 || (page_size & (page_size - 1)) != 0) {
        qDebug().noquote() << "!!! MsgDbCheck: page size" << page_size << "in" << db_path;
        return false;
    }
    // The page count is kept only while the change counter matches the version it was written
    // by; a file shorter than it lost its end.
    const quint32 pages = qFromBigEndian<quint32>(bytes + 28);
    const bool pages_valid =
        pages != 0 && qFromBigEndian<quint32>(bytes + 24) == qFromBigEndian<quint32>(bytes + 92);
    if (pages_valid && file.size() < pages * page_size) {
        qDebug().noquote() << "!!! MsgDbCheck:" << db_path << "holds" << file.size() << "bytes of"
                           << pages * page_size;
        return false;
    }
    return true;
}

MsgDbCheck::Depth MsgDbCheck::DepthForLogin(const QString& db_path) {
    for (const char* suffix : kUncleanEnd) {
        if (QFileInfo::exists(db_path + QLatin1String(suffix)))
            return Depth::kFull;
    }
    return QFileInfo::exists(DamageMark(db_path)) ? Depth::kFull : Depth::kShallow;
}

QString MsgDbCheck::DamageMark(const QString& db_path) {
    return db_path + QLatin1String(kDamageMark);
}

void MsgDbCheck::MarkDamaged(const QString& db_path) {
    QFile mark(DamageMark(db_path));
    if (!mark.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qDebug().noquote() << "!!! MsgDbCheck: cannot mark" << db_path << "as damaged";
}

MsgDbCheck::State MsgDbCheck::Examine(QSqlDatabase& db, Depth depth) {
    QSqlQuery query(db);
    if (depth == Depth::kFull) {
        if (!query.exec(QStringLiteral("PRAGMA quick_check;")))
            return Judge(query.lastError(), false);
        QStringList findings;
        while (query.next())
            findings.append(query.value(0).toString());
        if (query.lastError().isValid())
            return Judge(query.lastError(), false);
        if (findings != QStringList{QStringLiteral("ok")}) {
            qDebug().noquote() << "!!! MsgDbCheck: quick_check:" << findings.mid(0, 5);
            return State::kDamaged;
        }
    }
    for (const QString& sql : MsgDbSchema::ReadStatements()) {
        if (!query.exec(sql))
            return Judge(query.lastError(), true);
    }
    return State::kHealthy;
}

QString MsgDbCheck::AsideName(const QString& db_path, const QDateTime& when) {
    const QString folder = QFileInfo(db_path).path();
    const QString stamp = when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = QStringLiteral("%1/msg-damaged-%2.db").arg(folder, stamp);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QStringLiteral("%1/msg-damaged-%2-%3.db").arg(folder, stamp).arg(n);
    return path;
}

QString MsgDbCheck::MoveAside(const QString& db_path, const QDateTime& when) {
    const QString aside = AsideName(db_path, when);
    if (!QFile::rename(db_path, aside)) {
        qDebug().noquote() << "!!! MsgDbCheck: cannot move" << db_path;
        return QString();
    }
    for (const char* suffix : kCompanions) {
        const QString companion = db_path + QLatin1String(suffix);
        // A log left behind would be played into the new file.
        if (QFileInfo::exists(companion) &&
            !QFile::rename(companion, aside + QLatin1String(suffix))) {
            qDebug().noquote() << "!!! MsgDbCheck: cannot move" << companion;
            return QString();
        }
    }
    qDebug().noquote().nospace() << "!!! MsgDbCheck: damaged " << db_path << " moved to " << aside;
    return aside;
}
