#include "analysis/FillRules.h"

#include "analysis/CellBlocks.h"
#include "analysis/GapFilling.h"
#include "analysis/VectorClones.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

namespace darkfill {

namespace {

// The rows that a column without a source above, or below, holds as its nearest
// there: farther off than any source in a plane, so that choosing the nearer of
// the two needs no test for "none" (both are exact as floats).
constexpr int NoRow = -1;
constexpr int NoSourceAbove = -(1 << 29);
constexpr int NoSourceBelow = 1 << 29;

// Lays the painted regions over the picture in both planes. Returns the number of
// zero pixels in the row.
VECTOR_FORMS(int, CompositeRow, (float* image, float* fill, int columns), (image, fill, columns))
{
    int gaps = 0;
    for (int x = 0; x < columns; ++x) {
        const float value = image[x] + fill[x];
        image[x] = fill[x] = value;
        gaps += value == 0.0f;
    }
    return gaps;
}

// The same, going up the plane, and each cell of the row notes in below the row of
// its column's nearest source at or below it (nextBelow carries them up).
VECTOR_FORMS(int, CompositeRowNotingBelow, (float* image, float* fill, int* nextBelow, float* below, int y, int columns),
             (image, fill, nextBelow, below, y, columns))
{
    int gaps = 0;
    for (int x = 0; x < columns; ++x) {
        const float value = image[x] + fill[x];
        image[x] = fill[x] = value;
        nextBelow[x] = value > 0.0f ? y : nextBelow[x];
        below[x] = static_cast<float>(nextBelow[x]);
        gaps += value == 0.0f;
    }
    return gaps;
}

// Each column's nearest source to row y, the upper at equal distance; NoRow for
// none.
VECTOR_FORMS(void, NearestInColumns, (const int* above, const float* below, int* nearest, int y, int columns),
             (above, below, nearest, y, columns))
{
    for (int x = 0; x < columns; ++x) {
        const int down = static_cast<int>(below[x]);
        const int row = down - y < y - above[x] ? down : above[x];
        nearest[x] = row == NoSourceAbove || row == NoSourceBelow ? NoRow : row;
    }
}

void Note(std::span<ValueSource> sources, int y, int x, int columns, ValueSource source)
{
    if (!sources.empty())
        sources[static_cast<std::size_t>(y) * columns + x] = source;
}

// Whether a source at that distance along a row or column is within reach.
bool Within(int from, int to, int reach)
{
    return to >= 0 && std::abs(to - from) <= reach;
}

std::int64_t FloorDivide(std::int64_t n, std::int64_t d)
{
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}

// The lower envelope, along one row, of the parabolas (x - q)^2 + f(q), one for
// each column q with a source, f(q) the squared distance to the column's nearest.
class Envelope
{
public:
    explicit Envelope(int columns) : column_(columns), key_(columns), start_(columns) {}

    // Over the columns from first to last.
    void Build(const int* nearest, int y, int first, int last)
    {
        count_ = 0;
        for (int q = first; q <= last; ++q) {
            if (nearest[q] == NoRow)
                continue;
            const std::int64_t dy = y - nearest[q];
            const std::int64_t key = dy * dy + static_cast<std::int64_t>(q) * q;
            std::int64_t start = std::numeric_limits<std::int64_t>::min();
            while (count_ > 0) {
                // The first column where q is strictly nearer than the last parabola:
                // before it, at equal distance too, the left one keeps the cell.
                const int v = column_[count_ - 1];
                start = FloorDivide(key - key_[count_ - 1], 2 * static_cast<std::int64_t>(q - v)) + 1;
                if (count_ > 1 && start <= start_[count_ - 1]) {
                    --count_;
                    continue;
                }
                break;
            }
            column_[count_] = q;
            key_[count_] = key;
            start_[count_] = count_ == 0 ? std::numeric_limits<std::int64_t>::min() : start;
            ++count_;
        }
        at_ = 0;
    }

    bool Empty() const { return count_ == 0; }

