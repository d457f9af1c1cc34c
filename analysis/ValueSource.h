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

// The colours of a fill map, the picture of where every value came from, as
// 0xRRGGBB by ValueSource, chosen to stay apart for colour-blind eyes too.
inline constexpr std::uint32_t FillMapColours[] = {
    0x404040,  // Kept: dark grey
    0x009E73,  // Painted: bluish green
    0xE69F00,  // FromLeft: orange
    0x56B4E9,  // FromRight: sky blue
    0xF0E442,  // FromBelow: yellow
    0x0072B2,  // FromAbove: blue
    0xD55E00,  // LeftAtZero: vermilion
};
