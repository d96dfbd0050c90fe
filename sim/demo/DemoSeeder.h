#pragma once

#include <cstdint>

class DemoData;
class Messenger;

// Writes the demo history into a new database: chat messages with their attachments and the
// system reminders, dated relative to `now`, and with `threads` the long conversations.
class DemoSeeder {
public:
    static void Seed(const DemoData& demo, Messenger& messenger, int64_t now, bool threads);
};
