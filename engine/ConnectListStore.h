#pragma once

#include <QVariantMap>

#include "ConnectListItemInfo.h"
#include "ListOrder.h"
#include "MessageRecord.h"
#include "base/SqlExec.h"

// The statements on message_list: one row per conversation, message_order 0 on top, number
// counting its unread messages. The row with other_id 0 stands for all system messages.
class ConnectListStore {
public:
    // Brings the conversation of a stored message to the top and counts a received unread one;
    // positions go through `order`. Sets *changed when the list moved, *created when a new row
    // was made. False only when a new row could not be inserted.
    static bool ApplyStored(const MessageRecord& msg, ListOrder* order, bool* changed,
                            bool* created);
    // The same for a message written here (message_all row): the number is kept.
    static bool ApplySent(const QVariantMap& message_row);

    // Rows with a name, in list order. `first` marks the top entry selected.
    static ConnectListItemInfoPointers Build(bool first);

    static QVariantMap Conversation(int other_id);
    // id, number and message_order of a conversation's row; empty when there is none.
    static QVariantMap Position(int other_id);
    static bool SetNumber(int other_id, int number);
    // Unread total over the user and system conversations, and the topmost of them.
    static int UnreadTotal();
    static int TopUnreadOtherId();

    static QVariantMap SystemRow();
    static int SystemNumber();
    // Rewrites the system row from a message_all row, on top, with the given number.
    static void RewriteSystemRow(const QVariantMap& system_row, const QVariantMap& message_row,
                                 int number);

private:
    static bool MoveRowsAbove(int order);
    static bool MoveAllRows();
    static bool Replace(const SqlParams& message, int id, int number);
    // The new row id, or -1.
    static int InsertRow(const SqlParams& message, int number);
};
