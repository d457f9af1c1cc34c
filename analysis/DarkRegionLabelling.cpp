#include "analysis/DarkRegionLabelling.h"

#include "analysis/CellBlocks.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace darkfill {

namespace {

using RunIndex = std::uint32_t;

// Dark pixels side by side in a row.
struct DarkRun {
    int first;
    int last;
};

// The most runs that a plane of this size holds: dark and grey cells by turns.
std::size_t MostRuns(int rows, int columns)
{
    return static_cast<std::size_t>(rows) * ((static_cast<std::size_t>(columns) + 1) / 2);
}

// The working labels of one call, worked on in the label plane itself.
//
// The first pass gives the k-th dark pixel in raster order the label k. What the
// sweeps of the 3 x 3 minimum reach when nothing changes any more is stated by
// their fixed point: a border cell is never written, and an interior dark cell
// holds the smallest label of its block, so the interior dark cells that touch
// (8-connected) hold one label, and it is the smallest of their first labels and
// of the border dark cells beside any of them, the only labels that can reach
// them. That is found here without sweeping: the interior parts of the runs of
// dark cells are joined into groups (union-find, the smaller run index the root,
// so a root's first interior cell holds the group's smallest first label), each
// border dark cell lowers the groups beside it, and each run then takes its
// group's label. Two runs of interior rows that touch have interior parts that
// touch, where both have one, so the runs themselves are the union-find's
// members. Time: linear in the runs, but for one binary search per run of the
// rows next to the top and bottom border. Memory: from the arena, seven numbers a
// run, a bit a cell and a number a row.
class WorkingLabels
{
public:
    WorkingLabels(Plane& labelPlane, int rows, int columns, WorkingArena& arena)
        : labelPlane_(labelPlane),
          rows_(rows),
          columns_(columns),
          wordsPerRow_((static_cast<std::size_t>(columns) + 63) / 64),
          arena_(arena)
    {
    }

    // Notes each row's cells that are exactly 0, as bits, and where each row's runs
    // of them start in the run table: the count of runs is known before any is
    // noted, so that the arena gives them just the room they take.
    void FindRuns(const Plane& imagePlane)
    {
        zeroWords_ = arena_.Take<std::uint64_t>(wordsPerRow_ * static_cast<std::size_t>(rows_));
        rowStart_ = arena_.Take<RunIndex>(static_cast<std::size_t>(rows_) + 1);
        RunIndex runs = 0;
        for (int y = 0; y < rows_; ++y) {
            rowStart_[y] = runs;
            std::uint64_t* row = zeroWords_.data() + wordsPerRow_ * static_cast<std::size_t>(y);
            ZeroWordsOfRow(imagePlane[y], columns_, row);
            std::uint64_t carried = 0;
            for (std::size_t w = 0; w < wordsPerRow_; ++w) {
                runs += static_cast<RunIndex>(std::popcount(row[w] & ~((row[w] << 1) | carried)));
                carried = row[w] >> 63;
            }
        }
        rowStart_[rows_] = runs;
    }

    // Gives the k-th dark pixel in raster order the label k, 0 to the others, and
    // notes each row's runs of dark pixels; returns their count. The count is kept
    // as an integer: the same whole numbers as counting in floats, for every plane
    // of fewer than 2^24 cells. Where the plane has an interior, each interior
    // row's runs are joined with those of the row above while both are at hand.
    int NumberDarkPixels()
    {
        const std::size_t runs = rowStart_[rows_];
        runs_ = arena_.Take<DarkRun>(runs);
        const bool joined = rows_ >= 3 && columns_ >= 3;
        if (joined) {
            parent_ = arena_.Take<RunIndex>(runs);
            lowest_ = arena_.Take<float>(runs);
        }
        int count = 0;
        for (int y = 0; y < rows_; ++y) {
            float* label = labelPlane_[y];
            std::fill(label, label + columns_, 0.0f);
            const std::uint64_t* bits = zeroWords_.data() + wordsPerRow_ * static_cast<std::size_t>(y);
            const bool interior = joined && y >= 1 && y <= rows_ - 2;
            RunIndex k = rowStart_[y];
            ForEachRunOfBits([&](int chunk, int) { return bits[chunk / 64]; }, 0, columns_ - 1,
                             [&](int first, int last) {
                                 runs_[k] = {first, last};
                                 for (int x = first; x <= last; ++x)
                                     label[x] = static_cast<float>(count + 1 + (x - first));
                                 if (interior) {
                                     parent_[k] = k;
                                     lowest_[k] = label[std::max(first, 1)];
                                 }
                                 count += last - first + 1;
                                 ++k;
                             });
            if (interior && y >= 2)
                JoinWithRowAbove(y);
        }
        return count;
    }

