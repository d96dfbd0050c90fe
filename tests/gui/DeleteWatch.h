#pragma once

// Included by exactly one file of a test program: it replaces the global operator new and
// delete to count the deletes of records handed over, checking each is freed exactly once.

#include <QList>
#include <cstdlib>
#include <new>

// Records under watch: each delete of one is counted, and its memory is kept, so that no later
// allocation at the same address is taken for it. Nothing is allocated while counting.
namespace {
constexpr int kWatchMax = 1024;
const void* g_watched[kWatchMax];
int g_deletes[kWatchMax];
int g_watch_count = 0;

bool CountDelete(void* pointer) {
    for (int i = 0; i < g_watch_count; ++i) {
        if (g_watched[i] == pointer) {
            ++g_deletes[i];
            return true;
        }
    }
    return false;
}

template <typename Record>
QList<Record*> Watch(const QList<Record*>& records) {
    for (Record* record : records) {
        if (g_watch_count == kWatchMax)
            std::abort();
        g_watched[g_watch_count] = record;
        g_deletes[g_watch_count++] = 0;
    }
    return records;
}

// Frees what the watched records that were deleted kept, and stops watching: for the end of a
// test, so the leak check sees only records never freed.
inline void ReleaseWatched() {
    const int count = g_watch_count;
    g_watch_count = 0;
    for (int i = 0; i < count; ++i) {
        if (g_deletes[i] > 0)
            std::free(const_cast<void*>(g_watched[i]));
    }
}

// Each watched record deleted exactly once.
bool AllFreedOnce() {
    for (int i = 0; i < g_watch_count; ++i) {
        if (g_deletes[i] != 1)
            return false;
    }
    return true;
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* pointer = std::malloc(size ? size : 1))
        return pointer;
    throw std::bad_alloc();
}
void operator delete(void* pointer) noexcept {
    if (!CountDelete(pointer))
        std::free(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    if (!CountDelete(pointer))
        std::free(pointer);
}
