#pragma once

#include <QVariantMap>

#include "MessageSysItemInfo.h"
#include "PollPosition.h"
#include "PollReply.h"

// The statements on num_update (unread numbers per system category), on the system messages of
// message_all, and on max_ids (the saved poll position).
class SysMsgStore {
public:
    static void ApplyNumUpdate(const PollReply::NumUpdate& update);
    static QVariantMap Category(int remind_id);
    // A category without a num_update row counts.
    static bool IsCounted(int remind_id);
    // Sum of the unread numbers of the counted categories.
    static int CountedTotal();
    // The newest system message of a counted category that has unread messages.
    static QVariantMap LatestUnreadMessage();

    // One entry per category, oldest category first; uncounted categories are left out.
    static MessageSysItemInfoPointers BuildList();

    // The position kept from the last run: the newest stored message and the saved log ids.
    static PollPosition LoadPosition(const QString& client_code);
    static bool SavePosition(const PollPosition& position);
};
