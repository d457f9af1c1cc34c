#pragma once

#include <cstddef>
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

// A raster's values as the cells of a float plane, and a plane's cells truncated
// back into a raster, cells after cells. Time: one pass each, vectorised for the
// widest vector unit the processor has. Memory: none.
void RasterToPlane(const std::int32_t* raster, float* plane, std::size_t cells);
void PlaneToRaster(const float* plane, std::int32_t* raster, std::size_t cells);

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
