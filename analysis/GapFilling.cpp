#include "analysis/GapFilling.h"

#include "analysis/CellBlocks.h"
#include "analysis/VectorForms.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace darkfill {

namespace {

// Any distance out of reach is held as the one just beyond it, beyond = reach + 1,
// and the reach is held within the plane's length and width: only distances
// within reach are ever taken, and the sources they lead to lie within the plane.

// The count of runs of zero cells of a row, in a loop that vectorises.
template <class Value>
int ZeroRunCount(const Value* row, int columns)
{
    int runs = row[0] == Value{};
    for (int x = 1; x < columns; ++x)
        runs += (row[x] == Value{}) & (row[x - 1] != Value{});
    return runs;
}

template <class Value>
class GapFiller
{
public:
    GapFiller(Plane<Value>& plane, Plane<std::uint32_t>& scratch, std::span<ValueSource> sources, int reach,
              WorkingArena& arena, std::size_t bandBytes)
        : plane_(plane),
          scratch_(scratch),
          sources_(sources),
          rows_(plane.Rows()),
          columns_(plane.Columns()),
          beyond_(std::clamp(reach, 0, std::max(rows_, columns_)) + 1),
          narrowSteps_((static_cast<std::int64_t>(beyond_) + 2) * columns_ <= std::numeric_limits<int>::max()),
          bandRows_(BandRows(rows_, columns_, bandBytes)),
          bands_((rows_ + bandRows_ - 1) / bandRows_),
          zeroCounts_(arena.Take<int>(static_cast<std::size_t>(rows_))),
          below_(arena.Take<int>(static_cast<std::size_t>(columns_))),
          lastAbove_(arena.Take<int>(static_cast<std::size_t>(columns_))),
          along_(arena.Take<int>(static_cast<std::size_t>(columns_))),
          across_(arena.Take<int>(static_cast<std::size_t>(columns_)))
    {
    }

    // The plane goes down in bands of rows: a band's distances below, then its
    // rows filled. Where the plane is more than a few bands, a pass up first notes
    // in scratch, below the first band's rows, the row of the nearest source at
    // or below each band's last row, column by column, from which each band then
    // starts.
    void FillBands()
    {
        const int columns = columns_;
        std::span<int> nextBelow = below_;
        if (bands_ > 1) {
            std::fill(nextBelow.begin(), nextBelow.end(), rows_ + beyond_);
            for (int y = rows_ - 1; y >= bandRows_; --y) {
                NoteSourcesAbove(plane_[y], nextBelow.data(), y, columns);
                if (y % bandRows_ == 0)
                    std::copy(nextBelow.begin(), nextBelow.end(), BandStart(y / bandRows_ - 1));
            }
        }
        std::fill(lastAbove_.begin(), lastAbove_.end(), -beyond_);
        for (int band = 0; band < bands_; ++band) {
            const int top = band * bandRows_, bottom = std::min(top + bandRows_, rows_);
            if (bottom < rows_)
                std::copy_n(BandStart(band), columns, nextBelow.begin());
            else
                std::fill(nextBelow.begin(), nextBelow.end(), rows_ + beyond_);
            NoteDistancesBelow(top, bottom);
            for (int y = top; y < bottom; ++y)
                FillRow(y, scratch_[y - top]);
        }
    }

private:
    // As many rows as bandBytes hold, but the whole plane where that leaves
    // fewer than four bands (the band starts then fit in scratch below the
    // first band's rows).
    static int BandRows(int rows, int columns, std::size_t bandBytes)
    {
        const std::size_t fit = bandBytes / (static_cast<std::size_t>(columns) * sizeof(std::uint32_t));
        return fit >= 1 && fit * 4 <= static_cast<std::size_t>(rows) ? static_cast<int>(fit) : rows;
    }

    // The row of the nearest source at or below the last row of band, noted in
    // scratch below the first band's rows.
    int* BandStart(int band) const
    {
        return reinterpret_cast<int*>(scratch_[bandRows_ + band]);
    }

