#include "analysis/DarkRegionLabelling.h"

#include "analysis/CellBlocks.h"
#include "analysis/LabelSweeps.h"
#include "analysis/LaneScans.h"
#include "analysis/VectorClones.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <vector>

namespace darkfill {

namespace {

using namespace sweeps;

// Writes each cell's block minimum into lowest, leaving the row as it is: the
// smallest of each column's three cells first, into columnMinima, then of three
// columns side by side.
inline void BlockMinimaOfRow(float* lowest, float* columnMinima, const float* row, const float* above,
                             const float* below, int first, int last)
{
    for (int x = first - 1; x <= last + 1; ++x)
        columnMinima[x] = SmallerOf(SmallerOf(above[x], below[x]), row[x]);
    for (int x = first; x <= last; ++x)
        lowest[x] = row[x] == NotDark ? NotDark : ThreeCellMinimum(columnMinima, x);
}

// Copies the lowered labels into the row; returns a range that holds every one of
// them that is lower.
inline Range StoreLowerLabels(float* row, const float* lowest, int first, int last)
{
    return LowerInChunks(first, last, [&](int x) {
        const bool lower = lowest[x] < row[x];
        row[x] = lowest[x];
        return lower;
    });
}

// Carries the smallest label so far along a run of dark cells, from first to last
// (forward) or from last to first, as a sweep carries a new label along a row,
// eight cells at a time.
inline void CarryAlongLongRun(float* lowest, int first, int last, bool forward)
{
    const Lanes none = {NotDark, NotDark, NotDark, NotDark, NotDark, NotDark, NotDark, NotDark};
    if (forward) {
        float carried = lowest[first];
        int x = first + 1;
        for (; x + LaneCount <= last + 1; x += LaneCount) {
            Lanes cells;
            std::memcpy(&cells, lowest + x, sizeof cells);
            carried = RunUpTheLanes<Keep::Smallest>(cells, none, carried);
            std::memcpy(lowest + x, &cells, sizeof cells);
        }
        for (; x <= last; ++x)
            carried = lowest[x] = SmallerOf(lowest[x], carried);
    } else {
        float carried = lowest[last];
        int x = last - 1;
        for (; x - LaneCount + 1 >= first; x -= LaneCount) {
            Lanes cells;
            std::memcpy(&cells, lowest + x - LaneCount + 1, sizeof cells);
            carried = RunDownTheLanes<Keep::Smallest>(cells, none, carried);
            std::memcpy(lowest + x - LaneCount + 1, &cells, sizeof cells);
        }
        for (; x >= first; --x)
            carried = lowest[x] = SmallerOf(lowest[x], carried);
    }
}

// Dark pixels side by side in a row.
struct Run {
    int first;
    int last;
};

// Runs of every row, kept one after another in one block, row by row.
class RunTable
{
public:
    explicit RunTable(int rows) : start_(static_cast<std::size_t>(rows) + 1, 0) {}

    void Add(const Run& run) { runs_.push_back(run); }
    // Closes row y, whose runs are those added since the row before was closed.
    void EndRow(int y) { start_[y + 1] = runs_.size(); }

    // Room for count more runs of row y, written in place; EndRow(y, written) then
    // keeps the first written of them and closes the row.
    Run* Room(int y, std::size_t count)
    {
        runs_.resize(start_[y] + count);
        return runs_.data() + start_[y];
    }
    void EndRow(int y, std::size_t written)
    {
        runs_.resize(start_[y] + written);
        EndRow(y);
    }

