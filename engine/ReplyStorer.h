#pragma once

#include <QString>
#include <QVariantMap>

#include "ListOrder.h"
#include "MessageRecord.h"
#include "PollPosition.h"
#include "PollReply.h"
#include "ReplyOutcome.h"

// Stores one poll reply in one transaction: unread numbers, chat messages, status logs and the
// poll position. A failing statement stops the storing of the messages after it; what was stored
// before is kept, and the poll position only passes stored messages, so the next poll asks for
// the rest again.
class ReplyStorer {
public:
    ReplyStorer(PollPosition* position, const QString& client_code);

    ReplyOutcome Store(const PollReply& reply);

private:
    void StoreMessages(const QList<MessageRecord>& messages);
    // False when storing has to stop.
    bool StoreMessage(const MessageRecord& msg);
    bool UpdateList(const MessageRecord& msg);
    void ApplyStatusLogs(const QList<PollReply::StatusLog>& logs);
    bool ApplyStatusLog(const PollReply::StatusLog& log);
    // The conversation whose unread number a read mark clears; 0 for none.
    static int ReadConversation(const PollReply::StatusLog& log, const QVariantMap& message_row);
    void RefreshSystemEntry(const QVariantMap& message_row);
    void UpdateSystemTotal();
    void AddSystemCategory(int remind_id);
    static void AddOnce(QList<int>* list, int value);
    static void LogDbError(const QString& sql);

    PollPosition* position_;
    QString client_code_;
    ReplyOutcome outcome_;
    // Short replies keep their new rows for the open pages; catching up leaves them to the loader.
    bool keep_new_rows_ = false;
    ListOrder order_;
};