    // Going up a band: each cell's distance to the nearest source below it in
    // its column, into scratch from its first row, and how many zero cells each
    // row holds.
    void NoteDistancesBelow(int top, int bottom)
    {
        // The loop's bounds in locals, which no store of the loop can change.
        const int columns = columns_, beyond = beyond_;
        int* nextBelow = below_.data();
        for (int y = bottom - 1; y >= top; --y) {
            const Value* row = plane_[y];
            std::uint32_t* below = scratch_[y - top];
            int zeros = 0;
            for (int x = 0; x < columns; ++x) {
                below[x] = static_cast<std::uint32_t>(std::min(nextBelow[x] - y, beyond));
                nextBelow[x] = row[x] > Value{} ? y : nextBelow[x];
                zeros += row[x] == Value{};
            }
            zeroCounts_[y] = zeros;
        }
    }

    // Going down: the row's sources noted before its gaps are filled, so that the
    // filled cells are never taken for sources.
    void FillRow(int y, const std::uint32_t* below)
    {
        NoteSourcesAbove(plane_[y], lastAbove_.data(), y, columns_);
        // A row has no more runs than zero cells: most rows are told apart by
        // the count at hand.
        const int zeros = zeroCounts_[y];
        if (zeros * DenseRuns >= columns_ && IsDense(plane_[y], zeros))
            FillDenseRow(y, below);
        else if (zeros > 0)
            FillRunByRun(y, below);
    }

    void FillRunByRun(int y, const std::uint32_t* below)
    {
        Value* row = plane_[y];
        RunSides sides;
        ForEachZeroRun(row, 0, columns_ - 1, [&](int first, int last) {
            const auto [left, right] = sides.Of(row, {first, last}, columns_);
            // Sources out of reach lie beyond away.
            const int onLeft = left >= 0 && first - left < beyond_ ? left : first - beyond_;
            const int onRight = right < columns_ && right - last < beyond_ ? right : last + beyond_;
            FillRun(y, below, first, last, onLeft, onRight);
        });
    }

    // A row with a run of gaps for every DenseRuns cells or fewer, as where gaps
    // are noise, is filled in passes without a branch rather than run by run:
    // its runs are short and follow no pattern that a predictor learns (noise of
    // 35 % at 512 x 384: this stage in 0.37 against 0.62 ms). Each cell's nearest
    // source on the left and on the right by the scans below; then each cell's
    // choice, in a loop that vectorises (no steps for a cell that is no gap,
    // which then reads itself); then the take.
    static constexpr int DenseRuns = 8;

    // So is a row of three quarters gaps or more between many sources, a run for
    // every 64 cells or fewer, as the sparse dots' (512 x 384, the whole analysis
    // with the heap kept: 1.36 times b3c0fc6's with these rows run by run, 1.06
    // so); a row of a few long runs is not (a picture all gaps takes longer so).
    bool IsDense(const Value* row, int zeros) const
    {
        const int runs = ZeroRunCount(row, columns_);
        return runs * DenseRuns >= columns_ || (zeros * 4 >= columns_ * 3 && runs * 64 >= columns_);
    }

    // The scans: each cell's nearest marked column on the left (the largest so
    // far) into left, and on the right (the smallest) into right. A
    // scan's select waits for the one before it, so the row's halves are scanned
    // each way at once, four chains that do not wait for each other; each half
    // then takes in what the other half carried to it, in a loop that vectorises.
    static void CarryNearest(int* left, int* right, int columns, int noneOnLeft, int noneOnRight)
    {
        const int half = columns / 2, odd = columns % 2;
        int fromStart = noneOnLeft, fromMiddle = noneOnLeft, fromEnd = noneOnRight, toStart = noneOnRight;
        const auto larger = [](int& carried, int& cell) { cell = carried = cell > carried ? cell : carried; };
        const auto smaller = [](int& carried, int& cell) { cell = carried = cell < carried ? cell : carried; };
        for (int i = 0; i < half; ++i) {
            larger(fromStart, left[i]);
            larger(fromMiddle, left[half + i]);
            smaller(fromEnd, right[columns - 1 - i]);
            smaller(toStart, right[half + odd - 1 - i]);
        }
        if (odd) {
            larger(fromMiddle, left[columns - 1]);
            smaller(toStart, right[0]);
        }
        for (int x = half; x < columns; ++x)
            left[x] = std::max(left[x], fromStart);
        for (int x = 0; x < half + odd; ++x)
            right[x] = std::min(right[x], fromEnd);
    }

