#include "analysis/DarkRegionLabelling.h"

#include "analysis/CellBlocks.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <type_traits>

namespace darkfill {

namespace {

// A run of a row of at most 65,536 columns.
struct NarrowRun {
    std::uint16_t first;
    std::uint16_t last;
};

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
// A run keeps no label of its own: its parent, once its row is settled, gives
// way to its group's label; a root's is its first interior cell's, but where
// the border lowers it, and those few lowerings are noted apart, by root.
// Time: linear in the runs, but for one binary search per run of the rows next
// to the top and bottom border. Memory: from the run arena, a label and two
// columns a run, a label for each run of the first and the last row, and two
// labels for each border cell that lowers a group; from the arena, a bit a cell
// and two labels a row. A run's first label is not kept: the dark cells before
// each row are, and a row's runs are walked in order.
template <class Label>
class WorkingLabels
{
public:
    // Runs are numbered as the dark cells are: each run's index is below the
    // first label of its first cell.
    using RunIndex = Label;
    // A run's first and last column, in 16 bits each where labels are 32 bits
    // (see WideLabels): the vertical serpentine, a run for every other cell,
    // took 11 bytes a cell with 32-bit columns, 9 with these.
    using Run = std::conditional_t<sizeof(Label) == 4, NarrowRun, ZeroRun>;

    WorkingLabels(int rows, int columns, WorkingArena& arena, WorkingArena& runArena)
        : rows_(rows),
          columns_(columns),
          wordsPerRow_((static_cast<std::size_t>(columns) + 63) / 64),
          arena_(arena),
          runArena_(&runArena)
    {
    }

    // Notes each row's cells that are exactly 0, as bits, where each row's runs of
    // them start in the run table and the dark cells before it; then finds room
    // for just the runs there are: what the working block has left, beyond the
    // later bytes that the labelling takes from it after them, where they fit
    // (its last huge page is seldom full, and a block of their own brings in
    // pages of its own on a fill that starts from fresh memory), else the run
    // arena, reserved for them.
    template <class Value>
    void FindRuns(const Plane<Value>& imagePlane, std::size_t later)
    {
        zeroWords_ = arena_.Take<std::uint64_t>(wordsPerRow_ * static_cast<std::size_t>(rows_));
        rowStart_ = arena_.Take<RunIndex>(static_cast<std::size_t>(rows_) + 1);
        rowDark_ = arena_.Take<Label>(static_cast<std::size_t>(rows_) + 1);
        RunIndex runs = 0;
        Label dark = 0;
        for (int y = 0; y < rows_; ++y) {
            rowStart_[y] = runs;
            rowDark_[y] = dark;
            std::uint64_t* row = RowWords(y);
            ZeroWordsOfRow(imagePlane[y], columns_, row);
            std::uint64_t carried = 0;
            for (std::size_t w = 0; w < wordsPerRow_; ++w) {
                runs += static_cast<RunIndex>(std::popcount(row[w] & ~((row[w] << 1) | carried)));
                dark += static_cast<Label>(std::popcount(row[w]));
                carried = row[w] >> 63;
            }
        }
        rowStart_[rows_] = runs;
        rowDark_[rows_] = dark;
        const std::size_t bytes = RunBytes(runs);
        if (arena_.Room() >= bytes + later)
            runArena_ = &arena_;
        else
            runArena_->Reserve(bytes);
    }

    // Where the runs are taken from.
    WorkingArena& RunArena() { return *runArena_; }

    // What the run arena takes for a plane of this many runs: per run its cells
    // and its parent, then its group's label; the first label of each run of the
    // first and the last row; and the lowerings from the border.
    std::size_t RunBytes(std::size_t runs) const
    {
        return WorkingArena::BytesFor<Run>(runs) + WorkingArena::BytesFor<Label>(runs) +
               WorkingArena::BytesFor<Label>(BorderRuns()) + WorkingArena::BytesFor<Lowering>(MostLowerings());
    }

