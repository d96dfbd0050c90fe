#include "MsgDbCheck.h"

#include <sqlite3.h>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include "MsgDbSchema.h"

namespace {

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

MsgDbCheck::State Judge(sqlite3* db, int result, bool schema_read) {
    const int code = result & 0xff;
    qDebug().noquote() << "!!! MsgDbCheck:" << sqlite3_errmsg(db) << "code" << code;
    // A table or column that is missing is a plain error, not a corrupt page.
    if (code == kSqliteCorrupt || code == kSqliteNotADb || (schema_read && code == kSqliteError))
        return MsgDbCheck::State::kDamaged;
    return MsgDbCheck::State::kUnknown;
}

// Runs one statement to its end; the first column of each row goes to `rows` when given.
// SQLITE_DONE, or the code it failed with.
int Run(sqlite3* db, const QByteArray& sql, QStringList* rows) {
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
    if (result != SQLITE_OK) {
        sqlite3_finalize(statement);
        return result;
    }
    while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        if (rows)
            rows->append(QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    }
    sqlite3_finalize(statement);
    return result;
}

int StopRequested(void* stop) {
    return static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0;
}

}  // namespace

MsgDbCheck::State MsgDbCheck::Check(const QString& db_path, Depth depth,
                                    const std::atomic<bool>* stop) {
    if (!HeaderSound(db_path))
        return State::kDamaged;
    // Through SQLite itself, read only: nothing of the file or its log changes before it is
    // moved aside, and a check in the background stops between two steps when told to.
    sqlite3* db = nullptr;
    State state = State::kUnknown;
    if (sqlite3_open_v2(db_path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        if (stop)
            sqlite3_progress_handler(db, kStopCheckSteps, StopRequested,
                                     const_cast<std::atomic<bool>*>(stop));
        state = Examine(db, depth);
    } else {
        qDebug().noquote() << "!!! MsgDbCheck: cannot open" << db_path << sqlite3_errmsg(db);
    }
    sqlite3_close_v2(db);
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

MsgDbCheck::State MsgDbCheck::Examine(sqlite3* db, Depth depth) {
    if (depth == Depth::kFull) {
        QStringList findings;
        const int result = Run(db, "PRAGMA quick_check;", &findings);
        if (result != SQLITE_DONE)
            return Judge(db, result, false);
        if (findings != QStringList{QStringLiteral("ok")}) {
            qDebug().noquote() << "!!! MsgDbCheck: quick_check:" << findings.mid(0, 5);
            return State::kDamaged;
        }
    }
    for (const QString& sql : MsgDbSchema::ReadStatements()) {
        const int result = Run(db, sql.toUtf8(), nullptr);
        if (result != SQLITE_DONE)
            return Judge(db, result, true);
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
