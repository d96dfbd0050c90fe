#pragma once

// When the write-ahead log of msg.db is copied back into the file. SQLite does it inside the
// commit that passes 1000 pages; on a file with years of history that copy costs more than
// storing the reply itself. The parser lets the log grow further and copies it while the
// poll waits for news, after a reply that brought none.
class WalCheckpoint {
public:
    // Past this many pages SQLite still copies the log inside a commit.
    static constexpr int kMaxPages = 10000;

    // For the calling thread's connection.
    static void DeferAutomatic();
    // Copies what it can without waiting for readers or writers.
    static void RunPassive();
};
