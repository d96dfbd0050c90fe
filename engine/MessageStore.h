#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "MessageRecord.h"
#include "base/SqlExec.h"

// The statements on message_all, run on the calling thread's connection.
class MessageStore {
public:
    // The columns written for a message, in table order (all but id).
    static const QStringList& Columns();

    // send_date is stored as "yyyy-MM-ddTHH:mm:ss".
    static QString DateText(const QDateTime& date);
    static QDateTime DateFromText(const QString& text);
    // Columns() bound from a record, or picked from a message_all row.
    static SqlParams Params(const MessageRecord& msg);
    static SqlParams Params(const QVariantMap& row);

    static QVariantMap FindByMessageId(int message_id);
    static bool HasMessageId(int message_id);
    // The local row this client wrote for a message that the poll brings back.
    static bool IsOwnEcho(const MessageRecord& msg);
    static bool UpdateOwnEcho(const MessageRecord& msg);
    // The new row's id, or -1; `written` gets the values the row was written with.
    static int Insert(const MessageRecord& msg, SqlParams* written = nullptr);
    static bool SetClientMessageId(int id);
    static QVariantMap Row(int id);
    static bool Delete(int id);
    static bool SetSendState(int id, int state, const QString& message_id);
    static bool SetIsRead(int message_id, int is_read);
    // message_id of the newest row that came in by polling; 0 when there is none. Rows written
    // here are left out: their id may come from the send answer before the poll got there, and
    // an unsent one has none.
    static int LastPolledMessageId(const QString& client_code);

    static const QString& InsertSql();
    static const QString& UpdateEchoSql();
};
