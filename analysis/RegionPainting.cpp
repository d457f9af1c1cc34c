#include "analysis/RegionPainting.h"

#include "analysis/CellBlocks.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace darkfill {

namespace {

// Paints count cells, at most 64, whose labelled ones have their bits set in
// labelled: one look-up for each, all made before any cell is written.
template <class Paint>
[[gnu::always_inline]] inline void PaintCells(float* fill, const float* region, int count, std::uint64_t labelled,
                                              const Paint& paint)
{
    float painted[64];
    for (std::uint64_t cells = labelled; cells != 0; cells &= cells - 1)
        painted[std::countr_zero(cells)] = paint(region[std::countr_zero(cells)]);
    std::fill(fill, fill + count, 0.0f);
    for (; labelled != 0; labelled &= labelled - 1)
        fill[std::countr_zero(labelled)] = painted[std::countr_zero(labelled)];
}

}  // namespace

void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<float>& regionGreyTable, int regionCount)
{
    const int lastLabel = std::min<long long>(regionCount, static_cast<long long>(regionGreyTable.size()) - 1);
    const auto paint = [&](float value) {
        // Only a whole label from 1 to the last one is painted; 2.5 matches no label.
        const bool labelled = value >= 1.0f && value <= static_cast<float>(lastLabel) &&
                              static_cast<float>(static_cast<int>(value)) == value;
        return labelled ? regionGreyTable[static_cast<int>(value)] : 0.0f;
    };
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
                PaintBlock(fill + x, region + x, label, paint(label));
            else
                PaintCells(fill + x, region + x, CellBlockWidth, labelled, paint);
        }
        PaintCells(fill + x, region + x, columns - x, LabelBits(region + x, columns - x), paint);
    }
}

}  // namespace darkfill
