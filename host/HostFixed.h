// 16.16 fixed point as the host keeps slider, angle and point values.
#pragma once

#include <cmath>
#include <cstdint>

constexpr double kFixedOne = 65536.0;
constexpr double kFixedToFloat = 1.52587890625e-5; // exactly 1 / 65536

// value × 65536 to the nearest integer, halves away from zero, saturated to 32 bits.
inline std::int32_t HostToFixed(double value)
{
    const double scaled = value * kFixedOne;
    if (!(scaled == scaled))
        return 0; // NaN has no fixed-point value
    const double r = std::round(scaled); // std::round sends halves away from zero
    if (r >= 2147483647.0)
        return INT32_MAX;
    if (r <= -2147483648.0)
        return INT32_MIN;
    return static_cast<std::int32_t>(r);
}

inline double HostFromFixed(std::int32_t fixed) { return double(fixed) * kFixedToFloat; }
