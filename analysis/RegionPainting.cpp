#include "analysis/RegionPainting.h"

#include "analysis/CellBlocks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace darkfill {

namespace {

// Painted in blocks of this many cells, the cells of a block four at a time; a
// block without a label, as most are where holes are few, is cleared at once.
constexpr int BlockWidth = 16;
using Lanes = float __attribute__((vector_size(16)));
using Mask = int __attribute__((vector_size(16)));

Lanes LoadLanes(const float* cells)
{
    Lanes lanes;
    std::memcpy(&lanes, cells, sizeof lanes);
    return lanes;
}

// The grey of each whole label from 1 to last, 0 for any other value (2.5
// matches no label), four cells at a time: choosing by masks, not branches, as in
// a block of many labels which cell holds one follows no pattern that a predictor
// learns, and converting whole vectors, so that no cell's conversion waits on the
// one before.
struct Greys {
    const float* table;
    float last;

    Lanes Of(Lanes values) const
    {
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
        const Lanes painted = greys.Of(LoadLanes(region + k));
        std::memcpy(fill + k, &painted, sizeof painted);
    }
    for (; k < count; ++k)
        fill[k] = greys.Of(Lanes{} + region[k])[0];
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
        for (; x + BlockWidth <= columns; x += BlockWidth) {
            if (LabelBits(region + x, BlockWidth) == 0)
                std::fill(fill + x, fill + x + BlockWidth, 0.0f);
            else
                PaintCells(fill + x, region + x, BlockWidth, greys);
        }
        PaintCells(fill + x, region + x, columns - x, greys);
    }
}

}  // namespace darkfill
