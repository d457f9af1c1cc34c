#pragma once

#include <cstring>

// Planes are mostly without dark pixels or labels where holes are few. Looking at
// them in blocks of cells, compared four at a time in vector registers, skips the
// empty stretches.

constexpr int CellBlockWidth = 16;

namespace cellblocks {

using Lanes = float __attribute__((vector_size(16)));
using Mask = int __attribute__((vector_size(16)));

inline Lanes LoadLanes(const float* cells)
{
    Lanes lanes;
    std::memcpy(&lanes, cells, sizeof lanes);
    return lanes;
}

inline bool AnyLane(Mask mask)
{
    return (mask[0] | mask[1] | mask[2] | mask[3]) != 0;
}

}  // namespace cellblocks

// Whether any of the CellBlockWidth cells from cells on holds 1 or more.
inline bool BlockHoldsLabel(const float* cells)
{
    using namespace cellblocks;
    Mask labelled = {};
    for (int k = 0; k < CellBlockWidth; k += 4)
        labelled |= LoadLanes(cells + k) >= 1.0f;
    return AnyLane(labelled);
}

// Whether any of the CellBlockWidth cells from cells on is exactly 0.
inline bool BlockHoldsZero(const float* cells)
{
    using namespace cellblocks;
    Mask zero = {};
    for (int k = 0; k < CellBlockWidth; k += 4)
        zero |= LoadLanes(cells + k) == 0.0f;
    return AnyLane(zero);
}

// Whether all of the CellBlockWidth cells from cells on hold the first one's value.
inline bool BlockIsUniform(const float* cells)
{
    using namespace cellblocks;
    const Lanes first = Lanes{} + cells[0];
    Mask differs = {};
    for (int k = 0; k < CellBlockWidth; k += 4)
        differs |= LoadLanes(cells + k) != first;
    return !AnyLane(differs);
}
