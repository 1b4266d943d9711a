// The script's number rules: every script value is a double, stored through
// the store rule and compared within a band of 0.00001.
#pragma once

#include <cstdint>
#include <limits>

namespace quill {

inline constexpr double kBand = 0.00001;
inline constexpr int kLoopLimit = 1000000;

// NaN and infinities are stored as 0. v - v is 0 exactly for finite v, so
// this stays a branch-free select the compiler can vectorise.
inline double Store(double v) { return (v - v == 0.0) ? v : 0.0; }

inline bool IsTrue(double v) { return v <= -kBand || v >= kBand; }

inline bool Equal(double a, double b) {
    const double d = a - b;
    return d > -kBand && d < kBand;
}

// Rounds toward the nearer integer within 0.0001, then truncates. Values with
// no 32-bit counterpart saturate (NaN becomes 0) instead of being undefined.
inline std::int32_t ToIndex(double v) {
    const double nudged = v >= 0.0 ? v + 0.0001 : v - 0.0001;
    if (!(nudged == nudged)) return 0;
    if (nudged >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (nudged <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(nudged);
}

// A script loop: the body runs first and returns its condition; the loop ends
// when that is false or after kLoopLimit runs. Returns the number of runs.
template <class Body>
int RunLoop(Body&& body) {
    int runs = 0;
    while (runs < kLoopLimit) {
        const double condition = body();
        ++runs;
        if (!IsTrue(condition)) break;
    }
    return runs;
}

} // namespace quill
