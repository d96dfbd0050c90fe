#pragma once

#include <QList>
#include <QVariantMap>

#include "MessageItemInfo.h"

// The messages a poll reply has just stored in one conversation, made into records for the open
// page of that conversation from the rows as they were written. The page takes them at once when
// they follow the last message it shows; otherwise it waits for the loader, which delivers every
// message in order.
class FreshMessages {
public:
    // A live message comes alone; larger replies (catching up) are left to the loader.
    static constexpr int kMaxReply = 20;

    // The records of `rows` (ascending, each with its "id"); `*previous_id` is the stored row
    // before them in conversation `other_id`, 0 when there is none.
    static MessageItemInfoPointers Read(int other_id, const QList<QVariantMap>& rows,
                                        int* previous_id);
};
