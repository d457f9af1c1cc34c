#include "analysis/RegionPainting.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace darkfill {

template <class Value>
void PaintRegions(const Plane<RegionLabel>& regionPlane, Plane<Value>& fillPlane,
                  const std::vector<Value>& surroundTable, std::span<ValueSource> sources)
{
    constexpr int Block = 64;
    const int rows = regionPlane.Rows(), columns = regionPlane.Columns();
    const Value* table = surroundTable.data();
    for (int y = 0; y < rows; ++y) {
        const RegionLabel* region = regionPlane[y];
        Value* fill = fillPlane[y];
        for (int from = 0; from < columns; from += Block) {
            const int to = std::min(from + Block, columns);
            RegionLabel any = 0;
            for (int x = from; x < to; ++x)
                any |= region[x];
            if (any == 0)
                continue;
            // A labelled cell holds a hole, +0, and entry 0 of the table is 0:
            // adding each cell's entry paints the labelled cells and leaves
            // the others exactly as they are, without a choice per cell (which
            // cell holds a label follows no pattern that a predictor learns).
            for (int x = from; x < to; ++x)
                fill[x] += table[region[x]];
            if (!sources.empty()) {
                ValueSource* source = sources.data() + static_cast<std::size_t>(y) * columns;
                for (int x = from; x < to; ++x)
                    source[x] = region[x] != 0 && fill[x] > Value{} ? ValueSource::Painted : source[x];
            }
        }
    }
}

#define DARKFILL_PAINTING(Value)                                                                              \
    template void PaintRegions(const Plane<RegionLabel>&, Plane<Value>&, const std::vector<Value>&,          \
                               std::span<ValueSource>);
DARKFILL_PAINTING(std::uint8_t)
DARKFILL_PAINTING(std::uint16_t)
DARKFILL_PAINTING(std::int32_t)
DARKFILL_PAINTING(float)
#undef DARKFILL_PAINTING

}  // namespace darkfill
