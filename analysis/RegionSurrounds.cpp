#include "analysis/RegionSurrounds.h"

#include "analysis/BoundaryWalker.h"
#include "analysis/Conversions.h"
#include "analysis/CellBlocks.h"
#include "analysis/VectorClones.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace darkfill {

namespace {

// What the scan of the plane finds: the highest label (every cell above the value
// so far replaces it, truncated, which leaves the largest cell truncated) and, for
// every whole label from 1 up, the east end of the topmost interior row that
// carries it; a label that no interior pixel carries keeps row -1.
struct LabelScan {
    int highest;
    RegionStarts starts;
};

// The largest cell of a row; NaN is never larger. Eight lanes are compared side by
// side in a vector register.
VECTOR_FORMS(float, LargestOfRow, (const float* row, int columns), (row, columns))
{
    using Lanes = float __attribute__((vector_size(32)));
    constexpr int Width = sizeof(Lanes) / sizeof(float);
    constexpr float Lowest = -std::numeric_limits<float>::infinity();
    Lanes largest = {Lowest, Lowest, Lowest, Lowest, Lowest, Lowest, Lowest, Lowest};
    int x = 0;
    for (; x + Width <= columns; x += Width) {
        Lanes cells;
        std::memcpy(&cells, row + x, sizeof cells);
        largest = cells > largest ? cells : largest;
    }
    float result = Lowest;
    for (int k = 0; k < Width; ++k)
        result = largest[k] > result ? largest[k] : result;
    for (; x < columns; ++x)
        result = row[x] > result ? row[x] : result;
    return result;
}

// Notes the start pixels that an interior row gives, from its east end westward so
// that the first cell of a label seen in its topmost row is the one to keep. A cell
// like the one before it was already seen; blocks without a label are passed over.
void NoteStarts(RegionStarts& starts, const float* region, int y, int columns, int highest)
{
    float before = 0.0f;
    for (int end = columns - 2; end >= 1; end -= CellBlockWidth) {
        const int begin = std::max(end - CellBlockWidth + 1, 1);
        // Inside a region a block holds the label just seen, or none.
        if (end - begin + 1 == CellBlockWidth && BlockHoldsOnly(region + begin, before))
            continue;
        // The labelled cells of the block, east to west.
        for (std::uint64_t labelled = LabelBits(region + begin, end - begin + 1); labelled != 0;) {
            const int k = 63 - std::countl_zero(labelled);
            labelled &= ~(std::uint64_t{1} << k);
            const int x = begin + k;
            const float value = region[x];
            if (value == before || !(value <= static_cast<float>(highest) && value < 2147483648.0f))
                continue;
            before = value;
            const int label = static_cast<int>(value);
            if (static_cast<float>(label) == value && starts[label].row == -1)
                starts[label] = {y, x};
        }
    }
}

// One pass down the plane: each row's largest cell, then, while the row is still
// in the caches, its start pixels, with room for labels up to the largest so far.
LabelScan ScanLabels(const Plane& regionPlane, int rows, int columns, int startValue)
{
    LabelScan scan{startValue, {}};
    float planeLargest = -std::numeric_limits<float>::infinity();
    for (int y = 0; y < rows; ++y) {
        const float largest = LargestOfRow(regionPlane[y], columns);
        planeLargest = largest > planeLargest ? largest : planeLargest;
        if (y < 1 || y > rows - 2 || !(largest >= 1.0f))
            continue;
        const std::size_t room = static_cast<std::size_t>(TruncateToInt(largest)) + 1;
        if (scan.starts.size() < room)
            scan.starts.resize(room);
        NoteStarts(scan.starts, regionPlane[y], y, columns, static_cast<int>(room - 1));
    }
    if (planeLargest > static_cast<float>(startValue))
        scan.highest = TruncateToInt(planeLargest);
    if (scan.highest >= 1)
        scan.starts.resize(static_cast<std::size_t>(scan.highest) + 1);
    return scan;
}

bool BorderIsClear(const Plane& plane, int rows, int columns)
{
    const auto clear = [](float value) { return value == 0.0f; };
    if (!std::all_of(plane[0], plane[0] + columns, clear) ||
        !std::all_of(plane[rows - 1], plane[rows - 1] + columns, clear))
        return false;
    for (int y = 0; y < rows; ++y)
        if (!clear(plane[y][0]) || !clear(plane[y][columns - 1]))
            return false;
    return true;
}

// What decides a region's grey: the first value above 0 that its walk
// tallied, and whether it tallied another one too. Grey 0 never counts.
class SurroundGreys
{
public:
    void Tally(float grey)
    {
        if (grey == 0.0f || grey == first_)
            return;
        if (first_ == 0.0f)
            first_ = grey;
        else
            several_ = true;
    }
    float Decision() const { return several_ ? 0.0f : first_; }
    // Once two values were seen, no later step can change the decision.
    bool Settled() const { return several_; }

private:
    float first_ = 0.0f;
    bool several_ = false;
};

// Walks round regions 1 to regionCount from their start pixels and writes their
// greys into the table.
void WalkRoundRegions(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                      std::vector<float>& regionGreyTable, const RegionStarts& starts, int regionCount)
{
    if (regionGreyTable.size() <= static_cast<std::size_t>(regionCount))
        regionGreyTable.resize(static_cast<std::size_t>(regionCount) + 1);

    // A walk may stop once its decision is settled where the plane's border is clear:
    // the grey it then leaves behind for the next walk is never tallied, since every
    // walk records one of its own before its first tally. (With labels on the border,
    // a walk's first step can move onto one without recording a grey.)
    const bool stopWhenSettled = BorderIsClear(regionPlane, rows, columns);
    float surroundGrey = 0.0f;
    for (int label = 1; label <= regionCount; ++label) {
        SurroundGreys greys;
        if (starts[label].row != -1) {
            BoundaryWalker walker(regionPlane, imagePlane, rows, columns, static_cast<float>(label), starts[label].row,
                                  starts[label].column);
            for (int steps = 0; steps < TraceStepLimit && !(stopWhenSettled && greys.Settled()) &&
                                walker.Step(surroundGrey);
                 ++steps)
                greys.Tally(surroundGrey);
        }
        regionGreyTable[label] = greys.Decision();
    }
}

}  // namespace

int MeasureRegionSurrounds(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                           std::vector<float>& regionGreyTable, int startValue)
{
    const LabelScan scan = ScanLabels(regionPlane, rows, columns, startValue);
    if (scan.highest >= 1)
        WalkRoundRegions(regionPlane, imagePlane, rows, columns, regionGreyTable, scan.starts, scan.highest);
    return scan.highest;
}

int MeasureRegionSurrounds(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                           std::vector<float>& regionGreyTable, const RegionStarts& starts)
{
    const int regionCount = static_cast<int>(starts.size()) - 1;
    if (regionCount >= 1)
        WalkRoundRegions(regionPlane, imagePlane, rows, columns, regionGreyTable, starts, regionCount);
    return std::max(regionCount, 0);
}

}  // namespace darkfill
