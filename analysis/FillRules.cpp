#include "analysis/FillRules.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace darkfill {

namespace {

constexpr float NoRow = -1.0f;

// Lays the painted regions over the picture in both planes. Returns, per row,
// whether it holds a zero pixel.
std::vector<char> Composite(Plane& imagePlane, Plane& fillPlane, int rows, int columns)
{
    std::vector<char> holes(rows);
    for (int y = 0; y < rows; ++y) {
        float* image = imagePlane[y];
        float* fill = fillPlane[y];
        bool hole = false;
        for (int x = 0; x < columns; ++x) {
            const float value = image[x] + fill[x];
            image[x] = fill[x] = value;
            hole |= value == 0.0f;
        }
        holes[y] = hole;
    }
    return holes;
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

// Column by column: each cell's nearest source in its column (the upper at equal
// distance), as its row in scratch, NoRow where the column has none.
void NearestInColumns(const Plane& imagePlane, Plane& scratch, int rows, int columns)
{
    std::vector<float> above(columns, NoRow);
    for (int y = 0; y < rows; ++y) {
        const float* image = imagePlane[y];
        float* nearest = scratch[y];
        for (int x = 0; x < columns; ++x) {
            above[x] = image[x] > 0.0f ? static_cast<float>(y) : above[x];
            nearest[x] = above[x];
        }
    }
    std::vector<float> below(columns, NoRow);
    for (int y = rows - 1; y >= 0; --y) {
        const float* image = imagePlane[y];
        float* nearest = scratch[y];
        const float row = static_cast<float>(y);
        for (int x = 0; x < columns; ++x) {
            below[x] = image[x] > 0.0f ? row : below[x];
            const bool lower = below[x] != NoRow && (nearest[x] == NoRow || below[x] - row < row - nearest[x]);
            nearest[x] = lower ? below[x] : nearest[x];
        }
    }
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
    void Build(const float* nearest, int y, int first, int last)
    {
        count_ = 0;
        for (int q = first; q <= last; ++q) {
            if (nearest[q] == NoRow)
                continue;
            const std::int64_t dy = y - static_cast<int>(nearest[q]);
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
bool FillRowFromBackground(const float* image, float* fill, std::vector<int>& left, int columns, int reach, FarSide far,
                           std::span<ValueSource> sources, int y)
{
    int last = -1;
    for (int x = 0; x < columns; ++x) {
        last = image[x] > 0.0f ? x : last;
        left[x] = last;
    }
    bool pending = false;
    int next = -1;
    for (int x = columns - 1; x >= 0; --x) {
        if (image[x] > 0.0f)
            next = x;
        if (image[x] != 0.0f)
            continue;
        const bool fromLeft = Within(x, left[x], reach), fromRight = Within(x, next, reach);
        if (!fromLeft && !fromRight) {
            pending = true;
            continue;
        }
        fill[x] = fromLeft && fromRight ? Farther(image[left[x]], image[next], far)
                                        : image[fromLeft ? left[x] : next];
        Note(sources, y, x, columns, ValueSource::FromBackground);
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
    const std::vector<char> holes = Composite(imagePlane, fillPlane, rows, columns);
    if (std::find(holes.begin(), holes.end(), 1) == holes.end())
        return;
    NearestInColumns(imagePlane, scratch, rows, columns);
    const std::int64_t reachSquared = static_cast<std::int64_t>(reach) * reach;
    Envelope envelope(columns);
    std::vector<int> next(columns);
    for (int y = 0; y < rows; ++y) {
        if (!holes[y])
            continue;
        const float* image = imagePlane[y];
        const float* nearest = scratch[y];
        float* fill = fillPlane[y];
        int right = -1;
        for (int x = columns - 1; x >= 0; --x) {
            right = image[x] > 0.0f ? x : right;
            next[x] = right;
        }
        // A hole's nearest source lies no farther off than the nearest on its row
        // or in its column, so only the columns that close to one of the holes can
        // hold it: one envelope over each stretch of such columns.
        int left = -1;
        for (int x = 0; x < columns;) {
            if (image[x] != 0.0f) {
                left = image[x] > 0.0f ? x : left;
                ++x;
                continue;
            }
            int first = x, last = x, end = x;
            for (; end < columns && (image[end] == 0.0f || end <= last); ++end) {
                if (image[end] > 0.0f)
                    left = end;
                if (image[end] != 0.0f)
                    continue;
                std::int64_t bound = columns;
                if (left >= 0)
                    bound = std::min<std::int64_t>(bound, end - left);
                if (next[end] >= 0)
                    bound = std::min<std::int64_t>(bound, next[end] - end);
                if (nearest[end] != NoRow)
                    bound = std::min<std::int64_t>(bound, std::abs(y - static_cast<int>(nearest[end])));
                first = static_cast<int>(std::min<std::int64_t>(first, std::max<std::int64_t>(0, end - bound)));
                last = static_cast<int>(std::max<std::int64_t>(last, std::min<std::int64_t>(columns - 1, end + bound)));
            }
            envelope.Build(nearest, y, first, last);
            if (envelope.Empty())
                return;  // no source within the whole row's reach: none anywhere
            for (; x < end; ++x) {
                if (image[x] != 0.0f)
                    continue;
                const int column = envelope.NearestColumn(x);
                const int row = static_cast<int>(nearest[column]);
                const std::int64_t dx = x - column, dy = y - row;
                if (dx * dx + dy * dy > reachSquared)
                    continue;
                fill[x] = imagePlane[row][column];
                Note(sources, y, x, columns, ValueSource::FromNearest);
            }
        }
    }
}

void CompositeAndFillBackground(Plane& imagePlane, Plane& fillPlane, Plane& scratch, int rows, int columns,
                                std::span<ValueSource> sources, int reach, FarSide far)
{
    const std::vector<char> holes = Composite(imagePlane, fillPlane, rows, columns);
    std::vector<int> left(columns);
    bool pending = false;
    for (int y = 0; y < rows; ++y)
        if (holes[y])
            pending |= FillRowFromBackground(imagePlane[y], fillPlane[y], left, columns, reach, far, sources, y);
    if (pending)
        FillColumnsFromBackground(imagePlane, fillPlane, scratch, rows, columns, reach, far, sources);
}

}  // namespace darkfill
