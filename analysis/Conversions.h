#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

namespace darkfill {

// Whether a value is a hole: 0, and for floats also NaN (and -0, which equals 0).
template <class Value>
bool IsHole(Value value)
{
    if constexpr (std::numeric_limits<Value>::has_quiet_NaN)
        return value == Value{} || value != value;
    else
        return value == Value{};
}

// Cells after cells, each a loop that vectorises; no memory of their own.

// Whether any cell is a hole, counted block by block, which vectorises where a
// search for the first would go cell by cell.
template <class Value>
bool HoldsHole(const Value* values, std::size_t cells)
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

// The values as the stages hold them: every hole as +0, so that a hole is a cell
// equal to 0; every other value exactly as it is.
template <class Value>
void ToWorkingValues(const Value* values, Value* cells, std::size_t count)
{
    if constexpr (std::is_floating_point_v<Value>) {
        for (std::size_t i = 0; i < count; ++i)
            cells[i] = IsHole(values[i]) ? Value{} : values[i];
    } else if (values != cells) {
        std::memmove(cells, values, count * sizeof(Value));
    }
}

}  // namespace darkfill
