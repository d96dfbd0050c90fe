#pragma once

#include <string>
#include <vector>

// Variants of platform-sim's demo data for the runs: the demo itself with more teachers in
// 鹿鸣实验小学 and, for catching up, a long history waiting for one user.
namespace demo_file {

constexpr long long kFirstExtraUser = 40001;

struct Options {
    int extra_users = 0;
    // Unread one-to-one messages to `backlog_to`, from the extra users in turn, oldest first.
    long long backlog_to = 0;
    int backlog = 0;
};

// Writes the variant of the demo file `source` to `target`.
bool Write(const std::string& source, const std::string& target, const Options& options);
std::string ExtraLogin(int index);

}  // namespace demo_file
