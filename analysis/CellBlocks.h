#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace darkfill {

// Rows of a plane as bit masks, 64 cells to a word, and the runs of zero pixels
// that they hold: the passes that look for dark pixels, labels and gaps skip the
// stretches without any a word at a time.

namespace cellblocks {

// Bits 0 to 3 for four cells from cells on: those exactly 0, and those holding 1
// or more; one vector compare where the processor has one.
#if defined(__SSE2__)
inline int ZeroOfFour(const float* cells)
{
    return _mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(cells), _mm_setzero_ps()));
}

inline int LabelOfFour(const float* cells)
{
    return _mm_movemask_ps(_mm_cmpge_ps(_mm_loadu_ps(cells), _mm_set1_ps(1.0f)));
}
#else
inline int ZeroOfFour(const float* cells)
{
    return (cells[0] == 0.0f) | (cells[1] == 0.0f) << 1 | (cells[2] == 0.0f) << 2 | (cells[3] == 0.0f) << 3;
}

inline int LabelOfFour(const float* cells)
{
    return (cells[0] >= 1.0f) | (cells[1] >= 1.0f) << 1 | (cells[2] >= 1.0f) << 2 | (cells[3] >= 1.0f) << 3;
}
#endif

template <class OfFour, class OfOne>
std::uint64_t CellBits(const float* cells, int count, const OfFour& ofFour, const OfOne& ofOne)
{
    std::uint64_t bits = 0;
    int k = 0;
    for (; k + 4 <= count; k += 4)
        bits |= static_cast<std::uint64_t>(ofFour(cells + k)) << k;
    for (; k < count; ++k)
        bits |= static_cast<std::uint64_t>(ofOne(cells[k])) << k;
    return bits;
}

}  // namespace cellblocks

// The cells from cells on, at most 64 of them, as bits (bit k for cell k): those
// that are exactly 0, and those that hold 1 or more.
inline std::uint64_t ZeroBits(const float* cells, int count)
{
    return cellblocks::CellBits(cells, count, cellblocks::ZeroOfFour, [](float cell) { return cell == 0.0f; });
}

inline std::uint64_t LabelBits(const float* cells, int count)
{
    return cellblocks::CellBits(cells, count, cellblocks::LabelOfFour, [](float cell) { return cell >= 1.0f; });
}

// The bits of a row's cells that are exactly 0, 64 to a word: bit k of word w for
// cell 64 w + k, and 0 for the bits past the last cell. words holds
// (count + 63) / 64 of them.
inline void ZeroWordsOfRow(const float* cells, int count, std::uint64_t* words)
{
    for (int x = 0; x < count; x += 64)
        words[x / 64] = ZeroBits(cells + x, std::min(64, count - x));
}

// Calls visit(first, last) for every run of cells that are exactly 0 between
// cells[from] and cells[to], in order. Where each run starts and where one ends
// come from the bit masks of 64 cells at a time, the end looking one bit into the
// next mask: a loop per mask and a step per run, not a branch per cell.
template <class Visit>
void ForEachZeroRun(const float* cells, int from, int to, const Visit& visit)
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

// A run of zero (dark) pixels along a row, from first to last.
struct ZeroRun {
    int first;
    int last;
};

// The nearest source on the left and on the right of each run of a row, the runs
// taken in order: -1 and columns where there is none; a fresh one for each row.
// Each cell between runs is looked at once from either side, however many runs
// there are.
class RunSides
{
public:
    std::pair<int, int> Of(const float* row, ZeroRun run, int columns)
    {
        for (int x = run.first - 1; x >= scanned_; --x)
            if (row[x] > 0.0f) {
                left_ = x;
                break;
            }
        scanned_ = run.last + 1;
        if (right_ <= run.last) {
            right_ = run.last + 1;
            while (right_ < columns && !(row[right_] > 0.0f))
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