    // Notes each row's runs of dark pixels, and the first label of each run of the
    // first and the last row; returns the count of dark pixels. Where the plane
    // has an interior, each interior run starts as a group of its own, labelled by
    // its first interior cell, and each interior row's runs are joined with those
    // of the row above while both are at hand.
    Label NumberDarkPixels()
    {
        const std::size_t runs = rowStart_[rows_];
        runs_ = runArena_->Take<Run>(runs);
        borderFirst_ = runArena_->Take<Label>(BorderRuns());
        const bool joined = rows_ >= 3 && columns_ >= 3;
        if (joined)
            parent_ = runArena_->Take<RunIndex>(runs);
        for (int y = 0; y < rows_; ++y) {
            NoteRunEnds(y);
            const bool interior = joined && y >= 1 && y <= rows_ - 2;
            const bool border = y == 0 || y == rows_ - 1;
            Label count = rowDark_[y];
            for (RunIndex k = rowStart_[y]; k < rowStart_[y + 1]; ++k) {
                const Label first = count + 1;
                count += static_cast<Label>(runs_[k].last - runs_[k].first + 1);
                if (border)
                    borderFirst_[BorderIndex(k)] = first;
                if (interior)
                    parent_[k] = k;
            }
            if (interior && y >= 2)
                JoinWithRowAbove(y);
        }
        return rowDark_[rows_];
    }

    // Each group lowered by the border dark cells beside it, after NumberDarkPixels;
    // nothing where the plane has no interior.
    void LowerGroupsFromBorder()
    {
        if (!Joined())
            return;
        lowerings_ = runArena_->Take<Lowering>(MostLowerings());
        for (int y = 1; y <= rows_ - 2; ++y)
            LowerFromBorder(y);
        lowerings_ = lowerings_.first(loweringCount_);
        std::sort(lowerings_.begin(), lowerings_.end(),
                  [](const Lowering& a, const Lowering& b) { return a.root < b.root; });
    }

    // Calls visit(first, last, label) for each stretch of one label in the counted
    // area (columns 0 to C - 2) of row y, west to east, row 0 and interior rows
    // settled. Interior cells of a run share their group's label, while border
    // cells keep their own: a run is a cell in column 0 and the rest, except in
    // row 0, where every cell is a border cell. (A plane too small to be swept has
    // no rest: it counts only cells of row 0 or column 0.) Where settle is true,
    // the runs of interior row y first take the labels that the sweeps settle on:
    // rows are settled in order, and a run's parent comes before it and is
    // settled. An interior row of a plane that was swept, where most runs lie,
    // takes one loop without the other tests.
    template <class Visit>
    void ForEachStretch(int y, bool settle, const Visit& visit)
    {
        RunIndex k = rowStart_[y];
        const RunIndex end = rowStart_[y + 1];
        if (y >= 1 && Joined()) {
            if (k < end && runs_[k].first == 0)
                visit(0, 0, rowDark_[y] + 1);
            Label first = rowDark_[y] + 1;
            RunIndex lowered = NextLowered();
            for (; k < end; ++k) {
                const ZeroRun run = RunAt(k);
                if (settle) {
                    // A root takes its first interior cell's label, lowered by the
                    // border; any other run its parent's, which comes before it and
                    // is settled. Which of the two follows no pattern a predictor
                    // learns: both are read, one chosen by masks.
                    const RunIndex parent = parent_[k];
                    Label own = first + (run.first == 0);
                    for (; k == lowered; lowered = NextLowered())
                        own = std::min(own, lowerings_[nextLowering_++].label);
                    parent_[k] = Select(parent == k, own, parent_[parent]);
                }
                first += static_cast<Label>(run.last - run.first + 1);
                if (const ZeroRun inner = Interior(run); inner.first <= inner.last)
                    visit(inner.first, inner.last, parent_[k]);
            }
            return;
        }
        for (; k < end && runs_[k].first <= columns_ - 2; ++k) {
            const int last = std::min<int>(runs_[k].last, columns_ - 2);
            if (y == 0) {
                for (int x = runs_[k].first; x <= last; ++x)
                    visit(x, x, BorderLabelAt(k, x));
            } else {
                visit(0, 0, rowDark_[y] + 1);
            }
        }
    }

