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

// Whether every one of the CellBlockWidth cells from cells on holds value.
inline bool BlockHoldsOnlyValue(const float* cells, float value)
{
    using namespace cellblocks;
    Mask other = {};
    for (int k = 0; k < CellBlockWidth; k += 4)
        other |= LoadLanes(cells + k) != value;
    return !AnyLane(other);
}

// Whether every one of the CellBlockWidth cells from cells on holds either the
// given label or a value below 1, which is no label.
inline bool BlockHoldsOnly(const float* cells, float label)
{
    using namespace cellblocks;
    Mask other = {};
    for (int k = 0; k < CellBlockWidth; k += 4) {
        const Lanes lanes = LoadLanes(cells + k);
        other |= (lanes != label) & (lanes >= 1.0f);
    }
    return !AnyLane(other);
}

// Writes value into each of the CellBlockWidth cells from to on whose cell in from
// holds label, and 0 into the others.
inline void PaintBlock(float* to, const float* from, float label, float value)
{
    using namespace cellblocks;
    for (int k = 0; k < CellBlockWidth; k += 4) {
        const Lanes lanes = LoadLanes(from + k);
        const Lanes painted = lanes == label ? Lanes{} + value : Lanes{};
        std::memcpy(to + k, &painted, sizeof painted);
    }
}