    // The column of the nearest source for x; x must not decrease between calls.
    int NearestColumn(int x)
    {
        while (at_ + 1 < count_ && start_[at_ + 1] <= x)
            ++at_;
        return column_[at_];
    }

private:
    std::vector<int> column_;
    std::vector<std::int64_t> key_;
    std::vector<std::int64_t> start_;
    int count_ = 0;
    int at_ = 0;
};

float Farther(float a, float b, FarSide far)
{
    return far == FarSide::Larger ? std::max(a, b) : std::min(a, b);
}

// Along one row: each zero pixel from the farther of its two nearest sources, or
// the one within reach. Returns whether a pixel is left for its column.
bool FillRowFromBackground(const float* image, float* fill, std::vector<ZeroRun>& runs, RunSides& sides, int columns,
                           int reach, FarSide far, std::span<ValueSource> sources, int y)
{
    runs.clear();
    ForEachZeroRun(image, 0, columns - 1, [&runs](int first, int last) { runs.push_back({first, last}); });
    sides = RunSides();
    bool pending = false;
    for (const ZeroRun& run : runs) {
        const auto [left, right] = sides.Of(image, run, columns);
        for (int x = run.first; x <= run.last; ++x) {
            const bool fromLeft = Within(x, left, reach), fromRight = right < columns && Within(x, right, reach);
            if (!fromLeft && !fromRight) {
                pending = true;
                continue;
            }
            fill[x] = fromLeft && fromRight ? Farther(image[left], image[right], far) : image[fromLeft ? left : right];
            Note(sources, y, x, columns, ValueSource::FromBackground);
        }
    }
    return pending;
}

// What the rows left: the same along the columns, the source above each such
// pixel noted in scratch going down, the one below found going up.
void FillColumnsFromBackground(const Plane& imagePlane, Plane& fillPlane, Plane& scratch, int rows, int columns,
                               int reach, FarSide far, std::span<ValueSource> sources)
{
    std::vector<int> above(columns, -1);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            above[x] = imagePlane[y][x] > 0.0f ? y : above[x];
            if (fillPlane[y][x] == 0.0f)
                scratch[y][x] = static_cast<float>(above[x]);
        }
    std::vector<int> below(columns, -1);
    for (int y = rows - 1; y >= 0; --y)
        for (int x = 0; x < columns; ++x) {
            if (imagePlane[y][x] > 0.0f)
                below[x] = y;
            if (fillPlane[y][x] != 0.0f)
                continue;
            const int up = static_cast<int>(scratch[y][x]);
            const bool fromAbove = Within(y, up, reach), fromBelow = Within(y, below[x], reach);
            if (!fromAbove && !fromBelow)
                continue;
            fillPlane[y][x] = fromAbove && fromBelow ? Farther(imagePlane[up][x], imagePlane[below[x]][x], far)
                                                     : imagePlane[fromAbove ? up : below[x]][x];
            Note(sources, y, x, columns, ValueSource::FromBackground);
        }
}

}  // namespace

void CompositeAndFillNearest(Plane& imagePlane, Plane& fillPlane, Plane& scratch, int rows, int columns,
                             std::span<ValueSource> sources, int reach)
{
    std::vector<char> holes(rows);
    // Each column's nearest source so far: below the row going up, above it going down.
    std::vector<int> carried(columns, NoSourceBelow);
    for (int y = rows - 1; y >= 0; --y)
        holes[y] = CompositeRowNotingBelow(imagePlane[y], fillPlane[y], carried.data(), scratch[y], y, columns) > 0;
    if (std::find(holes.begin(), holes.end(), 1) == holes.end())
        return;
    const std::int64_t reachSquared = static_cast<std::int64_t>(reach) * reach;
    Envelope envelope(columns);
    std::vector<int> nearest(columns);
    std::vector<ZeroRun> runs;
    RunSides sides;
    std::fill(carried.begin(), carried.end(), NoSourceAbove);
    for (int y = 0; y < rows; ++y) {
        const float* image = imagePlane[y];
        NoteSourcesAbove(image, carried.data(), y, columns);
        if (!holes[y])
            continue;
        NearestInColumns(carried.data(), scratch[y], nearest.data(), y, columns);
        runs.clear();
        ForEachZeroRun(image, 0, columns - 1, [&runs](int first, int last) { runs.push_back({first, last}); });
        sides = RunSides();
        // A hole's nearest source lies no farther off than the nearest on its row
        // or in its column, so only the columns that close to one of the holes can
        // hold it: one envelope over each stretch of runs whose such columns meet.
        for (std::size_t r = 0, end; r < runs.size(); r = end) {
            int first = runs[r].first, last = runs[r].first;
            for (end = r; end < runs.size() && (end == r || runs[end].first <= last); ++end) {
                const auto [left, right] = sides.Of(image, runs[end], columns);
                for (int x = runs[end].first; x <= runs[end].last; ++x) {
                    std::int64_t bound = columns;
                    if (left >= 0)
                        bound = std::min<std::int64_t>(bound, x - left);
                    if (right < columns)
                        bound = std::min<std::int64_t>(bound, right - x);
                    if (nearest[x] != NoRow)
                        bound = std::min<std::int64_t>(bound, std::abs(y - nearest[x]));
                    first = static_cast<int>(std::min<std::int64_t>(first, std::max<std::int64_t>(0, x - bound)));
                    last = static_cast<int>(std::max<std::int64_t>(last, std::min<std::int64_t>(columns - 1, x + bound)));
                }
            }
            envelope.Build(nearest.data(), y, first, last);
            if (envelope.Empty())
                return;  // no source within the whole row's reach: none anywhere
            for (std::size_t k = r; k < end; ++k)
                for (int x = runs[k].first; x <= runs[k].last; ++x) {
                    const int column = envelope.NearestColumn(x);
                    const int row = nearest[column];
                    const std::int64_t dx = x - column, dy = y - row;
                    if (dx * dx + dy * dy > reachSquared)
                        continue;
                    fillPlane[y][x] = imagePlane[row][column];
                    Note(sources, y, x, columns, ValueSource::FromNearest);
                }
        }
    }
}

void CompositeAndFillBackground(Plane& imagePlane, Plane& fillPlane, Plane& scratch, int rows, int columns,
                                std::span<ValueSource> sources, int reach, FarSide far)
{
    std::vector<ZeroRun> runs;
    RunSides sides;
    bool pending = false;
    for (int y = 0; y < rows; ++y)
        if (CompositeRow(imagePlane[y], fillPlane[y], columns) > 0)
            pending |= FillRowFromBackground(imagePlane[y], fillPlane[y], runs, sides, columns, reach, far, sources, y);
    if (pending)
        FillColumnsFromBackground(imagePlane, fillPlane, scratch, rows, columns, reach, far, sources);
}

}  // namespace darkfill
