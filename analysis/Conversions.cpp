#include "analysis/Conversions.h"

#include "analysis/VectorClones.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace darkfill {

namespace {

template <class Value>
[[gnu::always_inline]] inline float PlaneValue(Value value)
{
    // An integer hole, 0, is +0 as it stands: only floats need the select.
    if constexpr (std::is_floating_point_v<Value>)
        return IsHole(value) ? 0.0f : static_cast<float>(value);
    else
        return static_cast<float>(value);
}

template <class Value>
[[gnu::always_inline]] inline Value ValueOf(float cell)
{
    if constexpr (std::is_same_v<Value, float>)
        return cell;
    else if constexpr (std::is_same_v<Value, std::int32_t>)
        return TruncateToInt(cell);
    else
        return static_cast<Value>(cell);
}

// A value through a float and back, as the analysis would leave it: for an
// int32, no NaN and nothing below -2^31 can come, and the one check left is the
// form of it that vectorises here.
template <class Value>
[[gnu::always_inline]] inline Value ThroughFloat(Value value)
{
    const float cell = static_cast<float>(value);
    if constexpr (std::is_same_v<Value, std::int32_t>) {
        if (cell >= 2147483648.0f)
            return std::numeric_limits<std::int32_t>::max();
        return static_cast<std::int32_t>(cell);
    } else {
        return ValueOf<Value>(cell);
    }
}

template <class Value>
[[gnu::always_inline]] inline bool AnyHole(const Value* values, std::size_t cells)
{
    constexpr std::size_t Block = 256;
    for (std::size_t from = 0; from < cells; from += Block) {
        const std::size_t to = std::min(from + Block, cells);
        int holes = 0;
        for (std::size_t i = from; i < to; ++i)
            holes += IsHole(values[i]);
        if (holes != 0)
            return true;
    }
    return false;
}

}  // namespace

// Each type's passes, compiled for each vector unit.
#define DARKFILL_CONVERSIONS(Value)                                                     \
    VECTOR_FORMS(void, ToPlane, (const Value* values, float* plane, std::size_t cells), (values, plane, cells)) \
    {                                                                                   \
        for (std::size_t i = 0; i < cells; ++i)                                         \
            plane[i] = PlaneValue(values[i]);                                           \
    }                                                                                   \
    VECTOR_FORMS(void, FromPlane, (const float* plane, Value* values, std::size_t cells), (plane, values, cells)) \
    {                                                                                   \
        for (std::size_t i = 0; i < cells; ++i)                                         \
            values[i] = ValueOf<Value>(plane[i]);                                       \
    }                                                                                   \
    VECTOR_FORMS(bool, HoldsHole, (const Value* values, std::size_t cells), (values, cells))        \
    {                                                                                   \
        return AnyHole(values, cells);                                                  \
    }                                                                                   \
    VECTOR_FORMS(void, WithoutHoles, (const Value* values, Value* result, std::size_t cells), (values, result, cells)) \
    {                                                                                   \
        for (std::size_t i = 0; i < cells; ++i)                                         \
            result[i] = ThroughFloat(values[i]);                                        \
    }
DARKFILL_CONVERSIONS(std::uint8_t)
DARKFILL_CONVERSIONS(std::uint16_t)
DARKFILL_CONVERSIONS(std::int32_t)
DARKFILL_CONVERSIONS(float)
#undef DARKFILL_CONVERSIONS

}  // namespace darkfill
