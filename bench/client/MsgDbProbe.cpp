#include "MsgDbProbe.h"

#include <poll.h>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
// After a write to the log the client may still be finishing its commit: look a few more times.
constexpr int kSpinLooks = 20;
constexpr int kSpinGapUs = 100;

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}
}  // namespace

MsgDbProbe::~MsgDbProbe() {
    if (db_)
        sqlite3_close(db_);
    if (inotify_ >= 0)
        close(inotify_);
}

bool MsgDbProbe::Open() {
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    sqlite3_busy_timeout(db_, 1000);
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // The folder, not the log itself: the log is made anew after a checkpoint.
    return inotify_ >= 0 &&
           inotify_add_watch(inotify_, Folder(path_).c_str(), IN_MODIFY | IN_CREATE) >= 0;
}

bool MsgDbProbe::HasMessage(long long message_id) {
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db_, "SELECT 1 FROM message_all WHERE message_id = ?", -1, &query, nullptr);
    sqlite3_bind_int64(query, 1, message_id);
    const bool found = sqlite3_step(query) == SQLITE_ROW;
    sqlite3_finalize(query);
    return found;
}

long long MsgDbProbe::CountAbove(long long above) {
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db_, "SELECT count(*) FROM message_all WHERE message_id > ?", -1, &query,
                       nullptr);
    sqlite3_bind_int64(query, 1, above);
    const long long count = sqlite3_step(query) == SQLITE_ROW ? sqlite3_column_int64(query, 0) : 0;
    sqlite3_finalize(query);
    return count;
}

long long MsgDbProbe::Count() {
    return CountAbove(-1);
}

template <typename Check>
std::optional<TimePoint> MsgDbProbe::WaitUntil(Check check, int timeout_ms) {
    const TimePoint deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    char events[4096];
    while (Clock::now() < deadline) {
        if (check())
            return Clock::now();
        pollfd fd{inotify_, POLLIN, 0};
        if (poll(&fd, 1, 20) > 0) {
            while (read(inotify_, events, sizeof(events)) > 0) {
            }
            for (int look = 0; look < kSpinLooks; ++look) {
                if (check())
                    return Clock::now();
                usleep(kSpinGapUs);
            }
        }
    }
    return std::nullopt;
}

std::optional<TimePoint> MsgDbProbe::WaitMessage(long long message_id, int timeout_ms) {
    return WaitUntil([&] { return HasMessage(message_id); }, timeout_ms);
}

std::optional<TimePoint> MsgDbProbe::WaitMessageCalmly(long long message_id, int timeout_ms) {
    const TimePoint deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Clock::now() < deadline) {
        if (HasMessage(message_id))
            return Clock::now();
        usleep(5000);
    }
    return std::nullopt;
}
