#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
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

// The cells from cells on, at most 32 of them, as bits (bit k for cell k): those
// that are exactly 0, and those that hold 1 or more.
inline std::uint32_t ZeroBits(const float* cells, int count)
{
    std::uint32_t bits = 0;
    for (int k = 0; k < count; ++k)
        bits |= static_cast<std::uint32_t>(cells[k] == 0.0f) << k;
    return bits;
}

inline std::uint32_t LabelBits(const float* cells, int count)
{
    std::uint32_t bits = 0;
    for (int k = 0; k < count; ++k)
        bits |= static_cast<std::uint32_t>(cells[k] >= 1.0f) << k;
    return bits;
}

// Calls visit(first, last) for every run of cells that are exactly 0 between
// cells[from] and cells[to], in order. Blocks that cannot start or end a run are
// passed over; in the others the ends of runs come from a bit mask, without a
// branch per cell.
template <class Visit>
void ForEachZeroRun(const float* cells, int from, int to, const Visit& visit)
{
    int runFirst = -1;
    for (int block = from; block <= to; block += CellBlockWidth) {
        const int width = std::min(CellBlockWidth, to - block + 1);
        if (width == CellBlockWidth &&
            (runFirst < 0 ? !BlockHoldsZero(cells + block) : BlockHoldsOnlyValue(cells + block, 0.0f)))
            continue;
        const std::uint32_t zero = ZeroBits(cells + block, width);
        const std::uint32_t other = ~zero & ((std::uint32_t{1} << width) - 1);
        for (int k = 0; k < width;) {
            const std::uint32_t ahead = (runFirst < 0 ? zero : other) >> k;
            if (ahead == 0)
                break;
            k += std::countr_zero(ahead);
            if (runFirst < 0) {
                runFirst = block + k;
            } else {
                visit(runFirst, block + k - 1);
                runFirst = -1;
            }
        }
    }
    if (runFirst >= 0)
        visit(runFirst, to);
}
