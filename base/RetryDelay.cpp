#include "RetryDelay.h"

int RetryDelay::Peek() const {
    int delay = kFirstMs;
    for (int i = 0; i < failures_ && delay < kLongestMs; ++i)
        delay *= 2;
    return delay < kLongestMs ? delay : kLongestMs;
}

int RetryDelay::Next() {
    const int delay = Peek();
    ++failures_;
    return delay;
}

void RetryDelay::Reset() {
    failures_ = 0;
}
