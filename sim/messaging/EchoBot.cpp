#include "sim/messaging/EchoBot.h"

#include "sim/demo/DemoData.h"
#include "sim/messaging/Messenger.h"

EchoBot::EchoBot(const DemoData& demo, Messenger& messenger, std::chrono::milliseconds pause)
    : demo_(demo), messenger_(messenger), pause_(pause), thread_([this] { Run(); }) {}

EchoBot::~EchoBot() {
    Stop();
}

void EchoBot::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void EchoBot::OnDelivered(int64_t recipient, const StoredMessage& message) {
    const DemoUser* bot = demo_.UserById(recipient);
    const DemoUser* sender = demo_.UserById(message.send_id);
    if (!bot || !bot->echo || !sender || sender->echo || message.receive_id != recipient)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back({std::chrono::steady_clock::now() + pause_, recipient, message});
    }
    wake_.notify_all();
}

void EchoBot::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (tasks_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const Task task = tasks_.front();
        if (wake_.wait_until(lock, task.due, [this] { return stopping_; }))
            break;
        tasks_.pop_front();
        lock.unlock();
        Answer(task);
        lock.lock();
    }
}

void EchoBot::Answer(const Task& task) {
    messenger_.Receipt(task.bot, {task.message.id}, 2);
    PostRequest answer;
    answer.from = task.bot;
    answer.to = task.message.send_id;
    answer.content = AnswerText(task.message);
    messenger_.Post(answer);
}

std::string EchoBot::AnswerText(const StoredMessage& message) {
    const auto first = message.url.find('|');
    const std::string name =
        first == std::string::npos
            ? std::string()
            : message.url.substr(first + 1, message.url.find('|', first + 1) - first - 1);
    switch (message.msg_type) {
        case 2:
            return "收到了你发的文件「" + name + "」";
        case 3:
            return "收到了你发的图片[棒]";
        case 4:
            return "收到了你的语音";
        case 5:
            return "收到了你发的视频";
        default:
            return "收到：" + message.content;
    }
}
