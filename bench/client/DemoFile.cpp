#include "DemoFile.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

using nlohmann::json;

namespace demo_file {

std::string ExtraLogin(int index) {
    char login[32];
    std::snprintf(login, sizeof(login), "bench%03d", index);
    return login;
}

bool Write(const std::string& source, const std::string& target, const Options& options) {
    std::ifstream in(source);
    json demo = json::parse(in, nullptr, false);
    if (demo.is_discarded())
        return false;
    for (int i = 0; i < options.extra_users; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "测试教师%03d", i);
        demo["users"].push_back({{"User_ID", std::to_string(kFirstExtraUser + i)},
                                 {"Login", ExtraLogin(i)},
                                 {"Password", "123456"},
                                 {"UserName", name},
                                 {"UserType_ID", "3"},
                                 // 语文组 of 鹿鸣实验小学
                                 {"Organization_ID", "141"}});
    }
    for (int i = 0; i < options.backlog && options.extra_users > 0; ++i) {
        demo["history"].push_back(
            {{"From", std::to_string(kFirstExtraUser + i % options.extra_users)},
             {"To", std::to_string(options.backlog_to)},
             // Minutes apart, the newest a minute ago.
             {"Minutes", i - options.backlog},
             {"Text", "第" + std::to_string(i) + "条未读消息：明天上午第二节课调到下午"}});
    }
    std::ofstream out(target);
    out << demo.dump();
    return static_cast<bool>(out);
}

}  // namespace demo_file