    std::size_t RunCount() const { return runs_.size(); }

    std::span<const DarkRun> DarkRuns(int y) const
    {
        return {runs_.data() + rowStart_[y], runs_.data() + rowStart_[y + 1]};
    }

    // Each group lowered by the border dark cells beside it; for planes of at least
    // 3 x 3 cells, after NumberDarkPixels.
    void LowerGroupsFromBorder()
    {
        for (int y = 1; y <= rows_ - 2; ++y)
            LowerFromBorder(y);
    }

    // The labels that the sweeps settle on, written into interior row y.
    void SettleRow(int y)
    {
        for (RunIndex k = rowStart_[y]; k < rowStart_[y + 1]; ++k)
            if (const DarkRun inner = Interior(runs_[k]); inner.first <= inner.last)
                std::fill(labelPlane_[y] + inner.first, labelPlane_[y] + inner.last + 1, lowest_[Root(k)]);
    }

private:
    // The part of a run of an interior row in columns 1 to C - 2; empty (first
    // after last) for a run of a border column alone.
    DarkRun Interior(const DarkRun& run) const { return {std::max(run.first, 1), std::min(run.last, columns_ - 2)}; }

    RunIndex Root(RunIndex run)
    {
        while (parent_[run] != run) {
            parent_[run] = parent_[parent_[run]];
            run = parent_[run];
        }
        return run;
    }

    // Joins each run of interior row y with the runs of the row above that it
    // touches. A run of row y is a root when its row comes: the root of its group
    // so far is kept at hand rather than found again for each run above.
    void JoinWithRowAbove(int y)
    {
        RunIndex above = rowStart_[y - 1];
        const RunIndex aboveEnd = rowStart_[y];
        for (RunIndex k = rowStart_[y]; k < rowStart_[y + 1]; ++k) {
            const DarkRun run = Interior(runs_[k]);
            if (run.first > run.last)
                continue;
            while (above < aboveEnd && runs_[above].last < run.first - 1)
                ++above;
            RunIndex root = k;
            for (RunIndex j = above; j < aboveEnd && runs_[j].first <= run.last + 1; ++j) {
                if (const DarkRun other = Interior(runs_[j]); other.first > other.last)
                    continue;
                const RunIndex otherRoot = Root(j);
                if (otherRoot != root) {
                    parent_[std::max(root, otherRoot)] = std::min(root, otherRoot);
                    root = std::min(root, otherRoot);
                }
            }
        }
    }

    // The smallest label of the dark cells of border row b from column first to last.
    float SmallestInBorderRow(int b, int first, int last) const
    {
        const std::span<const DarkRun> runs = DarkRuns(b);
        const auto run = std::lower_bound(runs.begin(), runs.end(), first,
                                          [](const DarkRun& r, int column) { return r.last < column; });
        if (run == runs.end() || run->first > last)
            return NotDark;
        return labelPlane_[b][std::max(run->first, first)];
    }

    // The label of the cell of border column x in row r, if dark.
    float BorderCell(int r, int x) const { return labelPlane_[r][x] > 0.0f ? labelPlane_[r][x] : NotDark; }

    void Lower(RunIndex run, float label)
    {
        float& group = lowest_[Root(run)];
        group = std::min(group, label);
    }

    // Each run of interior row y takes in the border dark cells beside it: above
    // or below it in the border rows, and left or right of it in the border
    // columns, where only the row's first and last run can reach.
    void LowerFromBorder(int y)
    {
        const RunIndex begin = rowStart_[y], end = rowStart_[y + 1];
        if (begin == end)
            return;
        if (y == 1 || y == rows_ - 2)
            for (RunIndex k = begin; k < end; ++k) {
                const DarkRun inner = Interior(runs_[k]);
                if (inner.first > inner.last)
                    continue;
                if (y == 1)
                    Lower(k, SmallestInBorderRow(0, inner.first - 1, inner.last + 1));
                if (y == rows_ - 2)
                    Lower(k, SmallestInBorderRow(rows_ - 1, inner.first - 1, inner.last + 1));
            }
        const DarkRun first = runs_[begin], last = runs_[end - 1];
        for (int r = y - 1; r <= y + 1; ++r) {
            if (first.first <= 1 && first.last >= 1)
                Lower(begin, BorderCell(r, 0));
            if (last.first <= columns_ - 2 && last.last >= columns_ - 2)
                Lower(end - 1, BorderCell(r, columns_ - 1));
        }
    }