    std::span<const Run> Row(int y) const
    {
        return {runs_.data() + start_[y], runs_.data() + start_[y + 1]};
    }

private:
    std::vector<Run> runs_;
    std::vector<std::size_t> start_;
};

// Carries along a run as CarryAlongLongRun does; a short run takes it cell by
// cell, which costs less than the call.
inline void CarryAlongRun(float* lowest, int first, int last, bool forward)
{
    constexpr int ShortRun = 2 * LaneCount;
    if (last - first >= ShortRun)
        CarryAlongLongRun(lowest, first, last, forward);
    else if (forward)
        for (int x = first + 1; x <= last; ++x)
            lowest[x] = SmallerOf(lowest[x], lowest[x - 1]);
    else
        for (int x = last - 1; x >= first; --x)
            lowest[x] = SmallerOf(lowest[x], lowest[x + 1]);
}

// Lowers the cells of a row from first to last that hold runs of dark cells: the
// block minima of all, each run's new labels carried along in the sweep's
// direction, then stored. Returns a range that holds every cell that changed.
VECTOR_CLONES Range LowerRunsToBlockMinima(float* row, const float* above, const float* below, float* lowest,
                                           float* columnMinima, std::span<const Run> runs, int first, int last,
                                           bool forward)
{
    BlockMinimaOfRow(lowest, columnMinima, row, above, below, first, last);
    for (const Run& run : runs)
        if (run.last >= first && run.first <= last)
            CarryAlongRun(lowest, std::max(run.first, first), std::min(run.last, last), forward);
    return StoreLowerLabels(row, lowest, first, last);
}

// The working labels of one call, with what the sweeps need to skip cells that
// cannot change: a cell is visited again only where its 3 x 3 block changed since
// its last visit.
//
// The labels are worked on in the label plane itself.
class WorkingLabels
{
public:
    WorkingLabels(Plane& labelPlane, int rows, int columns)
        : labelPlane_(labelPlane),
          rows_(rows),
          columns_(columns),
          lowest_(columns),
          columnMinima_(columns),
          darkRuns_(rows),
          joinedRuns_(rows),
          span_(rows, Run{NoCells.first, NoCells.last}),
          sparse_(rows, false),
          waiting_(rows, Range{1, columns - 2}),
          lowerRow_(RowLoweringForThisProcessor()),
          zeroWordsOfRow_(ZeroWordsForThisProcessor()),
          zeroWords_((columns + 63) / 64)
    {
    }

    float* operator[](int y) { return labelPlane_[y]; }

    // Gives the k-th dark pixel in raster order the label k and notes each row's
    // runs of dark pixels; returns their count. The count is kept as an integer:
    // the same whole numbers as counting in floats, for every plane of fewer than
    // 2^24 cells.
    int NumberDarkPixels(const Plane& imagePlane)
    {
        int count = 0;
        for (int y = 0; y < rows_; ++y) {
            const float* image = imagePlane[y];
            float* label = (*this)[y];
            std::fill(label, label + columns_, NotDark);
            zeroWordsOfRow_(image, columns_, zeroWords_.data());
            ForEachRunOfBits([&](int chunk, int) { return zeroWords_[chunk / 64]; }, 0, columns_ - 1,
                             [&](int first, int last) { count = NumberRun(label, {first, last}, count); });
            darkRuns_.EndRow(y);
        }
        return count;
    }

    std::span<const Run> DarkRuns(int y) const { return darkRuns_.Row(y); }

    // Forward and backward sweeps until one pair changes nothing.
    void Propagate()
    {
        FindRuns();
        bool changed;
        do {
            changed = false;
            for (int y = 1; y <= rows_ - 2; ++y)
                changed |= VisitRow(y, true);
            for (int y = rows_ - 2; y >= 1; --y)
                changed |= VisitRow(y, false);
        } while (changed);
    }

    // Leaves the labels of row y as the plane holds them: 0 for a cell that is not dark.
    void Finish(int y)
    {
        float* label = (*this)[y];
        if (darkRuns_.Row(y).empty())
            std::fill(label, label + columns_, 0.0f);
        else
            for (int x = 0; x < columns_; ++x)
                label[x] = label[x] == NotDark ? 0.0f : label[x];
    }

private:
    // Notes a run and numbers its pixels on from count; returns the new count.
    int NumberRun(float* label, const Run& run, int count)
    {
        darkRuns_.Add(run);
        // Most runs are one or two pixels long: their ends are written first, and
        // such a run needs no loop.
        label[run.first] = static_cast<float>(count + 1);
        label[run.last] = static_cast<float>(count + 1 + (run.last - run.first));
        for (int x = run.first + 1; x < run.last; ++x)
            label[x] = static_cast<float>(count + 1 + (x - run.first));
        return count + (run.last - run.first + 1);
    }

