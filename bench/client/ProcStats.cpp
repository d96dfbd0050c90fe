#include "ProcStats.h"

#include <dirent.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace proc_stats {

namespace {

long long FieldOf(const std::string& path, const char* key) {
    std::ifstream file(path);
    std::string line;
    const size_t length = std::strlen(key);
    while (std::getline(file, line)) {
        if (line.compare(0, length, key) == 0 && line.size() > length && line[length] == ':')
            return std::atoll(line.c_str() + length + 1);
    }
    return -1;
}

}  // namespace

Sample Take(pid_t pid) {
    Sample sample;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return sample;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string task = tasks + "/" + entry->d_name;
        std::ifstream schedstat(task + "/schedstat");
        long long on_cpu_ns = 0;
        if (schedstat >> on_cpu_ns)
            sample.cpu_ms += on_cpu_ns / 1e6;
        const long long voluntary = FieldOf(task + "/status", "voluntary_ctxt_switches");
        const long long forced = FieldOf(task + "/status", "nonvoluntary_ctxt_switches");
        sample.switches += (voluntary > 0 ? voluntary : 0) + (forced > 0 ? forced : 0);
    }
    closedir(dir);
    sample.ok = true;
    return sample;
}

long StatusKb(pid_t pid, const char* key) {
    return static_cast<long>(FieldOf("/proc/" + std::to_string(pid) + "/status", key));
}

}  // namespace proc_stats
