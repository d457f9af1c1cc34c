#include "DarkRegionLabelling.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

namespace {

// In the working copy a cell that is not dark holds +infinity instead of 0, so the
// smallest label of a block is a plain minimum that the compiler can vectorise.
constexpr float NotDark = std::numeric_limits<float>::infinity();

// Written as a plain selection, which the compiler turns into vector code.
inline float Lower(float a, float b)
{
    return b < a ? b : a;
}

// The smallest label of a block whose rows' smallest labels are given; a cell
// that is not dark stays so.
inline float BlockLowest(float own, float above, float below, float level)
{
    const float lowest = Lower(Lower(above, below), level);
    return own == NotDark ? NotDark : lowest;
}

// The sweeps' inner loops, compiled for wider vector units as well where the
// processor may have them; the version is chosen once, when the program starts.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VECTOR_CLONES
#endif

// Lowers each cell of a row without dark neighbours in the row to its block's
// smallest label; returns how many cells changed.
VECTOR_CLONES int LowerRow(float* row, const float* above, const float* below, const float* level, int last)
{
    int changes = 0;
    for (int x = 1; x <= last; ++x) {
        const float lowest = BlockLowest(row[x], above[x], below[x], level[x]);
        changes += lowest < row[x];
        row[x] = lowest;
    }
    return changes;
}

VECTOR_CLONES void BlockLowestOfRow(float* lowest, const float* row, const float* above, const float* below,
                                    const float* level, int last)
{
    for (int x = 1; x <= last; ++x)
        lowest[x] = BlockLowest(row[x], above[x], below[x], level[x]);
}

VECTOR_CLONES int StoreRow(float* row, const float* lowest, int last)
{
    int changes = 0;
    for (int x = 1; x <= last; ++x) {
        changes += lowest[x] < row[x];
        row[x] = lowest[x];
    }
    return changes;
}

VECTOR_CLONES void AcrossOfRow(float* across, const float* row, int last)
{
    for (int x = 1; x <= last; ++x)
        across[x] = Lower(Lower(row[x - 1], row[x]), row[x + 1]);
}

// The working labels of one call, with what the sweeps need to skip rows that
// cannot change: a row is visited again only if it or a neighbouring row changed
// since its last visit. Times count row visits across all sweeps.
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
          lastAcross_(columns),
          lowest_(columns),
          runs_(rows),
          hasDark_(rows, false),
          rowHasDark_(rows, false),
          visitedAt_(rows, 0),
          changedAt_(rows, 0)
    {
    }

    float* operator[](int y) { return labelPlane_[y]; }

    // Gives the k-th dark pixel in raster order the label k; returns their count.
    int NumberDarkPixels(const Plane& imagePlane)
    {
        float counter = 0.0f;
        for (int y = 0; y < rows_; ++y) {
            const float* image = imagePlane[y];
            float* label = (*this)[y];
            int zeros = 0;
            for (int x = 0; x < columns_; ++x)
                zeros += image[x] == 0.0f;
            rowHasDark_[y] = zeros > 0;
            if (zeros == 0) {
                std::fill(label, label + columns_, NotDark);
                continue;
            }
            for (int x = 0; x < columns_; ++x) {
                if (image[x] == 0.0f) {
                    counter += 1.0f;
                    label[x] = counter;
                } else {
                    label[x] = NotDark;
                }
            }
        }
        return static_cast<int>(counter);
    }

    bool RowHasDark(int y) const { return rowHasDark_[y]; }

    // Forward and backward sweeps until one pair changes nothing.
    void Propagate()
    {
        FindRuns();
        for (int y = 0; y < rows_; ++y)
            UpdateAcross(y, (*this)[y]);
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
            if (!rowHasDark_[y])
                std::fill(label, label + columns_, 0.0f);
            else
                for (int x = 0; x < columns_; ++x)
                    label[x] = label[x] == NotDark ? 0.0f : label[x];
        }
    }

