#include "analysis/RegionPainting.h"

#include "analysis/CellBlocks.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace darkfill {

namespace {

// The grey of each whole label from 1 to last, 0 for any other value (2.5
// matches no label), four cells at a time: choosing by masks, not branches, as in
// a block of many labels which cell holds one follows no pattern that a predictor
// learns, and converting whole vectors, so that no cell's conversion waits on the
// one before.
struct Greys {
    const float* table;
    float last;

    cellblocks::Lanes Of(cellblocks::Lanes values) const
    {
        using namespace cellblocks;
        // Only values from 1 to last are converted, so that each is an index of
        // the table; NaN is none of them.
        const Mask inRange = (values >= 1.0f) & (values <= last);
        const Mask index = __builtin_convertvector(inRange ? values : Lanes{}, Mask);
        const Mask labelled = inRange & (__builtin_convertvector(index, Lanes) == values);
        const Lanes greys = {table[index[0]], table[index[1]], table[index[2]], table[index[3]]};
        return labelled ? greys : Lanes{};
    }
};

// Paints count cells, each read before it is written.
[[gnu::always_inline]] inline void PaintCells(float* fill, const float* region, int count, const Greys& greys)
{
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        const cellblocks::Lanes painted = greys.Of(cellblocks::LoadLanes(region + k));
        std::memcpy(fill + k, &painted, sizeof painted);
    }
    for (; k < count; ++k)
        fill[k] = greys.Of(cellblocks::Lanes{} + region[k])[0];
}

}  // namespace

void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<float>& regionGreyTable, int regionCount)
{
    const int lastLabel = std::min<long long>(regionCount, static_cast<long long>(regionGreyTable.size()) - 1);
    const float none = 0.0f;
    const Greys greys{regionGreyTable.empty() ? &none : regionGreyTable.data(), static_cast<float>(lastLabel)};
    for (int y = 0; y < rows; ++y) {
        const float* region = regionPlane[y];
        float* fill = fillPlane[y];
        int x = 0;
        for (; x + CellBlockWidth <= columns; x += CellBlockWidth) {
            const std::uint64_t labelled = LabelBits(region + x, CellBlockWidth);
            if (labelled == 0) {
                std::fill(fill + x, fill + x + CellBlockWidth, 0.0f);
                continue;
            }
            // A block mostly holds one label beside cells of none: one look-up paints it.
            const float label = region[x + std::countr_zero(labelled)];
            if (BlockHoldsOnly(region + x, label))
                PaintBlock(fill + x, region + x, label, greys.Of(cellblocks::Lanes{} + label)[0]);
            else
                PaintCells(fill + x, region + x, CellBlockWidth, greys);
        }
        PaintCells(fill + x, region + x, columns - x, greys);
    }
}

}  // namespace darkfill
