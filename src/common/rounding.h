// The program's one rule for turning reals into whole numbers (bar lengths,
// PWM values, track bar positions, test points): nearest integer, a half going
// to the even neighbour, independent of the floating-point rounding mode.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Returns the nearest integer, halves to even: 49.5 -> 50, 50.5 -> 50,
// -127.5 -> -128. Never undefined: NaN gives 0, and values beyond the range
// of int64_t (infinities included) saturate to its minimum or maximum.
inline std::int64_t roundHalfEven(double x) noexcept
{
    if (std::isnan(x)) return 0;
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (x >= limit) return std::numeric_limits<std::int64_t>::max();
    if (x < -limit) return std::numeric_limits<std::int64_t>::min();
    const double below = std::floor(x);
    // Exact: x and floor(x) share their exponent range, so the difference
    // is representable without error.
    const double fraction = x - below;
    double result = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) result = below + 1.0;
    if (result >= limit) // only reachable for x just below 2^63
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(result);
}

// The same rule for pixel and position arithmetic, saturating to int.
inline int roundHalfEvenInt(double x) noexcept
{
    const std::int64_t r = roundHalfEven(x);
    if (r > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (r < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}