    static constexpr float NotDark = 3.0e38f;

    Plane& labelPlane_;
    int rows_;
    int columns_;
    std::size_t wordsPerRow_;
    WorkingArena& arena_;
    // Each row's cells that are 0 as bits, and where its runs start in runs_.
    std::span<std::uint64_t> zeroWords_;
    std::span<RunIndex> rowStart_;
    std::span<DarkRun> runs_;
    // Per run: its parent in its group, and for a group's root the group's label.
    std::span<RunIndex> parent_;
    std::span<float> lowest_;
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
    // mostCounted bounds the labels counted: a label for each run and for each
    // cell of the first row and column.
    RegionNumbers(int darkCount, std::size_t mostCounted, int largestDropped, WorkingArena& arena)
        : table_(arena.Take<int>(static_cast<std::size_t>(darkCount) + 1)),
          counted_(arena.Take<int>(mostCounted)),
          largestDropped_(largestDropped)
    {
        std::fill(table_.begin(), table_.end(), 0);
    }

    void Count(float label, int cells)
    {
        int& count = table_[static_cast<std::size_t>(label)];
        if (count == 0)
            counted_[countedSize_++] = static_cast<int>(label);
        count += cells;
    }

    // Returns the number of regions.
    int NumberKeptLabels()
    {
        const std::span<const int> counted = counted_.first(countedSize_);
        if (!std::is_sorted(counted.begin(), counted.end()))
            return NumberKeptLabelsOfTable();
        int regionLabel = 0;
        for (const int label : counted)
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

    std::span<int> table_;
    std::span<int> counted_;
    std::size_t countedSize_ = 0;
    int largestDropped_;
};

// Calls visit(first, last) for each stretch of one label in a run of row y. After
// the sweeps the interior cells of a run share their group's label, while border
// cells keep their own: a run of the counted area is a cell in column 0 and the
// rest, except in row 0, where every cell is a border cell. (A plane too small to
// be swept counts only cells of row 0 or column 0.)
template <class Visit>
void ForEachStretch(const DarkRun& run, int y, const Visit& visit)
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
                      RegionStarts* starts, int smallestRegion, WorkingArena* arena)
{
    if (rows < 1 || columns < 1)
        return;
    WorkingArena ownArena;
    if (!arena) {
        ownArena.Reserve(LabellingBytes(rows, columns));
        arena = &ownArena;
    }
    WorkingLabels labels(labelPlane, rows, columns, *arena);
    labels.FindRuns(imagePlane);
    const int darkCount = labels.NumberDarkPixels();
    const bool swept = rows >= 3 && columns >= 3;
    if (swept)
        labels.LowerGroupsFromBorder();

    // Count the counted area, each interior row as soon as it holds its settled
    // labels, number the kept labels in ascending order, then write each cell's
    // region label.
    const int lastCounted = columns - 2;
    const auto forEachStretch = [&](int y, const auto& visit) {
        for (const auto& run : labels.DarkRuns(y))
            if (run.first <= lastCounted)
                ForEachStretch({run.first, std::min(run.last, lastCounted)}, y, visit);
    };
    RegionNumbers numbers(darkCount, labels.RunCount() + static_cast<std::size_t>(rows) + columns,
                          std::max(smallestRegion, 1) - 1, *arena);
    for (int y = 0; y <= rows - 2; ++y) {
        if (swept && y >= 1)
            labels.SettleRow(y);
        const float* label = labelPlane[y];
        forEachStretch(y, [&](int first, int last) { numbers.Count(label[first], last - first + 1); });
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

std::size_t LabellingBytes(int rows, int columns)
{
    const auto cells = static_cast<std::size_t>(rows) * columns, runs = MostRuns(rows, columns);
    return WorkingArena::BytesFor<std::uint64_t>((static_cast<std::size_t>(columns) + 63) / 64 * rows) +
           WorkingArena::BytesFor<RunIndex>(static_cast<std::size_t>(rows) + 1) +
           WorkingArena::BytesFor<DarkRun>(runs) + WorkingArena::BytesFor<RunIndex>(runs) +
           WorkingArena::BytesFor<float>(runs) + WorkingArena::BytesFor<int>(cells + 1) +
           WorkingArena::BytesFor<int>(runs + rows + columns);
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
