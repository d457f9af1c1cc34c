#include "analysis/DarkRegionLabelling.h"

#include "analysis/CellBlocks.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace darkfill {

namespace {

using RunIndex = std::uint32_t;

// The most runs that a plane of this size holds: dark and grey cells by turns.
std::size_t MostRuns(int rows, int columns)
{
    return static_cast<std::size_t>(rows) * ((static_cast<std::size_t>(columns) + 1) / 2);
}

// The working labels of one call, held per run of dark cells.
//
// The first pass gives the k-th dark pixel in raster order the label k, so a run's
// cells carry its first cell's label and the numbers after it. What the sweeps of
// the 3 x 3 minimum reach when nothing changes any more is stated by their fixed
// point: a border cell is never written, and an interior dark cell holds the
// smallest label of its block, so the interior dark cells that touch
// (8-connected) hold one label, and it is the smallest of their first labels and
// of the border dark cells beside any of them, the only labels that can reach
// them. That is found here without sweeping and without a label plane: the
// interior parts of the runs are joined into groups (union-find, the smaller run
// index the root, so a root's first interior cell holds the group's smallest
// first label), each border dark cell lowers the groups beside it, and each run
// then takes its group's label. Two runs of interior rows that touch have
// interior parts that touch, where both have one, so the runs themselves are the
// union-find's members. The join of two rows walks both rows' runs at once, a
// step taken by comparison rather than a branch, since runs of noise are too
// short for a branch to be learnt.
// Time: linear in the runs, but for one binary search per run of the rows next
// to the top and bottom border. Memory: from the arena, six numbers a run, a bit
// a cell and a number a row.
class WorkingLabels
{
public:
    WorkingLabels(int rows, int columns, WorkingArena& arena)
        : rows_(rows),
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
            std::uint64_t* row = RowWords(y);
            ZeroWordsOfRow(imagePlane[y], columns_, row);
            std::uint64_t carried = 0;
            for (std::size_t w = 0; w < wordsPerRow_; ++w) {
                runs += static_cast<RunIndex>(std::popcount(row[w] & ~((row[w] << 1) | carried)));
                carried = row[w] >> 63;
            }
        }
        rowStart_[rows_] = runs;
    }

    // Notes each row's runs of dark pixels and the first label of each; returns the
    // count of dark pixels. Where the plane has an interior, each interior row's
    // runs are joined with those of the row above while both are at hand.
    int NumberDarkPixels()
    {
        const std::size_t runs = rowStart_[rows_];
        runs_ = arena_.Take<ZeroRun>(runs);
        firstLabel_ = arena_.Take<int>(runs);
        const bool joined = rows_ >= 3 && columns_ >= 3;
        if (joined) {
            parent_ = arena_.Take<RunIndex>(runs);
            lowest_ = arena_.Take<int>(runs);
        }
        int count = 0;
        for (int y = 0; y < rows_; ++y) {
            NoteRunEnds(y);
            const bool interior = joined && y >= 1 && y <= rows_ - 2;
            for (RunIndex k = rowStart_[y]; k < rowStart_[y + 1]; ++k) {
                firstLabel_[k] = count + 1;
                count += runs_[k].last - runs_[k].first + 1;
                if (interior) {
                    parent_[k] = k;
                    lowest_[k] = firstLabel_[k] + (runs_[k].first == 0);
                }
            }
            if (interior && y >= 2)
                JoinWithRowAbove(y);
        }
        return count;
    }

    std::size_t RunCount() const { return runs_.size(); }

    // Each group lowered by the border dark cells beside it, after NumberDarkPixels;
    // nothing where the plane has no interior.
    void LowerGroupsFromBorder()
    {
        if (!Joined())
            return;
        for (int y = 1; y <= rows_ - 2; ++y)
            LowerFromBorder(y);
    }

    // Calls visit(first, last, label) for each stretch of one label in the counted
    // area (columns 0 to C - 2) of row y, row 0 and interior rows settled. Interior
    // cells of a run share their group's label, while border cells keep their own:
    // a run is a cell in column 0 and the rest, except in row 0, where every cell
    // is a border cell. (A plane too small to be swept has no rest: it counts only
    // cells of row 0 or column 0.) Where settle is true, the runs of interior row y
    // first take the labels that the sweeps settle on: rows are settled in order,
    // and a run's parent comes before it and is settled. An interior row of a plane
    // that was swept, where most runs lie, takes one loop without the other tests.
    template <class Visit>
    void ForEachStretch(int y, bool settle, const Visit& visit)
    {
        RunIndex k = rowStart_[y];
        const RunIndex end = rowStart_[y + 1];
        if (y >= 1 && Joined()) {
            if (k < end && runs_[k].first == 0)
                visit(0, 0, firstLabel_[k]);
            for (; k < end; ++k) {
                if (settle)
                    lowest_[k] = lowest_[parent_[k]];
                if (const ZeroRun inner = Interior(runs_[k]); inner.first <= inner.last)
                    visit(inner.first, inner.last, lowest_[k]);
            }
            return;
        }
        for (; k < end && runs_[k].first <= columns_ - 2; ++k) {
            const int last = std::min(runs_[k].last, columns_ - 2);
            if (y == 0) {
                for (int x = runs_[k].first; x <= last; ++x)
                    visit(x, x, LabelAt(k, x));
            } else {
                visit(0, 0, firstLabel_[k]);
            }
        }
    }

