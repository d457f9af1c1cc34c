#pragma once

#include <algorithm>
#include <limits>

namespace darkfill {

// What the label sweeps share: how the working labels hold cells that are not
// dark, ranges of changed cells, and the lowering of a row in which no two dark
// cells lie side by side, the one the sweeps of winding regions visit most.
//
// Limitations: a row is lowered between columns 1 and columns - 2; the rows
// above and below it hold columns cells each.

namespace sweeps {

// In the working copy a cell that is not dark holds +infinity instead of 0, so the
// smallest label of a block is a plain minimum that the compiler can vectorise.
constexpr float NotDark = std::numeric_limits<float>::infinity();

// The smaller of two labels, written as a plain selection, which the compiler
// turns into vector code.
inline float SmallerOf(float a, float b)
{
    return b < a ? b : a;
}

// The smallest of a cell's label and those of its left and right neighbours.
inline float ThreeCellMinimum(const float* row, int x)
{
    return SmallerOf(SmallerOf(row[x - 1], row[x]), row[x + 1]);
}

// The smallest label of the 3 x 3 block of the cell in column x of row; a cell
// that is not dark stays so.
inline float BlockMinimum(const float* row, const float* above, const float* below, int x)
{
    const float lowest =
        SmallerOf(SmallerOf(ThreeCellMinimum(above, x), ThreeCellMinimum(below, x)), ThreeCellMinimum(row, x));
    return row[x] == NotDark ? NotDark : lowest;
}

// The cells of a row from first to last; empty when first is past last.
struct Range {
    int first;
    int last;
};

constexpr Range NoCells{std::numeric_limits<int>::max(), -1};

// Changes are looked for in chunks of this many cells: a count per chunk keeps
// the loops vectorised, and the range of chunks with changes bounds the cells
// that changed.
constexpr int ChangeChunk = 64;

// Calls lower(x), which stores cell x's new label and returns whether it is
// lower, for the cells from first to last; returns a range that holds every cell
// whose label is lower.
template <class Lower>
inline Range LowerInChunks(int first, int last, const Lower& lower)
{
    Range changed = NoCells;
    for (int from = first; from <= last; from += ChangeChunk) {
        const int to = std::min(from + ChangeChunk - 1, last);
        int changes = 0;
        for (int x = from; x <= to; ++x)
            changes += lower(x);
        if (changes != 0)
            changed = {std::min(changed.first, from), to};
    }
    return changed;
}

// Eight cells side by side in a vector register. No vector crosses a call by
// value, as its passing differs between the vector units a function is compiled
// for: helpers take them by reference.
using Lanes = float __attribute__((vector_size(32)));
constexpr int LaneCount = sizeof(Lanes) / sizeof(float);

// Lowers each dark cell of a row, from first to last, to the smallest label of its
// 3 x 3 block in place, for a row without two interior dark cells side by side: a
// dark cell's neighbours in the row are not dark, except border cells, so its
// block minimum comes from the rows above and below and, in column 1, the cell in
// column 0. (The cell in the last column comes after its neighbour in raster
// order, so its label is never the smaller.) Returns a range that holds every
// cell that changed.
//
// This form is plain vector code: eight cells at a time where the eight after them
// lie in the row, the rest cell by cell.
Range LowerRowToBlockMinima(float* row, const float* above, const float* below, int first, int last, int columns);

using RowLowering = Range (*)(float* row, const float* above, const float* below, int first, int last, int columns);

// The form of LowerRowToBlockMinima for this processor: where it has 256-bit lane
// masks (AVX-512VL), one that takes the row eight cells at a time from its first
// cell to its last, the lanes past either end masked; otherwise the plain one.
RowLowering RowLoweringForThisProcessor();

}  // namespace sweeps

}  // namespace darkfill
