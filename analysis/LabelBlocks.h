#pragma once

#include <cstring>

// Planes of region labels are mostly 0 where holes are few. Looking at them in
// blocks of cells, compared four at a time in vector registers, skips the empty
// stretches.

constexpr int LabelBlockWidth = 16;

// Whether any of the LabelBlockWidth cells from cells on holds 1 or more.
inline bool BlockHoldsLabel(const float* cells)
{
    using Lanes = float __attribute__((vector_size(16)));
    using Mask = int __attribute__((vector_size(16)));
    Mask labelled = {};
    for (int k = 0; k < LabelBlockWidth; k += 4) {
        Lanes lanes;
        std::memcpy(&lanes, cells + k, sizeof lanes);
        labelled |= lanes >= 1.0f;
    }
    return (labelled[0] | labelled[1] | labelled[2] | labelled[3]) != 0;
}
