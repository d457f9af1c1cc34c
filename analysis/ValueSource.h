#pragma once

#include <cstdint>

// Where a cell's value in the result came from.
enum class ValueSource : std::uint8_t {
    Kept,        // the picture's own value (not 0)
    Painted,     // a hole painted with the one value that surrounds its region
    FromLeft,    // filled from the nearest value above 0 on its row or column
    FromRight,
    FromBelow,
    FromAbove,
    LeftAtZero,  // a hole with no value above 0 in reach
};