    // Notes that the labels of row y changed from column first to last: the cells
    // whose blocks hold them, in that row and the rows beside it, wait for a visit.
    // A cell whose block has not changed since its last visit keeps its label, which
    // already is the smallest of that block; only waiting cells are visited.
    void MarkChanged(int y, int first, int last)
    {
        for (int r = std::max(y - 1, 1); r <= std::min(y + 1, rows_ - 2); ++r) {
            waiting_[r].first = std::min(waiting_[r].first, first - 1);
            waiting_[r].last = std::max(waiting_[r].last, last + 1);
        }
    }

    // The run of two or more dark cells of row y that holds column x, if any.
    const Run* RunAt(int y, int x) const
    {
        const std::span<const Run> runs = joinedRuns_.Row(y);
        const auto after = std::upper_bound(runs.begin(), runs.end(), x,
                                            [](int column, const Run& run) { return column < run.first; });
        return after != runs.begin() && std::prev(after)->last >= x ? &*std::prev(after) : nullptr;
    }

    // Lowers the waiting dark interior cells of row y to the smallest label of their 3 x 3
    // blocks, as an in-place sweep does: the row already swept in this sweep and the
    // cell just before in the row are read with their new labels. A first pass,
    // which vectorises, takes every block with the old label of the cell before;
    // that is exact where the cell before is not dark or lies on the border, so
    // only runs of dark cells need a second pass carrying the new label along.
    bool VisitRow(int y, bool forward)
    {
        // Cells that are not dark never change: only those of the span of the dark
        // ones that wait for a visit are swept, or where the dark ones are few in
        // it, the runs that hold waiting cells, one by one.
        int first = std::max(waiting_[y].first, span_[y].first);
        int last = std::min(waiting_[y].last, span_[y].last);
        waiting_[y] = NoCells;
        if (first > last)
            return false;
        if (sparse_[y])
            return VisitRuns(y, forward, first, last);
        const float* above = (*this)[y - 1];
        const float* below = (*this)[y + 1];
        float* row = (*this)[y];
        Range changed;
        if (joinedRuns_.Row(y).empty()) {
            // No dark cell has a dark cell beside it: every block can be taken at once.
            changed = lowerRow_(row, above, below, first, last, columns_);
        } else {
            // A new label carries on along its run in the sweep's direction, so the
            // visit takes in the rest of the run where the range ends inside one.
            if (const Run* run = RunAt(y, forward ? last : first))
                (forward ? last : first) = forward ? run->last : run->first;
            changed = LowerRunsToBlockMinima(row, above, below, lowest_.data(), columnMinima_.data(),
                                             joinedRuns_.Row(y), first, last, forward);
        }
        if (changed.first > changed.last)
            return false;
        MarkChanged(y, changed.first, changed.last);
        return true;
    }

    // A row whose span is at least this many times longer than its count of runs,
    // and this many times longer than its count of dark cells, is visited run by
    // run, cell by cell, rather than across its span in vector passes.
    static constexpr int RunsInSparseRow = 24;
    static constexpr int CellsInSparseRow = 4;
    // Runs at least this long are taken in vector passes even there.
    static constexpr int LongRun = 16;

    // The visit of a row with few dark cells: each run's cells take their block
    // minima in the sweep's direction, the new label of the cell before carried
    // along.
    bool VisitRuns(int y, bool forward, int first, int last)
    {
        const float* above = (*this)[y - 1];
        const float* below = (*this)[y + 1];
        float* row = (*this)[y];
        bool changed = false;
        for (const Run& dark : darkRuns_.Row(y)) {
            if (dark.last < first || dark.first > last)
                continue;
            const Run run{std::max(dark.first, 1), std::min(dark.last, columns_ - 2)};
            // The cells before and after the run are not dark (or on the border), so
            // a long run can take the vector passes on its own.
            bool runChanged;
            if (run.last - run.first >= LongRun) {
                const Range lowered = LowerRunsToBlockMinima(row, above, below, lowest_.data(), columnMinima_.data(),
                                                             {&run, 1}, run.first, run.last, forward);
                runChanged = lowered.first <= lowered.last;
            } else {
                runChanged = LowerRunCellByCell(row, above, below, run, forward);
            }
            if (!runChanged)
                continue;
            changed = true;
            MarkChanged(y, run.first, run.last);
        }
        return changed;
    }