private:
    // A row whose block rows are all unchanged since its last visit would keep
    // every label: each already is the smallest of a block that has not changed.
    bool NeedsVisit(int y) const
    {
        return changedAt_[y - 1] >= visitedAt_[y] || changedAt_[y] >= visitedAt_[y] ||
               changedAt_[y + 1] >= visitedAt_[y];
    }

    // The smallest of each cell's label and those of its left and right
    // neighbours, kept for every row, so that a block's smallest label is the
    // smallest of three such entries.
    float* Across(int y) { return y < rows_ - 1 ? regionPlane_[y] : lastAcross_.data(); }

    void UpdateAcross(int y, const float* row) { AcrossOfRow(Across(y), row, columns_ - 2); }

    // Lowers every dark interior cell of row y to the smallest label of its 3 x 3
    // block, as an in-place sweep does: the row already swept in this sweep and the
    // cell just before in the row are read with their new labels. A first pass,
    // which vectorises, takes every block with the old label of the cell before;
    // that is exact where the cell before is not dark or lies on the border, so
    // only runs of dark cells need a second pass carrying the new label along.
    bool VisitRow(int y, bool forward)
    {
        if (!hasDark_[y] || !NeedsVisit(y))
            return false;
        const long now = ++time_;
        visitedAt_[y] = now;
        const float* above = Across(y - 1);
        const float* below = Across(y + 1);
        const float* level = Across(y);
        float* row = (*this)[y];
        const int last = columns_ - 2;
        int changes = 0;
        if (runs_[y].empty()) {
            // No dark cell has a dark cell beside it: every block can be taken at once.
            changes = LowerRow(row, above, below, level, last);
        } else {
            float* lowest = lowest_.data();
            BlockLowestOfRow(lowest, row, above, below, level, last);
            for (const Run& run : runs_[y]) {
                if (forward)
                    for (int x = run.first + 1; x <= run.last; ++x)
                        lowest[x] = std::min(lowest[x], lowest[x - 1]);
                else
                    for (int x = run.last - 1; x >= run.first; --x)
                        lowest[x] = std::min(lowest[x], lowest[x + 1]);
            }
            changes = StoreRow(row, lowest, last);
        }
        if (changes == 0)
            return false;
        UpdateAcross(y, row);
        changedAt_[y] = now;
        return true;
    }

    // Dark cells side by side in the interior of a row, two or more.
    struct Run {
        int first;
        int last;
    };

    void FindRuns()
    {
        for (int y = 1; y <= rows_ - 2; ++y) {
            const float* row = (*this)[y];
            for (int x = 1; x <= columns_ - 2; ++x) {
                if (row[x] == NotDark)
                    continue;
                const int first = x;
                while (x + 1 <= columns_ - 2 && row[x + 1] != NotDark)
                    ++x;
                hasDark_[y] = true;
                if (x > first)
                    runs_[y].push_back({first, x});
            }
        }
    }

    Plane& labelPlane_;
    Plane& regionPlane_;
    int rows_;
    int columns_;
    std::vector<float> lastAcross_;
    std::vector<float> lowest_;
    std::vector<std::vector<Run>> runs_;
    std::vector<bool> hasDark_;
    std::vector<bool> rowHasDark_;
    std::vector<long> visitedAt_;
    std::vector<long> changedAt_;
    long time_ = 0;
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
    std::vector<int> regionOf(static_cast<std::size_t>(darkCount) + 1, 0);
    for (int y = 0; y <= rows - 2; ++y) {
        if (!labels.RowHasDark(y))
            continue;
        const float* label = labelPlane[y];
        for (int x = 0; x <= columns - 2; ++x)
            if (label[x] > 0.0f)
                ++regionOf[static_cast<std::size_t>(label[x])];
    }
    int regionLabel = 0;
    for (int& entry : regionOf)
        entry = entry > RegionSizeThreshold ? ++regionLabel : 0;

    for (int y = 0; y <= rows - 2; ++y) {
        const float* label = labelPlane[y];
        float* region = regionPlane[y];
        if (!labels.RowHasDark(y)) {
            std::fill(region, region + columns - 1, 0.0f);
            continue;
        }
        for (int x = 0; x <= columns - 2; ++x)
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
