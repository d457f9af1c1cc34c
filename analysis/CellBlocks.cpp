#include "analysis/CellBlocks.h"

#include "analysis/VectorClones.h"

namespace darkfill {

void ZeroWordsOfRowPlain(const float* cells, int count, std::uint64_t* words)
{
    for (int x = 0; x < count; x += 64)
        words[x / 64] = ZeroBits(cells + x, std::min(64, count - x));
}

namespace {

#if defined(LANE_MASKS)

// The bits of the cells from cells on that are exactly 0, for the lanes given.
LANE_MASKS inline std::uint64_t ZeroBitsOfSixteen(const float* cells, __mmask16 lanes)
{
    return _mm512_mask_cmp_ps_mask(lanes, _mm512_maskz_loadu_ps(lanes, cells), _mm512_setzero_ps(), _CMP_EQ_OQ);
}

LANE_MASKS void ZeroWordsOfRowMasked(const float* cells, int count, std::uint64_t* words)
{
    for (int x = 0; x < count; x += 64) {
        std::uint64_t word = 0;
        for (int k = 0; k < 64 && x + k < count; k += 16) {
            const int left = count - x - k;
            word |= ZeroBitsOfSixteen(cells + x + k, left >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << left) - 1))
                    << k;
        }
        words[x / 64] = word;
    }
}

#endif

}  // namespace

ZeroWordsOfRow ZeroWordsForThisProcessor()
{
#if defined(LANE_MASKS)
    if (ProcessorHasLaneMasks())
        return ZeroWordsOfRowMasked;
#endif
    return ZeroWordsOfRowPlain;
}

}  // namespace darkfill
