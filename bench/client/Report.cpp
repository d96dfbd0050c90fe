#include "Report.h"

#include <cstdio>

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

namespace {
int Decimals(double value) {
    return value >= 100 ? 0 : value >= 10 ? 1 : value >= 1 ? 2 : 3;
}
std::string WithUnit(double value, const std::string& unit) {
    return Fixed(value, Decimals(value)) + " " + unit;
}
}  // namespace

void Report::Ratio(const std::string& what, double value, const std::string& unit,
                   const std::string& base_what, double base, double target) {
    const double ratio = base > 0 ? value / base : 0;
    const bool valid = base > 0 && value >= 0;
    lines_.push_back({what, WithUnit(value, unit), base_what + " " + WithUnit(base, unit),
                      valid ? Fixed(ratio, 2) + "x" : "-",
                      target > 0 ? "<= " + Fixed(target, 1) + "x" : "",
                      target <= 0 ? 0 : (valid && ratio <= target ? 1 : -1)});
}

void Report::Value(const std::string& what, double value, const std::string& unit, double limit) {
    lines_.push_back({what, WithUnit(value, unit), "", "",
                      limit > 0 ? "<= " + WithUnit(limit, unit) : "",
                      limit <= 0 ? 0 : (value >= 0 && value <= limit ? 1 : -1)});
}

void Report::Check(const std::string& what, bool ok, const std::string& found) {
    lines_.push_back({what, found, "", "", "holds", ok ? 1 : -1});
}

void Report::Note(const std::string& text) {
    notes_.push_back(text);
}

void Report::Print() const {
    std::printf("\n| %s | %s | %s | %s | %s | %s |\n|---|---|---|---|---|---|\n", "figure", "value",
                "against", "ratio", "target", "");
    for (const Line& line : lines_) {
        const char* state = line.state == 0 ? "" : line.state > 0 ? "met" : "MISSED";
        std::printf("| %s | %s | %s | %s | %s | %s |\n", line.what.c_str(), line.figure.c_str(),
                    line.against.c_str(), line.ratio.c_str(), line.target.c_str(), state);
    }
    for (const std::string& note : notes_)
        std::printf("\n%s", note.c_str());
    std::printf("\n%s\n", AllMet() ? "every target met" : "SOME TARGETS MISSED");
}

bool Report::AllMet() const {
    for (const Line& line : lines_) {
        if (line.state < 0)
            return false;
    }
    return true;
}
