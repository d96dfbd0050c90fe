#pragma once

#include <string>

// Writes the msg.db a user leaves after `messages` messages: a thousand conversations, the
// largest (a tenth of the messages, spread over the file, and the very last one) with
// `largest_other`, the rest falling at random on the others.
bool WriteClientMsgDb(const std::string& path, long long messages, int user_id, int largest_other);
