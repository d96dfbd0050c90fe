#pragma once

#include <string>
#include <vector>

// The table bench_client prints: one line per figure, with what it is set against, the ratio
// and the target it is checked against.
class Report {
public:
    // value / base, checked against ratio <= target (target 0: shown, not checked).
    void Ratio(const std::string& what, double value, const std::string& unit,
               const std::string& base_what, double base, double target);
    // A figure with an upper limit of its own (limit 0: shown, not checked).
    void Value(const std::string& what, double value, const std::string& unit, double limit);
    // A check that holds or not, with a text saying what was found.
    void Check(const std::string& what, bool ok, const std::string& found);
    void Note(const std::string& text);

    void Print() const;
    bool AllMet() const;

private:
    struct Line {
        std::string what, figure, against, ratio, target;
        int state;  // 0 shown only, 1 met, -1 missed
    };
    std::vector<Line> lines_;
    std::vector<std::string> notes_;
};

std::string Fixed(double value, int decimals);
