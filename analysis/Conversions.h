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

// The grey level of a pixel as an index into tables of 256 grey levels; a value
// outside 0 to 255 is held at the nearer end.
inline int GreyIndex(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 255.0f)
        return 255;
    return static_cast<int>(value);
}