    // The dark cells of rows 0 to y.
    Label DarkThrough(int y) const { return rowDark_[y + 1]; }

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
        Run* starting = runs_.data() + rowStart_[y];
        Run* ending = starting;
        std::uint64_t carried = 0;
        for (std::size_t w = 0; w < wordsPerRow_; ++w) {
            const std::uint64_t next = w + 1 < wordsPerRow_ ? bits[w + 1] : 0;
            const int at = static_cast<int>(w * 64);
            for (std::uint64_t starts = bits[w] & ~((bits[w] << 1) | carried); starts != 0; starts &= starts - 1)
                (starting++)->first = static_cast<decltype(Run::first)>(at + std::countr_zero(starts));
            for (std::uint64_t ends = bits[w] & ~((bits[w] >> 1) | (next << 63)); ends != 0; ends &= ends - 1)
                (ending++)->last = static_cast<decltype(Run::last)>(at + std::countr_zero(ends));
            carried = bits[w] >> 63;
        }
    }

    // Run k's columns as ints, whatever they are held in.
    ZeroRun RunAt(RunIndex k) const { return {runs_[k].first, runs_[k].last}; }

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
            const ZeroRun runAbove = RunAt(above), run = RunAt(k);
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

    // The runs of the first and the last row (of the first alone in a plane of
    // one row), and where run k of either has its first label.
    std::size_t BorderRuns() const
    {
        const std::size_t top = rowStart_[1] - rowStart_[0];
        return rows_ == 1 ? top : top + (rowStart_[rows_] - rowStart_[rows_ - 1]);
    }
    std::size_t BorderIndex(RunIndex k) const
    {
        return k < rowStart_[1] ? k : rowStart_[1] + (k - rowStart_[rows_ - 1]);
    }

    // The label of the cell of run k in column x, for a run of the first or the
    // last row.
    Label BorderLabelAt(RunIndex k, int x) const
    {
        return borderFirst_[BorderIndex(k)] + static_cast<Label>(x - runs_[k].first);
    }

    // The smallest label of the dark cells of border row b from column first to last.
    Label SmallestInBorderRow(int b, int first, int last) const
    {
        const Run* begin = runs_.data() + rowStart_[b];
        const Run* end = runs_.data() + rowStart_[b + 1];
        const Run* run =
            std::lower_bound(begin, end, first, [](const Run& r, int column) { return r.last < column; });
        if (run == end || run->first > last)
            return NotDark;
        return BorderLabelAt(static_cast<RunIndex>(run - runs_.data()), std::max<int>(run->first, first));
    }

    // The label of the cell of border column 0 or C - 1 in row r, if dark: it can
    // only be the row's first or last run, and is then the row's first or last
    // dark cell.
    Label BorderCell(int r, bool east) const
    {
        if (rowStart_[r] == rowStart_[r + 1])
            return NotDark;
        const RunIndex k = east ? rowStart_[r + 1] - 1 : rowStart_[r];
        const int x = east ? columns_ - 1 : 0;
        if (runs_[k].first > x || x > runs_[k].last)
            return NotDark;
        return east ? rowDark_[r + 1] : rowDark_[r] + 1;
    }

    // The most lowerings there can be: two for each run of the rows next to the
    // top and the bottom border, six for each other row.
    std::size_t MostLowerings() const
    {
        if (rows_ < 3)
            return 0;
        return 2 * (static_cast<std::size_t>(rowStart_[2] - rowStart_[1]) + (rowStart_[rows_ - 1] - rowStart_[rows_ - 2])) +
               6 * static_cast<std::size_t>(rows_);
    }

    // Notes that the group of run takes label, where that is below its own.
    void Lower(RunIndex run, Label label)
    {
        if (label != NotDark)
            lowerings_[loweringCount_++] = {Root(run), label};
    }

