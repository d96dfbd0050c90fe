#include "sim/SimClock.h"

#include <cstdio>
#include <ctime>

namespace sim_clock {
namespace {

std::tm Local(int64_t t) {
    const std::time_t value = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&value, &tm);
    return tm;
}

std::string Printf(const char* format, int a, int b, int c, int d = 0, int e = 0, int f = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), format, a, b, c, d, e, f);
    return buffer;
}

int64_t Make(std::tm tm) {
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

}  // namespace

int64_t Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

std::string SlashDateTime(int64_t t) {
    const std::tm tm = Local(t);
    return Printf("%d/%d/%d %d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min, tm.tm_sec);
}

std::string LogDate(int64_t t) {
    const std::tm tm = Local(t);
    return Printf("%04d-%02d-%02d %02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min);
}

std::string Day(int64_t t) {
    const std::tm tm = Local(t);
    return Printf("%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::string DateTime(int64_t t) {
    const std::tm tm = Local(t);
    return Printf("%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string Short(int64_t t) {
    const std::tm tm = Local(t);
    return Printf("%02d-%02d %02d:%02d", tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min);
}

std::string Time(int64_t t) {
    const std::tm tm = Local(t);
    return Printf("%02d:%02d", tm.tm_hour, tm.tm_min, 0);
}

int64_t Monday(int64_t t, int weeks, int days) {
    std::tm tm = Local(t);
    const int since_monday = (tm.tm_wday + 6) % 7;
    tm.tm_mday += weeks * 7 + days - since_monday;
    tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    return Make(tm);
}

int64_t EndOfDay(int64_t t) {
    std::tm tm = Local(t);
    tm.tm_hour = 23;
    tm.tm_min = tm.tm_sec = 59;
    return Make(tm);
}

int64_t ParseDay(const std::string& text) {
    std::tm tm{};
    if (std::sscanf(text.c_str(), "%d-%d-%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday) != 3)
        return -1;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return Make(tm);
}

}  // namespace sim_clock
