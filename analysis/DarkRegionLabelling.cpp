#include "analysis/DarkRegionLabelling.h"

#include "analysis/CellBlocks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace darkfill {

namespace {

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
    void Reserve(std::size_t runs) { runs_.reserve(runs); }
    std::size_t Size() const { return runs_.size(); }
    // Closes row y, whose runs are those added since the row before was closed.
    void EndRow(int y) { start_[y + 1] = runs_.size(); }

    std::span<const Run> Row(int y) const
    {
        return {runs_.data() + start_[y], runs_.data() + start_[y + 1]};
    }

private:
    std::vector<Run> runs_;
    std::vector<std::size_t> start_;
};

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
// so a root's first cell holds the group's smallest first label), each border
// dark cell lowers the groups beside it, and each run then takes its group's
// label. Time: linear in the runs, but for one binary search per run of the rows
// next to the top and bottom border. Memory: three numbers a run.
class WorkingLabels
{
public:
    WorkingLabels(Plane& labelPlane, int rows, int columns)
        : labelPlane_(labelPlane),
          rows_(rows),
          columns_(columns),
          darkRuns_(rows),
          interiorRuns_(rows),
          firstRun_(static_cast<std::size_t>(rows) + 1, 0),
          zeroWordsOfRow_(ZeroWordsForThisProcessor()),
          zeroWords_((columns + 63) / 64)
    {
    }

    // Gives the k-th dark pixel in raster order the label k, 0 to the others, and
    // notes each row's runs of dark pixels; returns their count. The count is kept
    // as an integer: the same whole numbers as counting in floats, for every plane
    // of fewer than 2^24 cells.
    int NumberDarkPixels(const Plane& imagePlane)
    {
        int count = 0;
        for (int y = 0; y < rows_; ++y) {
            const float* image = imagePlane[y];
            float* label = labelPlane_[y];
            std::fill(label, label + columns_, 0.0f);
            zeroWordsOfRow_(image, columns_, zeroWords_.data());
            ForEachRunOfBits([&](int chunk, int) { return zeroWords_[chunk / 64]; }, 0, columns_ - 1,
                             [&](int first, int last) { count = NumberRun(label, {first, last}, count); });
            darkRuns_.EndRow(y);
        }
        return count;
    }

    std::span<const Run> DarkRuns(int y) const { return darkRuns_.Row(y); }

    // The labels that the sweeps settle on; for planes of at least 3 x 3 cells.
    void Propagate()
    {
        JoinInteriorRuns();
        for (int y = 1; y <= rows_ - 2; ++y)
            LowerFromBorder(y);
        for (int y = 1; y <= rows_ - 2; ++y) {
            const std::span<const Run> runs = interiorRuns_.Row(y);
            for (std::size_t k = 0; k < runs.size(); ++k) {
                const float group = lowest_[Root(firstRun_[y] + static_cast<std::uint32_t>(k))];
                std::fill(labelPlane_[y] + runs[k].first, labelPlane_[y] + runs[k].last + 1, group);
            }
        }
    }

private:
    // Notes a run and numbers its pixels on from count; returns the new count.
    int NumberRun(float* label, const Run& run, int count)
    {
        darkRuns_.Add(run);
        for (int x = run.first; x <= run.last; ++x)
            label[x] = static_cast<float>(count + 1 + (x - run.first));
        return count + (run.last - run.first + 1);
    }

    std::uint32_t Root(std::uint32_t run)
    {
        while (parent_[run] != run) {
            parent_[run] = parent_[parent_[run]];
            run = parent_[run];
        }
        return run;
    }

    void Join(std::uint32_t a, std::uint32_t b)
    {
        a = Root(a);
        b = Root(b);
        if (a != b)
            parent_[std::max(a, b)] = std::min(a, b);
    }

