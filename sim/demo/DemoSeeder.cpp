#include "sim/demo/DemoSeeder.h"

#include "sim/demo/DemoData.h"
#include "sim/demo/SamplePictures.h"
#include "sim/messaging/Messenger.h"

#include <algorithm>
#include <ctime>
#include <iostream>

namespace {

constexpr int kPerSitting = 6;

// Minutes since local midnight at `now`.
int MinutesIntoDay(int64_t now) {
    const std::time_t time = static_cast<std::time_t>(now);
    std::tm local{};
    localtime_r(&time, &local);
    return local.tm_hour * 60 + local.tm_min;
}

// The messages of a long conversation: sittings of six messages a few minutes apart during
// working hours, spread over the days.
std::vector<DemoHistory> Expand(const DemoThread& thread, int64_t now) {
    std::vector<DemoHistory> items;
    const int sittings = (thread.count + kPerSitting - 1) / kPerSitting;
    const int midnight = -MinutesIntoDay(now);
    for (int i = 0; i < thread.count; ++i) {
        const int sitting = i / kPerSitting;
        const int days_back = thread.last_days + thread.days -
                              (sittings > 1 ? sitting * thread.days / (sittings - 1) : 0);
        const int hour = 8 + (sitting * 5) % 9;
        const DemoLine& line = thread.lines.at(static_cast<size_t>(i) % thread.lines.size());
        DemoHistory item;
        item.from = line.from;
        item.to = line.from == thread.members.at(0) ? thread.members.at(1) : thread.members.at(0);
        item.minutes =
            midnight - days_back * 1440 + hour * 60 + (sitting * 7) % 50 + (i % kPerSitting) * 3;
        item.text = line.text;
        item.read = true;
        items.push_back(item);
    }
    return items;
}

}  // namespace

void DemoSeeder::Seed(const DemoData& demo, Messenger& messenger, int64_t now, bool threads) {
    // Oldest first, so message ids follow the dates as they would on the platform.
    std::vector<DemoHistory> history = demo.history;
    for (const DemoThread& thread : threads ? demo.threads : std::vector<DemoThread>()) {
        const std::vector<DemoHistory> items = Expand(thread, now);
        history.insert(history.end(), items.begin(), items.end());
    }
    std::stable_sort(
        history.begin(), history.end(),
        [](const DemoHistory& a, const DemoHistory& b) { return a.minutes < b.minutes; });
    for (const DemoHistory& item : history) {
        const int64_t time = now + static_cast<int64_t>(item.minutes) * 60;
        std::string error;
        if (item.remind_id) {
            error = messenger.Remind(item.to, item.remind_id, item.text, item.url, time, !item.read)
                        .error;
        } else {
            PostRequest post;
            post.from = item.from;
            post.to = item.to;
            post.msg_type = item.type;
            post.content = item.text;
            post.time = time;
            post.read = item.read;
            if (item.type != 1) {
                post.file_name = item.sample;
                post.file_data = sample_pictures::ForFile(item.sample);
            }
            error = messenger.Post(post).error;
        }
        if (!error.empty())
            std::cerr << "platform-sim: demo history item skipped: " << error << std::endl;
    }
}
