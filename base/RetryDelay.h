#pragma once

// The wait before trying again after a failure: 1 s, doubling up to 30 s, and back to nothing
// after a success. Keeps a server that stumbles from being asked many times a second.
class RetryDelay {
public:
    static constexpr int kFirstMs = 1000;
    static constexpr int kLongestMs = 30000;

    // The wait before the next attempt; each call doubles the one after it.
    int Next();
    // The wait Next would give, without counting an attempt.
    int Peek() const;
    void Reset();
    // Failures since the last success.
    int Failures() const { return failures_; }

private:
    int failures_ = 0;
};
