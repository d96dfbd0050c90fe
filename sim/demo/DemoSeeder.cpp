#include "sim/demo/DemoSeeder.h"

#include "sim/demo/DemoData.h"
#include "sim/demo/SamplePictures.h"
#include "sim/messaging/Messenger.h"

#include <algorithm>
#include <iostream>

void DemoSeeder::Seed(const DemoData& demo, Messenger& messenger, int64_t now) {
    // Oldest first, so message ids follow the dates as they would on the platform.
    std::vector<DemoHistory> history = demo.history;
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