    // Each cell of the run takes its block minimum in the sweep's direction, the
    // new label of the cell before carried along; returns whether any is lower.
    static bool LowerRunCellByCell(float* row, const float* above, const float* below, const Run& run, bool forward)
    {
        bool runChanged = false;
        float carried = NotDark;
        const int step = forward ? 1 : -1;
        const int from = forward ? run.first : run.last, to = forward ? run.last + 1 : run.first - 1;
        for (int x = from; x != to; x += step) {
            carried = SmallerOf(BlockMinimum(row, above, below, x), carried);
            runChanged |= carried < row[x];
            row[x] = carried;
        }
        return runChanged;
    }

    // The span of each row's interior dark cells, the interior part of its runs of
    // two or more (along which a sweep carries a new label), and whether the row is
    // visited run by run.
    void FindRuns()
    {
        for (int y = 0; y < rows_; ++y) {
            const bool interior = y >= 1 && y <= rows_ - 2;
            long darkCells = 0, runs = 0;
            const std::span<const Run> dark = interior ? darkRuns_.Row(y) : std::span<const Run>();
            Run* joined = joinedRuns_.Room(y, dark.size());
            std::size_t joinedCount = 0;
            for (const Run& run : dark) {
                const int first = std::max(run.first, 1);
                const int last = std::min(run.last, columns_ - 2);
                if (first > last)
                    continue;
                span_[y] = {std::min(span_[y].first, first), last};
                darkCells += last - first + 1;
                ++runs;
                // Written in any case and kept where joined: single pixels and pairs
                // follow each other in no order that a branch could learn.
                joined[joinedCount] = {first, last};
                joinedCount += first < last;
            }
            const long span = span_[y].last - span_[y].first + 1;
            sparse_[y] = runs * RunsInSparseRow <= span && darkCells * CellsInSparseRow <= span;
            joinedRuns_.EndRow(y, joinedCount);
        }
    }

    Plane& labelPlane_;
    int rows_;
    int columns_;
    std::vector<float> lowest_;
    std::vector<float> columnMinima_;
    RunTable darkRuns_;
    RunTable joinedRuns_;
    // The span of each row's interior dark cells; empty (first past last) where none.
    std::vector<Run> span_;
    std::vector<bool> sparse_;
    // The columns of each row whose blocks changed since its last visit.
    std::vector<Range> waiting_;
    RowLowering lowerRow_;
    // The first pass finds each row's runs of dark pixels from its zero bits.
    ZeroWordsOfRow zeroWordsOfRow_;
    std::vector<std::uint64_t> zeroWords_;
};

// The region label of each working label: 1, 2, 3, ... for the labels counted
// more than largestDropped times, in ascending order, and 0 for the others.
// Only the smallest label of each group is left after the sweeps, besides those
// of border cells, so the labels counted are noted as they come and numbered
// from that list rather than from the whole table. Counted in raster order, they
// come in ascending order but where a group took its label from a cell of the
// last column, which is not counted; then the whole table is walked instead,
// blocks without a kept label cleared at once.
class RegionNumbers
{
public:
    RegionNumbers(int darkCount, int largestDropped)
        : table_(static_cast<std::size_t>(darkCount) + 1, 0), largestDropped_(largestDropped)
    {
    }

    void Count(float label, int cells)
    {
        int& count = table_[static_cast<std::size_t>(label)];
        if (count == 0)
            counted_.push_back(static_cast<int>(label));
        count += cells;
    }

    // Returns the number of regions.
    int NumberKeptLabels()
    {
        if (!std::is_sorted(counted_.begin(), counted_.end()))
            return NumberKeptLabelsOfTable();
        int regionLabel = 0;
        for (const int label : counted_)
            table_[static_cast<std::size_t>(label)] = table_[label] > largestDropped_ ? ++regionLabel : 0;
        return regionLabel;
    }