    // The root of the next lowering, in the order of the roots; none past the
    // last.
    RunIndex NextLowered() const
    {
        return nextLowering_ < lowerings_.size() ? lowerings_[nextLowering_].root : NotDark;
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
                const ZeroRun inner = Interior(RunAt(k));
                if (inner.first > inner.last)
                    continue;
                if (y == 1)
                    Lower(k, SmallestInBorderRow(0, inner.first - 1, inner.last + 1));
                if (y == rows_ - 2)
                    Lower(k, SmallestInBorderRow(rows_ - 1, inner.first - 1, inner.last + 1));
            }
        const ZeroRun first = RunAt(begin), last = RunAt(end - 1);
        for (int r = y - 1; r <= y + 1; ++r) {
            if (first.first <= 1 && first.last >= 1)
                Lower(begin, BorderCell(r, false));
            if (last.first <= columns_ - 2 && last.last >= columns_ - 2)
                Lower(end - 1, BorderCell(r, true));
        }
    }

    static constexpr Label NotDark = std::numeric_limits<Label>::max();

    int rows_;
    int columns_;
    std::size_t wordsPerRow_;
    WorkingArena& arena_;
    WorkingArena* runArena_;
    // Each row's cells that are 0 as bits, where its runs start in runs_, and the
    // dark cells of the rows above it.
    std::span<std::uint64_t> zeroWords_;
    std::span<RunIndex> rowStart_;
    std::span<Label> rowDark_;
    // Per run: its cells; per run of the first and the last row: its first label.
    std::span<Run> runs_;
    std::span<Label> borderFirst_;
    // Per run of an interior row: its parent in its group, and its group's label
    // once its row is settled.
    std::span<RunIndex> parent_;
    // The border cells' labels that lower groups, by their roots.
    struct Lowering {
        RunIndex root;
        Label label;
    };
    std::span<Lowering> lowerings_;
    std::size_t loweringCount_ = 0, nextLowering_ = 0;
};

// A stretch of one region label in a row, as the labels are written.
struct Stretch {
    int first;
    int last;
    RegionLabel region;
};

// The region label of each working label: 1, 2, 3, ... for the labels counted
// more than largestDropped times, in ascending order, and 0 for the others. The
// table lies in the plane of regions, whose cells are written only once every
// label has its number: a label is the rank of a dark cell, so that there are no
// more of them than cells. Only the smallest label of each group is counted,
// besides those of border cells, so the table goes in blocks, each cleared when
// first counted in and noted in a bit; the numbering walks those blocks alone.
// A count stops at largestDropped + 1, all that is asked of it, so that it fits
// a region label however large the plane. Memory: a bit a block, from the arena.
template <class Label>
class RegionNumbers
{
public:
    static constexpr std::size_t Block = 16;

    // The words of bits that a table of this many labels takes.
    static std::size_t Words(std::size_t labels) { return (labels + Block * 64 - 1) / (Block * 64); }

    RegionNumbers(Label darkCount, Plane<RegionLabel>& plane, Label largestDropped, WorkingArena& arena)
        : table_(plane[0], static_cast<std::size_t>(darkCount)),
          counted_(arena.Take<std::uint64_t>(Words(static_cast<std::size_t>(darkCount)))),
          largestDropped_(largestDropped),
          enough_(largestDropped + 1)
    {
        std::fill(counted_.begin(), counted_.end(), 0);
    }

    void Count(Label label, Label cells)
    {
        const std::size_t at = static_cast<std::size_t>(label) - 1, block = at / Block;
        std::uint64_t& word = counted_[block / 64];
        const std::uint64_t bit = std::uint64_t{1} << (block % 64);
        if ((word & bit) == 0) {
            word |= bit;
            ClearBlock(block * Block);
        }
        RegionLabel& count = table_[at];
        count = static_cast<RegionLabel>(std::min<Label>(count + cells, enough_));
    }

    // Returns the number of regions; the numbers past the largest region label
    // wrap, for the caller to refuse.
    Label NumberKeptLabels()
    {
        Label regionLabel = 0;
        for (std::size_t w = 0; w < counted_.size(); ++w)
            for (std::uint64_t bits = counted_[w]; bits != 0; bits &= bits - 1)
                NumberBlock((w * 64 + static_cast<std::size_t>(std::countr_zero(bits))) * Block, regionLabel);
        return regionLabel;
    }

