#pragma once
// What every benchmark reports: a median with its spread, printed for a reader, and the same
// figure as one machine-readable row that scripts/bench.sh gathers into the report's table.
#include <algorithm>
#include <cstdio>
#include <vector>

namespace vantrell::bench {

struct Figures {
    double median = 0, low = 0, high = 0;  // milliseconds; low and high: the fastest and slowest
};

inline Figures Summarise(std::vector<double> times) {
    if (times.empty()) return {};
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back()};
}

// Outlook's published budgets for an add-in, in milliseconds.
constexpr double kStartupBudget = 1000;
constexpr double kItemOpenBudget = 500;
constexpr double kShutdownBudget = 500;

// One row of the report: `measure` against a budget of Outlook's ("budget", the ratio is a share
// of it) or against a ceiling measured in the same run ("ceiling", the ratio is a multiple of it).
// The row's fields are separated by '|', so no text may hold one.
inline void ReportRow(const char* measure, const Figures& f, const char* kind, double reference,
                      const char* referenceName) {
    std::printf("BENCH|%s|%.4f|%.4f|%.4f|%s|%.4f|%s\n", measure, f.median, f.low, f.high, kind, reference,
                referenceName);
}

inline void AgainstBudget(const char* measure, const Figures& f, double budget, const char* budgetName) {
    ReportRow(measure, f, "budget", budget, budgetName);
}

}  // namespace vantrell::bench
