#include "analysis/LabelSweeps.h"

#include "analysis/VectorClones.h"

#include <cstdint>
#include <cstring>

namespace darkfill {

namespace sweeps {

namespace {

// A mask of eight lanes, as vector compares give it.
using LaneMask = int __attribute__((vector_size(32)));

inline void LoadLanes(Lanes& lanes, const float* cells)
{
    std::memcpy(&lanes, cells, sizeof lanes);
}

inline void KeepSmaller(Lanes& lanes, const Lanes& other)
{
    lanes = other < lanes ? other : lanes;
}

inline bool AnyLane(const LaneMask& mask)
{
    std::uint64_t words[sizeof mask / sizeof(std::uint64_t)];
    std::memcpy(words, &mask, sizeof mask);
    return (words[0] | words[1] | words[2] | words[3]) != 0;
}

// The smaller label of the cells above and below, column by column, for the eight
// columns from x on.
inline void ColumnMinimaOfEight(Lanes& lowest, const float* above, const float* below, int x)
{
    Lanes other;
    LoadLanes(lowest, above + x);
    LoadLanes(other, below + x);
    KeepSmaller(lowest, other);
}

// Lowers each dark cell of the eight from x on to its lane of lowest where that is
// lower; adds the lanes that are to lower.
inline void LowerEight(float* row, int x, const Lanes& lowest, LaneMask& lower)
{
    Lanes cells;
    LoadLanes(cells, row + x);
    const LaneMask lowers = lowest < cells && cells != NotDark;
    cells = lowers ? lowest : cells;
    std::memcpy(row + x, &cells, sizeof cells);
    lower |= lowers;
}

// Lowers the cells of a row from first on as LowerRowToBlockMinima does, eight at a
// time, for as long as eight cells are left and the eight after them lie in the row:
// the column minima are taken once, and shifted by a lane for the columns on either
// side; it starts only where the eight cells before first lie in the row. Widens
// changed to hold every cell that is lower; returns the first cell it left.
inline int LowerLanesToBlockMinima(float* row, const float* above, const float* below, int first, int last,
                                   int columns, Range& changed)
{
    const int count = std::min((last + 1 - first) / LaneCount, (columns - first - LaneCount) / LaneCount);
    if (first < LaneCount || count <= 0)
        return first;
    constexpr int LanesPerChunk = ChangeChunk / LaneCount;
    Lanes before, here;
    ColumnMinimaOfEight(before, above, below, first - LaneCount);
    ColumnMinimaOfEight(here, above, below, first);
    int x = first;
    for (int done = 0; done < count; done += LanesPerChunk) {
        const int from = x;
        LaneMask lower = {};
        for (int k = std::min(LanesPerChunk, count - done); k > 0; --k, x += LaneCount) {
            Lanes after;
            ColumnMinimaOfEight(after, above, below, x + LaneCount);
            Lanes lowest = __builtin_shufflevector(before, here, 7, 8, 9, 10, 11, 12, 13, 14);
            KeepSmaller(lowest, __builtin_shufflevector(here, after, 1, 2, 3, 4, 5, 6, 7, 8));
            KeepSmaller(lowest, here);
            LowerEight(row, x, lowest, lower);
            before = here;
            here = after;
        }
        if (AnyLane(lower))
            changed = {std::min(changed.first, from), x - 1};
    }
    return x;
}

// In column 1 the cell in column 0, a border cell, is a neighbour in the row that
// may be dark and come first.
inline void LowerFromColumnZero(float* row, int first, Range& changed)
{
    if (first == 1 && row[1] != NotDark && row[0] < row[1]) {
        row[1] = row[0];
        changed = {1, std::max(changed.last, 1)};
    }
}

#if defined(LANE_MASKS)

// The lanes of the eight cells from x on that lie from x to last.
inline __mmask8 LanesUpTo(int x, int last)
{
    return last - x >= LaneCount - 1 ? 0xFF : static_cast<__mmask8>((1u << (last - x + 1)) - 1);
}

// The smaller label of the cells above and below, column by column, for the eight
// columns from x on; NotDark in the lanes past last.
LANE_MASKS inline void ColumnMinimaUpTo(__m256& lowest, const float* above, const float* below, int x, int last)
{
    const __m256 none = _mm256_set1_ps(NotDark);
    const __mmask8 lanes = LanesUpTo(x, last);
    lowest = _mm256_min_ps(_mm256_mask_loadu_ps(none, lanes, above + x), _mm256_mask_loadu_ps(none, lanes, below + x));
}

// Lowers the dark cells among the given lanes of the eight from x on to the
// smallest of the column minima beside and in their own column, the columns before
// in before's last lane and the column after in after's first; then moves here to
// before and after to here. Stores only the cells that are lower; returns their lanes.
LANE_MASKS inline __mmask8 LowerEightMasked(float* row, int x, __m256& before, __m256& here, const __m256& after,
                                            __mmask8 lanes)
{
    const __m256 none = _mm256_set1_ps(NotDark);
    const __m256i left = _mm256_alignr_epi32(_mm256_castps_si256(here), _mm256_castps_si256(before), LaneCount - 1);
    const __m256i right = _mm256_alignr_epi32(_mm256_castps_si256(after), _mm256_castps_si256(here), 1);
    const __m256 lowest =
        _mm256_min_ps(_mm256_min_ps(_mm256_castsi256_ps(left), _mm256_castsi256_ps(right)), here);
    const __m256 cells = _mm256_mask_loadu_ps(none, lanes, row + x);
    const __mmask8 dark = _mm256_cmp_ps_mask(cells, none, _CMP_NEQ_OQ);
    const __mmask8 lower = _mm256_mask_cmp_ps_mask(dark, lowest, cells, _CMP_LT_OQ);
    _mm256_mask_storeu_ps(row + x, lower, lowest);
    before = here;
    here = after;
    return lower;
}

// LowerRowToBlockMinima with lane masks: no cell is left to a loop of its own (in
// the rows of winding regions, that loop took about a fifth of the sweeps' time).
// Of the column minima before first only the last lane is read, and of those after
// the last eight cells only the first, so each is taken from one column.
LANE_MASKS Range LowerRowToBlockMinimaMasked(float* row, const float* above, const float* below, int first, int last,
                                             int columns)
{
    Range changed = NoCells;
    __m256 before = _mm256_set1_ps(SmallerOf(above[first - 1], below[first - 1]));
    __m256 here, after;
    ColumnMinimaUpTo(here, above, below, first, columns - 1);
    int x = first;
    // Whole vectors while the eight cells after them lie in the row, the lanes that
    // changed gathered over a chunk.
    const int lastWhole = std::min(last - (LaneCount - 1), columns - 2 * LaneCount);
    while (x <= lastWhole) {
        const int from = x;
        __mmask8 lower = 0;
        for (int k = 0; k < ChangeChunk / LaneCount && x <= lastWhole; ++k, x += LaneCount) {
            after = _mm256_min_ps(_mm256_loadu_ps(above + x + LaneCount), _mm256_loadu_ps(below + x + LaneCount));
            lower |= LowerEightMasked(row, x, before, here, after, 0xFF);
        }
        if (lower != 0)
            changed = {std::min(changed.first, from), x - 1};
    }
    for (; x <= last; x += LaneCount) {
        if (x + LaneCount <= columns - 1)
            ColumnMinimaUpTo(after, above, below, x + LaneCount, columns - 1);
        else
            after = _mm256_set1_ps(NotDark);
        if (LowerEightMasked(row, x, before, here, after, LanesUpTo(x, last)) != 0)
            changed = {std::min(changed.first, x), std::min(x + LaneCount - 1, last)};
    }
    LowerFromColumnZero(row, first, changed);
    return changed;
}

#endif

}  // namespace

VECTOR_CLONES Range LowerRowToBlockMinima(float* row, const float* above, const float* below, int first, int last,
                                          int columns)
{
    Range changed = NoCells;
    const int rest = LowerLanesToBlockMinima(row, above, below, first, last, columns, changed);
    const Range restChanged = LowerInChunks(rest, last, [&](int x) {
        const float lowest = SmallerOf(ThreeCellMinimum(above, x), ThreeCellMinimum(below, x));
        const float lowered = lowest < row[x] && row[x] != NotDark ? lowest : row[x];
        const bool lower = lowered < row[x];
        row[x] = lowered;
        return lower;
    });
    if (restChanged.first <= restChanged.last)
        changed = {std::min(changed.first, restChanged.first), restChanged.last};
    LowerFromColumnZero(row, first, changed);
    return changed;
}

RowLowering RowLoweringForThisProcessor()
{
#if defined(LANE_MASKS)
    if (ProcessorHasLaneMasks())
        return LowerRowToBlockMinimaMasked;
#endif
    return LowerRowToBlockMinima;
}

}  // namespace sweeps

}  // namespace darkfill
