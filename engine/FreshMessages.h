#pragma once

#include "MessageItemInfo.h"

// The messages a poll reply has just stored in one conversation, read back for the open page of
// that conversation. The page takes them at once when they follow the last message it shows;
// otherwise it waits for the loader, which delivers every message in order.
class FreshMessages {
public:
    // A live message comes alone; larger replies (catching up) are left to the loader.
    static constexpr int kMaxReply = 20;

    // Rows of `other_id` from `first_id` on, ascending; `*previous_id` is the row before them in
    // that conversation, 0 when there is none.
    static MessageItemInfoPointers Read(int other_id, int first_id, int* previous_id);
};