    void FillDenseRow(int y, const std::uint32_t* below)
    {
        Value* row = plane_[y];
        const int* lastAbove = lastAbove_.data();
        const int columns = columns_, beyond = beyond_;
        int* along = along_.data();
        int* across = across_.data();
        // The column of the nearest source on the left into along, on the right
        // into across: each source marked by its column, in a loop that
        // vectorises, then carried along by the scans. None is beyond away from
        // every cell.
        const int noneOnLeft = -beyond, noneOnRight = columns - 1 + beyond;
        for (int x = 0; x < columns; ++x) {
            const bool source = IsSource(row[x]);
            along[x] = source ? x : noneOnLeft;
            across[x] = source ? x : noneOnRight;
        }
        CarryNearest(along, across, columns, noneOnLeft, noneOnRight);
        for (int x = 0; x < columns; ++x) {
            const Steps steps = StepsTo(x, y, along[x], across[x], below[x], lastAbove[x], beyond);
            const bool gap = row[x] == Value{};
            along[x] = gap ? steps.along : 0;
            across[x] = gap ? steps.across : 0;
        }
        Take(y, 0, columns - 1);
    }

    // A cell's source as steps along its row (left negative) and across rows (up
    // negative), one of them 0, both where none is in reach.
    struct Steps {
        int along;
        int across;
    };

    // The nearest of a cell's four sources by selects, ties going left, right,
    // below, above.
    static Steps NearestSource(int left, int right, int below, int above, int reach)
    {
        const bool toRight = right < left;
        int distance = toRight ? right : left;
        const bool toBelow = below < distance;
        distance = toBelow ? below : distance;
        const bool toAbove = above < distance;
        distance = toAbove ? above : distance;
        const bool inReach = distance <= reach;
        const bool acrossRows = toBelow || toAbove;
        const int along = toRight ? right : -left;
        const int across = toAbove ? -above : below;
        return {inReach && !acrossRows ? along : 0, inReach && acrossRows ? across : 0};
    }

    // The steps from cell x of row y to the nearest of its sources: on the left
    // and the right in columns onLeft and onRight, below and above by the
    // column's distance and row; every distance held within beyond.
    static Steps StepsTo(int x, int y, int onLeft, int onRight, std::uint32_t below, int lastAbove, int beyond)
    {
        return NearestSource(std::min(x - onLeft, beyond), std::min(onRight - x, beyond), static_cast<int>(below),
                             std::min(y - lastAbove, beyond), beyond - 1);
    }

    static ValueSource SourceOf(Steps steps)
    {
        if (steps.along != 0)
            return steps.along < 0 ? ValueSource::FromLeft : ValueSource::FromRight;
        return steps.across < 0 ? ValueSource::FromAbove : ValueSource::FromBelow;
    }

    // Runs this long and longer choose their cells' sources in a loop of its own,
    // which vectorises, before they take the values; shorter ones, the most
    // where gaps are noise, cell by cell (noise of 35 % at 512 x 384: 2.4 against
    // 2.8 ms a fill).
    static constexpr int LongRun = 16;

    void FillRun(int y, const std::uint32_t* below, int first, int last, int onLeft, int onRight)
    {
        Value* row = plane_[y];
        const int* lastAbove = lastAbove_.data();
        const int beyond = beyond_;
        const std::ptrdiff_t down = columns_;
        ValueSource* noted = sources_.empty() ? nullptr : sources_.data() + static_cast<std::size_t>(y) * columns_;
        const auto stepsOf = [&](int x) { return StepsTo(x, y, onLeft, onRight, below[x], lastAbove[x], beyond); };
        if (last - first + 1 < LongRun) {
            for (int x = first; x <= last; ++x) {
                const Steps steps = stepsOf(x);
                row[x] = row[x + steps.along + steps.across * down];
                if (noted && (steps.along | steps.across) != 0)
                    noted[x] = SourceOf(steps);
            }
            return;
        }
        int* along = along_.data();
        int* across = across_.data();
        for (int x = first; x <= last; ++x) {
            const Steps steps = stepsOf(x);
            along[x] = steps.along;
            across[x] = steps.across;
        }
        Take(y, first, last);
    }