    // After NumberKeptLabels, for a label that was counted, while its entry
    // is not yet written over.
    RegionLabel RegionOf(Label label) const { return table_[static_cast<std::size_t>(label) - 1]; }

private:
    // The entries of a block: Block of them but at the table's end, where the
    // loops' length is known, and vectorised, for all but the last.
    template <class Work>
    void InBlock(std::size_t first, const Work& work) const
    {
        RegionLabel* block = table_.data() + first;
        if (first + Block <= table_.size())
            work(block, Block);
        else
            work(block, table_.size() - first);
    }

    void ClearBlock(std::size_t first) const
    {
        InBlock(first, [](RegionLabel* block, std::size_t size) {
            for (std::size_t k = 0; k < size; ++k)
                block[k] = 0;
        });
    }

    // The kept labels of a block take the next numbers, the others 0.
    void NumberBlock(std::size_t first, Label& regionLabel) const
    {
        InBlock(first, [&](RegionLabel* block, std::size_t size) {
            std::uint32_t kept = 0;
            for (std::size_t k = 0; k < size; ++k)
                kept |= static_cast<std::uint32_t>(block[k] > largestDropped_) << k;
            for (std::size_t k = 0; k < size; ++k)
                block[k] = 0;
            for (; kept != 0; kept &= kept - 1)
                block[std::countr_zero(kept)] = static_cast<RegionLabel>(++regionLabel);
        });
    }

    std::span<RegionLabel> table_;
    std::span<std::uint64_t> counted_;
    Label largestDropped_;
    Label enough_;
};

// What the labelling takes from the working arena after the runs: the bits of
// the blocks counted and a row of stretches.
template <class Label>
std::size_t BytesAfterRuns(int rows, int columns)
{
    return WorkingArena::BytesFor<Stretch>(static_cast<std::size_t>(columns)) +
           WorkingArena::BytesFor<std::uint64_t>(RegionNumbers<Label>::Words(static_cast<std::size_t>(rows) * columns));
}

}  // namespace

template <class Label, class Value>
void LabelWith(const Plane<Value>& imagePlane, Plane<RegionLabel>& regionPlane, int rows, int columns,
               RegionStarts* starts, int smallestRegion, WorkingArena& working, WorkingArena& runArena)
{
    WorkingLabels<Label> labels(rows, columns, working, runArena);
    labels.FindRuns(imagePlane, BytesAfterRuns<Label>(rows, columns));
    const Label darkCount = labels.NumberDarkPixels();
    labels.LowerGroupsFromBorder();

    // Count the counted area, each interior row as soon as it is settled, number
    // the kept labels in ascending order, then write each cell's region label.
    RegionNumbers<Label> numbers(darkCount, regionPlane, static_cast<Label>(std::max(smallestRegion, 1) - 1),
                                 working);
    for (int y = 0; y <= rows - 2; ++y)
        labels.ForEachStretch(y, true,
                              [&](int first, int last, Label label) { numbers.Count(label, last - first + 1); });
    const Label regionCount = numbers.NumberKeptLabels();
    if (regionCount >= std::numeric_limits<RegionLabel>::max())
        throw std::length_error("darkfill: more dark regions than 32-bit labels number");
    if (starts)
        starts->assign(static_cast<std::size_t>(regionCount) + 1, StartPixel());

    // Rows are written from the bottom up, each row's numbers read before any of
    // its cells is written: a label is no larger than the rank of any cell that
    // holds it, so that its entry lies in the row or in one above it, not yet
    // written. Only where the dark cells up to the row outnumber the cells above
    // it can an entry lie in the row itself; such a row's stretches are noted
    // first (for every row, the noise took 1.07 times as long to label).
    const std::span<Stretch> stretches = working.Take<Stretch>(static_cast<std::size_t>(columns));
    for (int y = rows - 2; y >= 0; --y) {
        std::size_t count = 0;
        const bool entriesAbove = labels.DarkThrough(y) <= static_cast<Label>(y) * static_cast<Label>(columns);
        if (!entriesAbove)
            labels.ForEachStretch(y, false, [&](int first, int last, Label label) {
                stretches[count++] = {first, last, numbers.RegionOf(label)};
            });
        RegionLabel* region = regionPlane[y];
        std::fill(region, region + columns - 1, RegionLabel{0});
        const auto write = [&](int first, int last, RegionLabel regionLabel) {
            std::fill(region + first, region + last + 1, regionLabel);
            // The last interior stretch of a label written, going up and each
            // row west to east, ends its topmost row: that is its start pixel.
            // Those dropped note theirs in the unused entry 0, cleared after.
            if (starts && y >= 1 && first >= 1)
                (*starts)[regionLabel] = StartPixel{y, last};
        };
        if (entriesAbove)
            labels.ForEachStretch(y, false, [&](int first, int last, Label label) {
                write(first, last, numbers.RegionOf(label));
            });
        for (const Stretch& stretch : stretches.first(count))
            write(stretch.first, stretch.last, stretch.region);
    }
    if (starts)
        (*starts)[0] = StartPixel();
    // The last row and column, outside the counted area, held entries of the
    // table.
    std::fill(regionPlane[rows - 1], regionPlane[rows - 1] + columns, RegionLabel{0});
    for (int y = 0; y < rows - 1; ++y)
        regionPlane[y][columns - 1] = 0;
}