private:
    // Whether the plane has an interior, whose runs are joined into groups.
    bool Joined() const { return !parent_.empty(); }

    std::uint64_t* RowWords(int y) { return zeroWords_.data() + wordsPerRow_ * static_cast<std::size_t>(y); }

    // The first and the last cell of each run of row y: where runs start and where
    // they end, each from its own bits of every word, in two loops a word with a
    // step a run and no test of which comes first. The bits past the row's last
    // cell are 0.
    void NoteRunEnds(int y)
    {
        const std::uint64_t* bits = RowWords(y);
        ZeroRun* starting = runs_.data() + rowStart_[y];
        ZeroRun* ending = starting;
        std::uint64_t carried = 0;
        for (std::size_t w = 0; w < wordsPerRow_; ++w) {
            const std::uint64_t next = w + 1 < wordsPerRow_ ? bits[w + 1] : 0;
            const int at = static_cast<int>(w * 64);
            for (std::uint64_t starts = bits[w] & ~((bits[w] << 1) | carried); starts != 0; starts &= starts - 1)
                (starting++)->first = at + std::countr_zero(starts);
            for (std::uint64_t ends = bits[w] & ~((bits[w] >> 1) | (next << 63)); ends != 0; ends &= ends - 1)
                (ending++)->last = at + std::countr_zero(ends);
            carried = bits[w] >> 63;
        }
    }

    // The part of a run of an interior row in columns 1 to C - 2; empty (first
    // after last) for a run of a border column alone.
    ZeroRun Interior(const ZeroRun& run) const { return {std::max(run.first, 1), std::min(run.last, columns_ - 2)}; }

    RunIndex Root(RunIndex run)
    {
        while (parent_[run] != run) {
            parent_[run] = parent_[parent_[run]];
            run = parent_[run];
        }
        return run;
    }

    // a where chosen, else b, by masks: the compiler would branch on a choice
    // that no predictor learns.
    static RunIndex Select(bool chosen, RunIndex a, RunIndex b)
    {
        const RunIndex mask = RunIndex{0} - RunIndex{chosen};
        return (a & mask) | (b & ~mask);
    }

    // The same for a run of the row above: two steps up without a branch, as few
    // are deeper, so that a join's step need not branch on whether the runs touch.
    // The run itself is not hung from its root: no later join reads it.
    RunIndex RootAbove(RunIndex run)
    {
        const RunIndex root = parent_[parent_[run]];
        return parent_[root] == root ? root : Root(root);
    }

    // Joins the runs of interior row y with those of the row above that they touch,
    // walking both rows' runs at once: the run that ends first can touch no later
    // run of the other row. A run of row y is a root when its row comes, and the
    // root of its group so far is kept at hand. Where two runs do not touch, the
    // join writes that root as its own parent, which changes nothing.
    void JoinWithRowAbove(int y)
    {
        RunIndex above = rowStart_[y - 1], k = rowStart_[y];
        const RunIndex aboveEnd = rowStart_[y], end = rowStart_[y + 1];
        RunIndex root = k;
        while (above < aboveEnd && k < end) {
            const ZeroRun runAbove = runs_[above], run = runs_[k];
            const ZeroRun a = Interior(runAbove), b = Interior(run);
            const bool touch =
                (a.first <= a.last) & (b.first <= b.last) & (a.first <= b.last + 1) & (b.first <= a.last + 1);
            const RunIndex other = Select(touch, RootAbove(above), root);
            const RunIndex low = Select(other < root, other, root);
            parent_[root ^ other ^ low] = low;
            root = low;
            const bool aboveEnds = runAbove.last <= run.last, runEnds = run.last <= runAbove.last;
            above += aboveEnds;
            k += runEnds;
            root = runEnds ? k : root;
        }
    }

    // The label of the cell of run k in column x.
    int LabelAt(RunIndex k, int x) const { return firstLabel_[k] + (x - runs_[k].first); }

    // The smallest label of the dark cells of border row b from column first to last.
    int SmallestInBorderRow(int b, int first, int last) const
    {
        const ZeroRun* begin = runs_.data() + rowStart_[b];
        const ZeroRun* end = runs_.data() + rowStart_[b + 1];
        const ZeroRun* run =
            std::lower_bound(begin, end, first, [](const ZeroRun& r, int column) { return r.last < column; });
        if (run == end || run->first > last)
            return NotDark;
        return LabelAt(static_cast<RunIndex>(run - runs_.data()), std::max(run->first, first));
    }

    // The label of the cell of border column 0 or C - 1 in row r, if dark: it can
    // only be the row's first or last run.
    int BorderCell(int r, bool east) const
    {
        if (rowStart_[r] == rowStart_[r + 1])
            return NotDark;
        const RunIndex k = east ? rowStart_[r + 1] - 1 : rowStart_[r];
        const int x = east ? columns_ - 1 : 0;
        return runs_[k].first <= x && x <= runs_[k].last ? LabelAt(k, x) : NotDark;
    }

    void Lower(RunIndex run, int label)
    {
        int& group = lowest_[Root(run)];
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
                const ZeroRun inner = Interior(runs_[k]);
                if (inner.first > inner.last)
                    continue;
                if (y == 1)
                    Lower(k, SmallestInBorderRow(0, inner.first - 1, inner.last + 1));
                if (y == rows_ - 2)
                    Lower(k, SmallestInBorderRow(rows_ - 1, inner.first - 1, inner.last + 1));
            }
        const ZeroRun first = runs_[begin], last = runs_[end - 1];
        for (int r = y - 1; r <= y + 1; ++r) {
            if (first.first <= 1 && first.last >= 1)
                Lower(begin, BorderCell(r, false));
            if (last.first <= columns_ - 2 && last.last >= columns_ - 2)
                Lower(end - 1, BorderCell(r, true));
        }
    }

    static constexpr int NotDark = std::numeric_limits<int>::max();

    int rows_;
    int columns_;
    std::size_t wordsPerRow_;
    WorkingArena& arena_;
    // Each row's cells that are 0 as bits, and where its runs start in runs_.
    std::span<std::uint64_t> zeroWords_;
    std::span<RunIndex> rowStart_;
    // Per run: its cells, and its first cell's first label.
    std::span<ZeroRun> runs_;
    std::span<int> firstLabel_;
    // Per run of an interior row: its parent in its group, and for a group's root
    // the group's label, for every run once its row is settled.
    std::span<RunIndex> parent_;
    std::span<int> lowest_;
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
    // cell of the first row and column, and room for the note past the end.
    RegionNumbers(int darkCount, std::size_t mostCounted, int largestDropped, WorkingArena& arena)
        : table_(arena.Take<int>(static_cast<std::size_t>(darkCount) + 1)),
          counted_(arena.Take<int>(mostCounted)),
          largestDropped_(largestDropped)
    {
        std::fill(table_.begin(), table_.end(), 0);
    }

    // The first count of a label notes it; a later one notes it again past the end
    // of the list, where the next new label overwrites it.
    void Count(int label, int cells)
    {
        int& count = table_[static_cast<std::size_t>(label)];
        counted_[countedSize_] = label;
        countedSize_ += count == 0;
        count += cells;
    }

    // Returns the number of regions.
    int NumberKeptLabels()
    {
        const std::span<const int> counted = counted_.first(countedSize_);
        if (!std::is_sorted(counted.begin(), counted.end()))
            return NumberKeptLabelsOfTable();
        int regionLabel = 0;
        for (const int label : counted) {
            const bool kept = table_[static_cast<std::size_t>(label)] > largestDropped_;
            regionLabel += kept;
            table_[static_cast<std::size_t>(label)] = kept ? regionLabel : 0;
        }
        return regionLabel;
    }

    // After NumberKeptLabels, for a label that was counted.
    float RegionOf(int label) const { return static_cast<float>(table_[static_cast<std::size_t>(label)]); }

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

}  // namespace

