#include "analysis/DarkRegionLabelling.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <limits>
#include <vector>

namespace {

// In the working copy a cell that is not dark holds +infinity instead of 0, so the
// smallest label of a block is a plain minimum that the compiler can vectorise.
constexpr float NotDark = std::numeric_limits<float>::infinity();

// The smaller of two labels, written as a plain selection, which the compiler
// turns into vector code.
inline float SmallerOf(float a, float b)
{
    return b < a ? b : a;
}

// The smallest label of a cell's 3 x 3 block, from the three-cell minima (a cell
// and its left and right neighbours) of the row above, the row below and the
// cell's own row; a cell that is not dark stays so.
inline float BlockMinimum(float own, float above, float below, float sameRow)
{
    const float lowest = SmallerOf(SmallerOf(above, below), sameRow);
    return own == NotDark ? NotDark : lowest;
}

// The sweeps' inner loops, compiled for wider vector units as well where the
// processor may have them; the version is chosen once, when the program starts.
// Choosing at start needs ifunc, which only ELF systems have; others get the plain loops.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VECTOR_CLONES
#endif

// Writes each cell's block minimum into lowest, leaving the row as it is.
VECTOR_CLONES void BlockMinimaOfRow(float* lowest, const float* row, const float* above, const float* below,
                                    const float* sameRow, int first, int last)
{
    for (int x = first; x <= last; ++x)
        lowest[x] = BlockMinimum(row[x], above[x], below[x], sameRow[x]);
}

// How many lowered labels are lower than the row's.
VECTOR_CLONES int CountLowerLabels(const float* lowest, const float* row, int first, int last)
{
    int lower = 0;
    for (int x = first; x <= last; ++x)
        lower += lowest[x] < row[x];
    return lower;
}

// Writes the smallest of each cell's label and its left and right neighbours'.
VECTOR_CLONES void ThreeCellMinimaOfRow(float* minima, const float* row, int first, int last)
{
    for (int x = first; x <= last; ++x)
        minima[x] = SmallerOf(SmallerOf(row[x - 1], row[x]), row[x + 1]);
}

// The working labels of one call, with what the sweeps need to skip cells that
// cannot change: a cell is visited again only where its 3 x 3 block changed since
// its last visit.
//
// The labels are worked on in the label plane itself. The region plane, which is
// written only afterwards, holds each row's smallest neighbouring labels meanwhile;
// its last row, which the stage leaves alone, has a buffer of its own.
class WorkingLabels
{
public:
    WorkingLabels(Plane& labelPlane, Plane& regionPlane, int rows, int columns)
        : labelPlane_(labelPlane),
          regionPlane_(regionPlane),
          rows_(rows),
          columns_(columns),
          lastRowMinima_(columns),
          lowest_(columns),
          darkRuns_(rows),
          runs_(rows),
          span_(rows),
          hasDark_(rows, false),
          pending_(rows, Run{1, columns - 2})
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
            int zeros = 0;
            for (int x = 0; x < columns_; ++x)
                zeros += image[x] == 0.0f;
            if (zeros == 0) {
                std::fill(label, label + columns_, NotDark);
                continue;
            }
            for (int x = 0; x < columns_; ++x) {
                if (image[x] != 0.0f) {
                    label[x] = NotDark;
                    continue;
                }
                const int first = x;
                for (; x < columns_ && image[x] == 0.0f; ++x)
                    label[x] = static_cast<float>(++count);
                darkRuns_[y].push_back({first, x - 1});
                if (x < columns_)
                    label[x] = NotDark;
            }
        }
        return count;
    }

    // Dark pixels side by side in a row.
    struct Run {
        int first;
        int last;
    };

    const std::vector<Run>& DarkRuns(int y) const { return darkRuns_[y]; }

    // Forward and backward sweeps until one pair changes nothing.
    void Propagate()
    {
        FindRuns();
        for (int y = 0; y < rows_; ++y)
            UpdateThreeCellMinima(y, 1, columns_ - 2);
        bool changed;
        do {
            changed = false;
            for (int y = 1; y <= rows_ - 2; ++y)
                changed |= VisitRow(y, true);
            for (int y = rows_ - 2; y >= 1; --y)
                changed |= VisitRow(y, false);
        } while (changed);
    }

    // Leaves the labels as the plane holds them: 0 for a cell that is not dark.
    void Finish()
    {
        for (int y = 0; y < rows_; ++y) {
            float* label = (*this)[y];
            if (darkRuns_[y].empty())
                std::fill(label, label + columns_, 0.0f);
            else
                for (int x = 0; x < columns_; ++x)
                    label[x] = label[x] == NotDark ? 0.0f : label[x];
        }
    }

