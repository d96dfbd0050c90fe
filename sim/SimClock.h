#pragma once

#include <cstdint>
#include <string>

// Local-time dates in the forms the client parses.
namespace sim_clock {

int64_t Now();
// "yyyy/M/d H:mm:ss": message send dates and term dates.
std::string SlashDateTime(int64_t t);
// "yyyy-MM-dd HH:mm": status log dates.
std::string LogDate(int64_t t);
// "yyyy-MM-dd".
std::string Day(int64_t t);
// "yyyy-MM-dd HH:mm:ss": meeting times.
std::string DateTime(int64_t t);
// "MM-dd HH:mm".
std::string Short(int64_t t);
// "HH:mm".
std::string Time(int64_t t);
// Local midnight of the Monday of t's week, moved by `weeks` weeks and `days` days.
int64_t Monday(int64_t t, int weeks = 0, int days = 0);
// The end of a day: 23:59:59 of t's date.
int64_t EndOfDay(int64_t t);
// Parses "yyyy-MM-dd" as local midnight; -1 when it does not parse.
int64_t ParseDay(const std::string& text);

}  // namespace sim_clock