    // After NumberKeptLabels, for a label that was counted.
    float RegionOf(float label) const { return static_cast<float>(table_[static_cast<std::size_t>(label)]); }

private:
    int NumberKeptLabelsOfTable()
    {
        constexpr std::size_t Block = 16;
        int regionLabel = 0;
        for (std::size_t i = 0; i < table_.size(); i += Block) {
            int* block = table_.data() + i;
            const std::size_t size = std::min(Block, table_.size() - i);
            int kept = 0;
            for (std::size_t k = 0; k < size; ++k)
                kept += block[k] > largestDropped_;
            if (kept == 0)
                std::fill(block, block + size, 0);
            else
                for (std::size_t k = 0; k < size; ++k)
                    block[k] = block[k] > largestDropped_ ? ++regionLabel : 0;
        }
        return regionLabel;
    }

    std::vector<int> table_;
    std::vector<int> counted_;
    int largestDropped_;
};

// Calls visit(first, last) for each stretch of one label in a run of row y. After
// the sweeps the interior cells of a run share their group's label, while border
// cells keep their own: a run of the counted area is a cell in column 0 and the
// rest, except in row 0, where every cell is a border cell. (A plane too small to
// be swept counts only cells of row 0 or column 0.)
template <class Visit>
void ForEachStretch(const Run& run, int y, const Visit& visit)
{
    int first = run.first;
    if (y == 0) {
        for (; first <= run.last; ++first)
            visit(first, first);
        return;
    }
    if (first == 0) {
        visit(0, 0);
        first = 1;
    }
    if (first <= run.last)
        visit(first, run.last);
}

}  // namespace

void LabelDarkRegions(const Plane& imagePlane, Plane& labelPlane, Plane& regionPlane, int rows, int columns,
                      RegionStarts* starts, LabelPlaneAfter after, int smallestRegion)
{
    if (rows < 1 || columns < 1)
        return;
    WorkingLabels labels(labelPlane, rows, columns);
    const int darkCount = labels.NumberDarkPixels(imagePlane);
    if (rows >= 3 && columns >= 3)
        labels.Propagate();

    // Count the counted area (leaving each row's labels as the plane holds them
    // while the row is at hand, where the caller keeps them), number the kept
    // labels in ascending order, then write each cell's region label.
    const int lastCounted = columns - 2;
    const auto forEachStretch = [&](int y, const auto& visit) {
        for (const auto& run : labels.DarkRuns(y))
            if (run.first <= lastCounted)
                ForEachStretch({run.first, std::min(run.last, lastCounted)}, y, visit);
    };
    RegionNumbers numbers(darkCount, std::max(smallestRegion, 1) - 1);
    for (int y = 0; y < rows; ++y) {
        const float* label = labelPlane[y];
        if (y <= rows - 2)
            forEachStretch(y, [&](int first, int last) { numbers.Count(label[first], last - first + 1); });
        if (after == LabelPlaneAfter::Labels)
            labels.Finish(y);
    }
    const int regionCount = numbers.NumberKeptLabels();
    if (starts)
        starts->assign(static_cast<std::size_t>(regionCount) + 1, StartPixel());

    for (int y = 0; y <= rows - 2; ++y) {
        const float* label = labelPlane[y];
        float* region = regionPlane[y];
        std::fill(region, region + lastCounted + 1, 0.0f);
        forEachStretch(y, [&](int first, int last) {
            const float regionLabel = numbers.RegionOf(label[first]);
            // Ends first, as the runs are numbered.
            region[first] = region[last] = regionLabel;
            for (int x = first + 1; x < last; ++x)
                region[x] = regionLabel;
            // The stretches of a row come west to east, so the last one of a label
            // in its topmost interior row ends at the start pixel.
            if (starts && regionLabel != 0.0f && y >= 1 && first >= 1) {
                StartPixel& start = (*starts)[static_cast<std::size_t>(regionLabel)];
                if (start.row == -1 || start.row == y)
                    start = {y, last};
            }
        });
    }
}

void ClearPlaneBorder(Plane& plane, int rows, int columns)
{
    if (rows < 1 || columns < 1)
        return;
    std::fill(plane[0], plane[0] + columns, 0.0f);
    std::fill(plane[rows - 1], plane[rows - 1] + columns, 0.0f);
    for (int y = 0; y < rows; ++y)
        plane[y][0] = plane[y][columns - 1] = 0.0f;
}

}  // namespace darkfill
