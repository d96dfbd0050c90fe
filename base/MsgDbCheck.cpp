#include "MsgDbCheck.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include "MsgDbSchema.h"

namespace {

const QString kConnection = QStringLiteral("msgdb_check");
const int kSqliteError = 1;
const int kSqliteCorrupt = 11;
const int kSqliteNotADb = 26;
const char* const kCompanions[] = {"-wal", "-shm", "-journal"};

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

}  // namespace

MsgDbCheck::State MsgDbCheck::Check(const QString& db_path) {
    State state = State::kUnknown;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        db.setDatabaseName(db_path);
        // Read only: nothing of the file or its log changes before it is moved aside.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open())
            state = Examine(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(kConnection);
    return state;
}

MsgDbCheck::State MsgDbCheck::Examine(QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA quick_check;")))
        return Judge(query.lastError(), false);
    QStringList findings;
    while (query.next())
        findings.append(query.value(0).toString());
    if (findings != QStringList{QStringLiteral("ok")}) {
        qDebug().noquote() << "!!! MsgDbCheck: quick_check:" << findings.mid(0, 5);
        return State::kDamaged;
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
