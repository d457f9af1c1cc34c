#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace darkfill {

// Grey levels, labels and fill values are held in floats. Turning one back into
// an integer truncates toward zero; values beyond the integer's range (which only
// an int32 raster can produce) saturate instead of being undefined, and NaN gives
// 0. Written as selects, not branches, so that a pass of them vectorises.
inline std::int32_t TruncateToInt(float value)
{
    constexpr float Beyond = 2147483648.0f, LargestBelow = 2147483520.0f;
    float inRange = value < LargestBelow ? value : LargestBelow;
    inRange = inRange > -Beyond ? inRange : -Beyond;
    const std::int32_t truncated = static_cast<std::int32_t>(inRange);
    const std::int32_t saturated = value >= Beyond ? std::numeric_limits<std::int32_t>::max() : truncated;
    return value == value ? saturated : 0;
}

// Whether a value is a hole: 0, and for floats also NaN.
template <class Value>
inline bool IsHole(Value value)
{
    if constexpr (std::numeric_limits<Value>::has_quiet_NaN)
        return value == Value{} || value != value;
    else
        return value == Value{};
}

// Cells after cells, each a pass vectorised for the widest vector unit the
// processor has; no memory of their own.
// - ToPlane: the values as the cells of a float plane, every hole as +0.
// - FromPlane: a plane's cells back into values, truncated for integers (the
//   plane holds only values that came from the same type, so nothing else
//   changes).
// - HoldsHole: whether any cell is a hole, counted block by block, which
//   vectorises where a search for the first would go cell by cell.
// - WithoutHoles: a raster that holds no hole, as the analysis would leave it:
//   through a float and back.
#define DARKFILL_CONVERSIONS(Value)                                           \
    void ToPlane(const Value* values, float* plane, std::size_t cells);       \
    void FromPlane(const float* plane, Value* values, std::size_t cells);     \
    bool HoldsHole(const Value* values, std::size_t cells);                   \
    void WithoutHoles(const Value* values, Value* result, std::size_t cells);
DARKFILL_CONVERSIONS(std::uint8_t)
DARKFILL_CONVERSIONS(std::uint16_t)
DARKFILL_CONVERSIONS(std::int32_t)
DARKFILL_CONVERSIONS(float)
#undef DARKFILL_CONVERSIONS

// A pixel's value as the walk round a region notes it: the value itself where it
// is above 0, exactly (a depth in metres is no whole number), else 0, which never
// decides a region's value.
inline float SurroundValue(float value)
{
    return value > 0.0f ? value : 0.0f;
}

}  // namespace darkfill