    // The interior part of each run (columns 1 to C - 2 of rows 1 to R - 2), each
    // group of them that touch across rows joined; a group's label starts as its
    // root's first cell's.
    void JoinInteriorRuns()
    {
        interiorRuns_.Reserve(darkRuns_.Size());
        parent_.reserve(darkRuns_.Size());
        lowest_.reserve(darkRuns_.Size());
        for (int y = 0; y < rows_; ++y) {
            firstRun_[y] = static_cast<std::uint32_t>(parent_.size());
            if (y >= 1 && y <= rows_ - 2)
                for (const Run& run : darkRuns_.Row(y)) {
                    const Run inner{std::max(run.first, 1), std::min(run.last, columns_ - 2)};
                    if (inner.first > inner.last)
                        continue;
                    interiorRuns_.Add(inner);
                    parent_.push_back(static_cast<std::uint32_t>(parent_.size()));
                    lowest_.push_back(labelPlane_[y][inner.first]);
                }
            interiorRuns_.EndRow(y);
        }
        firstRun_[rows_] = static_cast<std::uint32_t>(parent_.size());
        for (int y = 2; y <= rows_ - 2; ++y) {
            const std::span<const Run> above = interiorRuns_.Row(y - 1), row = interiorRuns_.Row(y);
            std::size_t i = 0;
            for (std::size_t k = 0; k < row.size(); ++k) {
                while (i < above.size() && above[i].last < row[k].first - 1)
                    ++i;
                for (std::size_t j = i; j < above.size() && above[j].first <= row[k].last + 1; ++j)
                    Join(firstRun_[y - 1] + static_cast<std::uint32_t>(j), firstRun_[y] + static_cast<std::uint32_t>(k));
            }
        }
    }

    // The smallest label of the dark cells of border row b from column first to last.
    float SmallestInBorderRow(int b, int first, int last) const
    {
        const std::span<const Run> runs = darkRuns_.Row(b);
        const auto run = std::lower_bound(runs.begin(), runs.end(), first,
                                          [](const Run& r, int column) { return r.last < column; });
        if (run == runs.end() || run->first > last)
            return NotDark;
        return labelPlane_[b][std::max(run->first, first)];
    }

    // The label of the cell of border column x in row r, if dark.
    float BorderCell(int r, int x) const { return labelPlane_[r][x] > 0.0f ? labelPlane_[r][x] : NotDark; }

    void Lower(std::uint32_t run, float label)
    {
        float& group = lowest_[Root(run)];
        group = std::min(group, label);
    }

    // Each run of interior row y takes in the border dark cells beside it: above
    // or below it in the border rows, and left or right of it in the border columns.
    void LowerFromBorder(int y)
    {
        const std::span<const Run> runs = interiorRuns_.Row(y);
        if (runs.empty())
            return;
        const std::uint32_t base = firstRun_[y];
        if (y == 1 || y == rows_ - 2)
            for (std::size_t k = 0; k < runs.size(); ++k) {
                const int b = y == 1 ? 0 : rows_ - 1;
                const auto run = base + static_cast<std::uint32_t>(k);
                Lower(run, SmallestInBorderRow(b, runs[k].first - 1, runs[k].last + 1));
                if (y == 1 && y == rows_ - 2)
                    Lower(run, SmallestInBorderRow(rows_ - 1, runs[k].first - 1, runs[k].last + 1));
            }
        for (const int x : {0, columns_ - 1}) {
            const std::size_t k = x == 0 ? 0 : runs.size() - 1;
            if ((x == 0 && runs[k].first != 1) || (x != 0 && runs[k].last != columns_ - 2))
                continue;
            for (int r = y - 1; r <= y + 1; ++r)
                Lower(base + static_cast<std::uint32_t>(k), BorderCell(r, x));
        }
    }

    static constexpr float NotDark = 3.0e38f;

    Plane& labelPlane_;
    int rows_;
    int columns_;
    RunTable darkRuns_;
    RunTable interiorRuns_;
    // The index of each row's first interior run; then, per interior run, its
    // parent in its group and, for a root, the group's label.
    std::vector<std::uint32_t> firstRun_;
    std::vector<std::uint32_t> parent_;
    std::vector<float> lowest_;
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
                      RegionStarts* starts, int smallestRegion)
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
    for (int y = 0; y <= rows - 2; ++y) {
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