private:
    // Nothing pending: first past last.
    static constexpr Run NothingPending{1 << 30, -1};

    // Notes that the blocks of the cells first to last of row y and of the rows
    // beside it changed: those cells are visited again, and only those, since a
    // cell whose block has not changed since its last visit keeps its label (it
    // already is the smallest of that block).
    void MarkChanged(int y, int first, int last)
    {
        for (int r = std::max(y - 1, 1); r <= std::min(y + 1, rows_ - 2); ++r) {
            pending_[r].first = std::min(pending_[r].first, first - 1);
            pending_[r].last = std::max(pending_[r].last, last + 1);
        }
    }

    // The smallest of each cell's label and those of its left and right
    // neighbours, kept for every row, so that a block's smallest label is the
    // smallest of three such entries.
    float* ThreeCellMinima(int y) { return y < rows_ - 1 ? regionPlane_[y] : lastRowMinima_.data(); }

    void UpdateThreeCellMinima(int y, int first, int last)
    {
        ThreeCellMinimaOfRow(ThreeCellMinima(y), (*this)[y], first, last);
    }

    // The interior run of two or more dark cells of row y that holds column x, or
    // an empty run where none does.
    Run RunAt(int y, int x) const
    {
        const std::vector<Run>& runs = runs_[y];
        auto after = std::upper_bound(runs.begin(), runs.end(), x, [](int column, const Run& run) {
            return column < run.first;
        });
        if (after == runs.begin() || std::prev(after)->last < x)
            return NothingPending;
        return *std::prev(after);
    }

    // Lowers the dark interior cells of row y whose blocks changed since their last
    // visit to the smallest label of their 3 x 3 block, as an in-place sweep does:
    // the row already swept in this sweep and the cell just before in the row are
    // read with their new labels. A first pass, which vectorises, takes every
    // block with the old label of the cell before; that is exact where the cell
    // before is not dark or was not visited again, so only runs of dark cells need
    // a second pass carrying the new label along.
    bool VisitRow(int y, bool forward)
    {
        const Run& span = span_[y];
        int a = std::max(pending_[y].first, span.first);
        int b = std::min(pending_[y].last, span.last);
        pending_[y] = NothingPending;
        if (!hasDark_[y] || a > b)
            return false;
        // A new label carries on along its run in the sweep's direction, so the
        // visit takes in the rest of the run where the range ends inside one.
        if (forward)
            b = std::max(b, RunAt(y, b).last);
        else
            a = std::min(a, RunAt(y, a).first);
        const float* above = ThreeCellMinima(y - 1);
        const float* below = ThreeCellMinima(y + 1);
        const float* sameRow = ThreeCellMinima(y);
        float* row = (*this)[y];
        float* lowest = lowest_.data();
        // A few cells are not worth a call into the vectorised loops.
        constexpr int ShortRange = 16;
        const bool shortRange = b - a < ShortRange;
        if (shortRange)
            for (int x = a; x <= b; ++x)
                lowest[x] = BlockMinimum(row[x], above[x], below[x], sameRow[x]);
        else
            BlockMinimaOfRow(lowest, row, above, below, sameRow, a, b);
        for (const Run& run : runs_[y]) {
            const int from = std::max(run.first, a);
            const int to = std::min(run.last, b);
            if (forward)
                for (int x = from + 1; x <= to; ++x)
                    lowest[x] = std::min(lowest[x], lowest[x - 1]);
            else
                for (int x = to - 1; x >= from; --x)
                    lowest[x] = std::min(lowest[x], lowest[x + 1]);
        }
        if (!shortRange && CountLowerLabels(lowest, row, a, b) == 0)
            return false;
        // Block minima never exceed the labels, so the changed cells are those
        // from the first lower one to the last.
        int lo = a;
        while (lo <= b && !(lowest[lo] < row[lo]))
            ++lo;
        if (lo > b)
            return false;
        int hi = b;
        while (!(lowest[hi] < row[hi]))
            --hi;
        std::copy(lowest + lo, lowest + hi + 1, row + lo);
        UpdateThreeCellMinima(y, std::max(lo - 1, 1), std::min(hi + 1, columns_ - 2));
        MarkChanged(y, lo, hi);
        return true;
    }

    // The interior part of each row's runs: the span from the first to the last,
    // and those of two or more pixels, along which a sweep carries a new label.
    void FindRuns()
    {
        for (int y = 1; y <= rows_ - 2; ++y)
            for (const Run& run : darkRuns_[y]) {
                const int first = std::max(run.first, 1);
                const int last = std::min(run.last, columns_ - 2);
                if (first > last)
                    continue;
                span_[y] = {hasDark_[y] ? span_[y].first : first, last};
                hasDark_[y] = true;
                if (first < last)
                    runs_[y].push_back({first, last});
            }
    }

    Plane& labelPlane_;
    Plane& regionPlane_;
    int rows_;
    int columns_;
    std::vector<float> lastRowMinima_;
    std::vector<float> lowest_;
    std::vector<std::vector<Run>> darkRuns_;
    std::vector<std::vector<Run>> runs_;
    std::vector<Run> span_;
    std::vector<bool> hasDark_;
    // The columns of each row whose blocks changed since its last visit.
    std::vector<Run> pending_;
};

}  // namespace

void LabelDarkRegions(const Plane& imagePlane, Plane& labelPlane, Plane& regionPlane, int rows, int columns)
{
    if (rows < 1 || columns < 1)
        return;
    WorkingLabels labels(labelPlane, regionPlane, rows, columns);
    const int darkCount = labels.NumberDarkPixels(imagePlane);
    if (rows >= 3 && columns >= 3)
        labels.Propagate();
    labels.Finish();

    // Count the counted area, then number the kept labels in ascending order: the
    // table maps each working label to its region label, 0 for a dropped one.
    const int lastCounted = columns - 2;
    std::vector<int> regionOf(static_cast<std::size_t>(darkCount) + 1, 0);
    for (int y = 0; y <= rows - 2; ++y) {
        const float* label = labelPlane[y];
        for (const auto& run : labels.DarkRuns(y))
            for (int x = run.first; x <= std::min(run.last, lastCounted); ++x)
                ++regionOf[static_cast<std::size_t>(label[x])];
    }
    int regionLabel = 0;
    for (int& entry : regionOf)
        entry = entry > RegionSizeThreshold ? ++regionLabel : 0;

    for (int y = 0; y <= rows - 2; ++y) {
        const float* label = labelPlane[y];
        float* region = regionPlane[y];
        std::fill(region, region + lastCounted + 1, 0.0f);
        for (const auto& run : labels.DarkRuns(y))
            for (int x = run.first; x <= std::min(run.last, lastCounted); ++x)
                region[x] = static_cast<float>(regionOf[static_cast<std::size_t>(label[x])]);
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