namespace {

// Thirty-two-bit working labels where every dark cell's rank fits, sixty-four
// beyond: the labels are ranks of dark cells and the runs' indices below them.
// Rows wider than 16-bit columns reach take the wide form too, runs and all.
bool WideLabels(int rows, int columns)
{
    return static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(columns) >=
               std::numeric_limits<std::uint32_t>::max() ||
           columns > std::numeric_limits<std::uint16_t>::max() + 1;
}

template <class Label>
std::size_t BytesWith(int rows, int columns)
{
    return WorkingArena::BytesFor<std::uint64_t>((static_cast<std::size_t>(columns) + 63) / 64 * rows) +
           WorkingArena::BytesFor<Label>(static_cast<std::size_t>(rows) + 1) * 2 + BytesAfterRuns<Label>(rows, columns);
}

}  // namespace

template <class Value>
void LabelDarkRegions(const Plane<Value>& imagePlane, Plane<RegionLabel>& regionPlane, int rows, int columns,
                      RegionStarts* starts, int smallestRegion, WorkingArena* arena, WorkingArena* runArena)
{
    if (rows < 1 || columns < 1)
        return;
    WorkingArena ownArena, ownRunArena;
    WorkingArena& working = WorkingArena::GivenOr(arena, ownArena, LabellingBytes(rows, columns));
    WorkingArena& runs = runArena ? *runArena : ownRunArena;
    // Nothing the labelling takes outlives it: the stages after it take the same
    // room again.
    const std::size_t taken = working.Used();
    if (WideLabels(rows, columns))
        LabelWith<std::uint64_t>(imagePlane, regionPlane, rows, columns, starts, smallestRegion, working, runs);
    else
        LabelWith<std::uint32_t>(imagePlane, regionPlane, rows, columns, starts, smallestRegion, working, runs);
    working.Rewind(taken);
}

#define DARKFILL_LABELLING(Value)                                                                                   \
    template void LabelDarkRegions(const Plane<Value>&, Plane<RegionLabel>&, int, int, RegionStarts*, int,          \
                                   WorkingArena*, WorkingArena*);
DARKFILL_LABELLING(std::uint8_t)
DARKFILL_LABELLING(std::uint16_t)
DARKFILL_LABELLING(std::int32_t)
DARKFILL_LABELLING(float)
#undef DARKFILL_LABELLING
template void LabelWith<std::uint64_t>(const Plane<std::uint8_t>&, Plane<RegionLabel>&, int, int, RegionStarts*, int,
                                       WorkingArena&, WorkingArena&);

std::size_t LabellingBytes(int rows, int columns)
{
    return WideLabels(rows, columns) ? BytesWith<std::uint64_t>(rows, columns) : BytesWith<std::uint32_t>(rows, columns);
}

void ClearPlaneBorder(Plane<RegionLabel>& plane, int rows, int columns)
{
    if (rows < 1 || columns < 1)
        return;
    std::fill(plane[0], plane[0] + columns, RegionLabel{0});
    std::fill(plane[rows - 1], plane[rows - 1] + columns, RegionLabel{0});
    for (int y = 0; y < rows; ++y)
        plane[y][0] = plane[y][columns - 1] = 0;
}

}  // namespace darkfill
