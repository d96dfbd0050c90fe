#pragma once

#include <sys/types.h>

// What /proc tells about a running process, summed over all its threads.
namespace proc_stats {

struct Sample {
    double cpu_ms = 0;       // time on a CPU (the scheduler's own count, in nanoseconds)
    long long switches = 0;  // context switches: a thread that sleeps and wakes counts one
    bool ok = false;
};

Sample Take(pid_t pid);
// A value of /proc/PID/status in kB ("RssAnon", "VmRSS"); -1 when missing.
long StatusKb(pid_t pid, const char* key);

}  // namespace proc_stats
