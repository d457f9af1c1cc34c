#pragma once

#include <cstdint>
#include <limits>

// Grey levels, labels and fill values are whole numbers held in floats. Turning
// one back into an integer truncates toward zero; values beyond the integer's
// range (which only a hand-filled input raster can produce) saturate instead of
// being undefined.
inline std::int32_t TruncateToInt(float value)
{
    if (!(value == value))
        return 0;
    if (value >= 2147483648.0f)
        return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0f)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// The highest value that the walk round a region notes: 16-bit grey.
constexpr int HighestSurroundValue = 65535;

// A pixel's value as the walk round a region notes it: truncated, and held at
// the nearer end where it lies outside 0 to HighestSurroundValue.
inline int SurroundValue(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= static_cast<float>(HighestSurroundValue))
        return HighestSurroundValue;
    return static_cast<int>(value);
}
