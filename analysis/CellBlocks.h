#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace darkfill {

// Rows of a plane as bit masks, 64 cells to a word, and the runs of zero cells
// that they hold: the passes that look for dark cells and gaps skip the stretches
// without any a word at a time. Cells are values of the raster's own type, holes
// already made +0.

// The cells from cells on, at most 64 of them, as bits (bit k for cell k): those
// exactly 0. Each cell's test is a byte of a loop that vectorises; eight bytes of
// 0 or 1 become eight bits by one multiplication, which moves byte j's bit to bit
// 56 + j with no two products meeting.
template <class Value>
std::uint64_t ZeroBits(const Value* cells, int count)
{
    alignas(8) std::uint8_t zero[64] = {};
    for (int k = 0; k < count; ++k)
        zero[k] = cells[k] == Value{};
    std::uint64_t bits = 0;
    for (int b = 0; b * 8 < count; ++b) {
        std::uint64_t eight;
        std::memcpy(&eight, zero + 8 * b, sizeof eight);
        bits |= ((eight * 0x0102040810204080ull) >> 56) << (8 * b);
    }
    return bits;
}

// The bits of a row's cells that are exactly 0, 64 to a word: bit k of word w for
// cell 64 w + k, and 0 for the bits past the last cell. words holds
// (count + 63) / 64 of them.
template <class Value>
void ZeroWordsOfRow(const Value* cells, int count, std::uint64_t* words)
{
    for (int x = 0; x < count; x += 64)
        words[x / 64] = ZeroBits(cells + x, std::min(64, count - x));
}

// Calls visit(first, last) for every run of cells that are exactly 0 between
// cells[from] and cells[to], in order. Where each run starts and where one ends
// come from the bit masks of 64 cells at a time, the end looking one bit into the
// next mask: a loop per mask and a step per run, not a branch per cell.
template <class Value, class Visit>
void ForEachZeroRun(const Value* cells, int from, int to, const Visit& visit)
{
    constexpr int Chunk = 64;
    const auto bitsAt = [&](int chunk) { return ZeroBits(cells + chunk, std::min(Chunk, to - chunk + 1)); };
    std::uint64_t bits = bitsAt(from), carried = 0;
    int first = from;
    for (int chunk = from; chunk <= to; chunk += Chunk) {
        const std::uint64_t next = chunk + Chunk <= to ? bitsAt(chunk + Chunk) : 0;
        std::uint64_t starts = bits & ~((bits << 1) | carried);
        for (std::uint64_t ends = bits & ~((bits >> 1) | (next << 63)); ends != 0; ends &= ends - 1) {
            if (starts != 0 && std::countr_zero(starts) <= std::countr_zero(ends)) {
                first = chunk + std::countr_zero(starts);
                starts &= starts - 1;
            }
            visit(first, chunk + std::countr_zero(ends));
        }
        if (starts != 0)
            first = chunk + std::countr_zero(starts);
        carried = bits >> 63;
        bits = next;
    }
}

// A run of zero (dark) cells along a row, from first to last.
struct ZeroRun {
    int first;
    int last;
};

// Whether a cell is a source: a value above 0.
template <class Value>
bool IsSource(Value cell)
{
    return cell > Value{};
}

// The nearest source on the left and on the right of each run of a row, the runs
// taken in order: -1 and columns where there is none; a fresh one for each row.
// Each cell between runs is looked at once from either side, however many runs
// there are. Only cells outside the runs are read, so that runs already filled
// change nothing.
class RunSides
{
public:
    template <class Value>
    std::pair<int, int> Of(const Value* row, ZeroRun run, int columns)
    {
        for (int x = run.first - 1; x >= scanned_; --x)
            if (IsSource(row[x])) {
                left_ = x;
                break;
            }
        scanned_ = run.last + 1;
        if (right_ <= run.last) {
            right_ = run.last + 1;
            while (right_ < columns && !IsSource(row[right_]))
                ++right_;
        }
        return {left_, right_};
    }

private:
    int left_ = -1;     // the last source before the cells scanned so far
    int scanned_ = 0;   // the first cell not yet looked at for left_
    int right_ = -1;    // the first source after the last run asked about
};

}  // namespace darkfill