    // Each cell from first to last takes its source's value by the steps in
    // along_ and across_, and notes where it came from.
    void Take(int y, int first, int last)
    {
        Value* row = plane_[y];
        if (narrowSteps_)
            TakeBySteps<int>(row, first, last, columns_);
        else
            TakeBySteps<std::ptrdiff_t>(row, first, last, columns_);
        if (sources_.empty())
            return;
        const int* along = along_.data();
        const int* across = across_.data();
        ValueSource* noted = sources_.data() + static_cast<std::size_t>(y) * columns_;
        for (int x = first; x <= last; ++x)
            if ((along[x] | across[x]) != 0)
                noted[x] = SourceOf({along[x], across[x]});
    }

    // Each cell from first to last takes the value of the cell its steps lead
    // to: a source from before the fill began, never a cell written here, so
    // that the loop may take several cells a step. An int Offset where the
    // farthest step fits: the fill stage of the sparse dots at 512 x 384 took
    // 1.25 times b3c0fc6's so, 1.44 with 64-bit steps, 1.47 cell by cell (one
    // run, AVX2).
    template <class Offset>
    void TakeBySteps(Value* row, int first, int last, Offset down) const
    {
        const int* along = along_.data();
        const int* across = across_.data();
#pragma GCC ivdep
        for (int x = first; x <= last; ++x)
            row[x] = row[x + along[x] + across[x] * down];
    }

    Plane<Value>& plane_;
    Plane<std::uint32_t>& scratch_;
    std::span<ValueSource> sources_;
    int rows_;
    int columns_;
    int beyond_;
    // Whether a step to any source in reach fits in an int.
    bool narrowSteps_;
    int bandRows_;
    int bands_;
    std::span<int> zeroCounts_;
    // Per column, going up: the row of the nearest source at or below the row;
    // going down: at or above it.
    std::span<int> below_;
    std::span<int> lastAbove_;
    // Per cell of a long run or a dense row: its source's steps (of a dense
    // row, first its nearest sources on the left and on the right).
    std::span<int> along_;
    std::span<int> across_;
};

}  // namespace

template <class Value>
void FillGaps(Plane<Value>& plane, Plane<std::uint32_t>& scratch, std::span<ValueSource> sources, int reach,
              WorkingArena* arena, std::size_t bandBytes)
{
    if (plane.Rows() < 1 || plane.Columns() < 1)
        return;
    WorkingArena ownArena;
    WorkingArena& working = WorkingArena::GivenOr(arena, ownArena, GapFillingBytes(plane.Rows(), plane.Columns()));
    GapFiller<Value> filler(plane, scratch, sources, reach, working, bandBytes);
    Vectorised([&] {
        filler.FillBands();
    });
}

std::size_t GapFillingBytes(int rows, int columns)
{
    return WorkingArena::BytesFor<int>(static_cast<std::size_t>(rows)) +
           4 * WorkingArena::BytesFor<int>(static_cast<std::size_t>(columns));
}

#define DARKFILL_GAP_FILLING(Value)                                                                             \
    template void FillGaps(Plane<Value>&, Plane<std::uint32_t>&, std::span<ValueSource>, int, WorkingArena*, \
                           std::size_t);
DARKFILL_GAP_FILLING(std::uint8_t)
DARKFILL_GAP_FILLING(std::uint16_t)
DARKFILL_GAP_FILLING(std::int32_t)
DARKFILL_GAP_FILLING(float)
#undef DARKFILL_GAP_FILLING

}  // namespace darkfill
