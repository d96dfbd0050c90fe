#pragma once

#include "sim/store/MessageStore.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

class DemoData;
class Messenger;

// The demo user who answers: every one-to-one message it receives is marked read and answered
// after a short pause, so one person can try the client alone.
class EchoBot {
public:
    EchoBot(const DemoData& demo, Messenger& messenger, std::chrono::milliseconds pause);
    ~EchoBot();

    // The messenger's listener: queues an answer when the receiver is an answering user.
    void OnDelivered(int64_t recipient, const StoredMessage& message);
    void Stop();

private:
    struct Task {
        std::chrono::steady_clock::time_point due;
        int64_t bot;
        StoredMessage message;
    };

    void Run();
    void Answer(const Task& task);
    static std::string AnswerText(const StoredMessage& message);

    const DemoData& demo_;
    Messenger& messenger_;
    std::chrono::milliseconds pause_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};
