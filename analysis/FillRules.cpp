#include "analysis/FillRules.h"

#include "analysis/CellBlocks.h"
#include "analysis/GapFilling.h"
#include "analysis/VectorForms.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace darkfill {

namespace {

// A column without a source below a cell notes this row there; one without a
// source above carries NoRow.
constexpr std::uint32_t NoRowBelow = std::numeric_limits<std::uint32_t>::max();
constexpr int NoRow = -1;

// Going up the plane: in each row that holds a zero cell, each cell notes in
// scratch the row of its column's nearest source below it. Returns, per row,
// whether it holds a zero cell.
template <class Value>
std::vector<char> NoteRowsBelow(const Plane<Value>& plane, Plane<std::uint32_t>& scratch)
{
    const int rows = plane.Rows(), columns = plane.Columns();
    std::vector<char> zeroRows(static_cast<std::size_t>(rows));
    std::vector<std::uint32_t> nextBelow(static_cast<std::size_t>(columns), NoRowBelow);
    for (int y = rows - 1; y >= 0; --y) {
        const Value* row = plane[y];
        zeroRows[y] = ZeroCount(row, columns) > 0;
        if (zeroRows[y])
            std::copy(nextBelow.begin(), nextBelow.end(), scratch[y]);
        for (int x = 0; x < columns; ++x)
            nextBelow[x] = row[x] > Value{} ? static_cast<std::uint32_t>(y) : nextBelow[x];
    }
    return zeroRows;
}

void Note(std::span<ValueSource> sources, int y, int x, int columns, ValueSource source)
{
    if (!sources.empty())
        sources[static_cast<std::size_t>(y) * columns + x] = source;
}

// Whether a source at that distance along a row or column is within reach.
bool Within(int from, int to, int reach)
{
    return to >= 0 && std::abs(static_cast<std::int64_t>(to) - from) <= reach;
}

// Each column's nearest source to row y, the upper at equal distance; NoRow for
// none.
void NearestInColumns(const int* above, const std::uint32_t* below, int* nearest, int y, int columns)
{
    constexpr std::int64_t Far = std::int64_t{1} << 40;
    for (int x = 0; x < columns; ++x) {
        const std::int64_t down = below[x] == NoRowBelow ? Far : below[x];
        const std::int64_t up = above[x] == NoRow ? -Far : above[x];
        const std::int64_t row = down - y < y - up ? down : up;
        nearest[x] = row == Far || row == -Far ? NoRow : static_cast<int>(row);
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

template <class Value>
Value Farther(Value a, Value b, FarSide far)
{
    return far == FarSide::Larger ? std::max(a, b) : std::min(a, b);
}

}  // namespace

template <class Value>
void FillNearest(Plane<Value>& plane, Plane<std::uint32_t>& scratch, std::span<ValueSource> sources, int reach)
{
    const int rows = plane.Rows(), columns = plane.Columns();
    const std::vector<char> zeroRows = NoteRowsBelow(plane, scratch);
    if (std::find(zeroRows.begin(), zeroRows.end(), 1) == zeroRows.end())
        return;
    const std::int64_t reachSquared = static_cast<std::int64_t>(reach) * reach;
    Envelope envelope(columns);
    std::vector<int> above(static_cast<std::size_t>(columns), NoRow), nearest(static_cast<std::size_t>(columns));
    std::vector<ZeroRun> runs;
    RunSides sides;
    for (int y = 0; y < rows; ++y) {
        Value* row = plane[y];
        Vectorised([&] { NoteSourcesAbove(row, above.data(), y, columns); });
        if (!zeroRows[y])
            continue;
        NearestInColumns(above.data(), scratch[y], nearest.data(), y, columns);
        runs.clear();
        ForEachZeroRun(row, 0, columns - 1, [&runs](int first, int last) { runs.push_back({first, last}); });
        sides = RunSides();
        // A hole's nearest source lies no farther off than the nearest on its row
        // or in its column, so only the columns that close to one of the holes can
        // hold it: one envelope over each stretch of runs whose such columns meet.
        for (std::size_t r = 0, end; r < runs.size(); r = end) {
            int first = runs[r].first, last = runs[r].first;
            for (end = r; end < runs.size() && (end == r || runs[end].first <= last); ++end) {
                const auto [left, right] = sides.Of(row, runs[end], columns);
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
                    const int sourceRow = nearest[column];
                    const std::int64_t dx = x - column, dy = y - sourceRow;
                    if (dx * dx + dy * dy > reachSquared)
                        continue;
                    row[x] = plane[sourceRow][column];
                    Note(sources, y, x, columns, ValueSource::FromNearest);
                }
        }
    }
}

template <class Value>
void FillBackground(Plane<Value>& plane, Plane<std::uint32_t>& scratch, std::span<ValueSource> sources, int reach,
                    FarSide far)
{
    const int rows = plane.Rows(), columns = plane.Columns();
    const std::vector<char> zeroRows = NoteRowsBelow(plane, scratch);
    std::vector<int> above(static_cast<std::size_t>(columns), NoRow);
    for (int y = 0; y < rows; ++y) {
        Value* row = plane[y];
        Vectorised([&] { NoteSourcesAbove(row, above.data(), y, columns); });
        if (!zeroRows[y])
            continue;
        const std::uint32_t* below = scratch[y];
        RunSides sides;
        ForEachZeroRun(row, 0, columns - 1, [&](int first, int last) {
            const auto [left, right] = sides.Of(row, {first, last}, columns);
            for (int x = first; x <= last; ++x) {
                const bool fromLeft = Within(x, left, reach), fromRight = right < columns && Within(x, right, reach);
                if (fromLeft || fromRight) {
                    row[x] = fromLeft && fromRight ? Farther(row[left], row[right], far) : row[fromLeft ? left : right];
                    Note(sources, y, x, columns, ValueSource::FromBackground);
                    continue;
                }
                // Neither along the row: the same along the column.
                const int up = above[x];
                const int down = below[x] == NoRowBelow ? NoRow : static_cast<int>(below[x]);
                const bool fromAbove = Within(y, up, reach), fromBelow = Within(y, down, reach);
                if (!fromAbove && !fromBelow)
                    continue;
                row[x] = fromAbove && fromBelow ? Farther(plane[up][x], plane[down][x], far)
                                                : plane[fromAbove ? up : down][x];
                Note(sources, y, x, columns, ValueSource::FromBackground);
            }
        });
    }
}

#define DARKFILL_FILL_RULES(Value)                                                                                 \
    template void FillNearest(Plane<Value>&, Plane<std::uint32_t>&, std::span<ValueSource>, int);               \
    template void FillBackground(Plane<Value>&, Plane<std::uint32_t>&, std::span<ValueSource>, int, FarSide);
DARKFILL_FILL_RULES(std::uint8_t)
DARKFILL_FILL_RULES(std::uint16_t)
DARKFILL_FILL_RULES(std::int32_t)
DARKFILL_FILL_RULES(float)
#undef DARKFILL_FILL_RULES

}  // namespace darkfill