void LabelDarkRegions(const Plane& imagePlane, Plane& regionPlane, int rows, int columns, RegionStarts* starts,
                      int smallestRegion, WorkingArena* arena)
{
    if (rows < 1 || columns < 1)
        return;
    WorkingArena ownArena;
    WorkingArena& working = WorkingArena::GivenOr(arena, ownArena, LabellingBytes(rows, columns));
    WorkingLabels labels(rows, columns, working);
    labels.FindRuns(imagePlane);
    const int darkCount = labels.NumberDarkPixels();
    labels.LowerGroupsFromBorder();

    // Count the counted area, each interior row as soon as it is settled, number
    // the kept labels in ascending order, then write each cell's region label.
    RegionNumbers numbers(darkCount, labels.RunCount() + static_cast<std::size_t>(rows) + columns + 1,
                          std::max(smallestRegion, 1) - 1, working);
    for (int y = 0; y <= rows - 2; ++y)
        labels.ForEachStretch(y, true, [&](int first, int last, int label) { numbers.Count(label, last - first + 1); });
    const int regionCount = numbers.NumberKeptLabels();
    if (starts)
        starts->assign(static_cast<std::size_t>(regionCount) + 1, StartPixel());

    for (int y = 0; y <= rows - 2; ++y) {
        float* region = regionPlane[y];
        std::fill(region, region + columns - 1, 0.0f);
        labels.ForEachStretch(y, false, [&](int first, int last, int label) {
            const float regionLabel = numbers.RegionOf(label);
            // Ends first, as the runs are numbered.
            region[first] = region[last] = regionLabel;
            for (int x = first + 1; x < last; ++x)
                region[x] = regionLabel;
            // The stretches of a row come west to east, so the last one of a label
            // in its topmost interior row ends at the start pixel. Whether a run
            // is kept follows no pattern a predictor learns: those dropped note
            // theirs in the unused entry 0, cleared after, and the entry is
            // chosen by masks.
            if (starts && y >= 1 && first >= 1) {
                StartPixel& start = (*starts)[static_cast<std::size_t>(regionLabel)];
                const bool topmost = (start.row == -1) | (start.row == y);
                start.row = topmost ? y : start.row;
                start.column = topmost ? last : start.column;
            }
        });
    }
    if (starts)
        (*starts)[0] = StartPixel();
}

std::size_t LabellingBytes(int rows, int columns)
{
    const auto cells = static_cast<std::size_t>(rows) * columns, runs = MostRuns(rows, columns);
    return WorkingArena::BytesFor<std::uint64_t>((static_cast<std::size_t>(columns) + 63) / 64 * rows) +
           WorkingArena::BytesFor<RunIndex>(static_cast<std::size_t>(rows) + 1) +
           WorkingArena::BytesFor<ZeroRun>(runs) + WorkingArena::BytesFor<int>(runs) +
           WorkingArena::BytesFor<RunIndex>(runs) + WorkingArena::BytesFor<int>(runs) +
           WorkingArena::BytesFor<int>(cells + 1) + WorkingArena::BytesFor<int>(runs + rows + columns + 1);
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
