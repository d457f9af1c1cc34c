#include "analysis/Analysis.h"

#include "analysis/Conversions.h"
#include "analysis/DarkRegionLabelling.h"
#include "analysis/GapFilling.h"
#include "analysis/Plane.h"
#include "analysis/RegionPainting.h"
#include "analysis/RegionSurrounds.h"

#include <cstddef>
#include <memory>
#include <vector>

std::int32_t InputRaster[RasterHeight][RasterWidth];
std::int32_t ResultRaster[RasterHeight][RasterWidth];

namespace {

bool HasDarkPixel()
{
    int dark = 0;
    for (const auto& row : InputRaster)
        for (const std::int32_t cell : row)
            dark |= cell == 0;
    return dark != 0;
}

}  // namespace

void RunAnalysis()
{
    // Without a dark pixel there is no region and no gap: the result is the picture
    // itself, which the stages would only find at the cost of every pass.
    if (!HasDarkPixel()) {
        for (int y = 0; y < RasterHeight; ++y)
            for (int x = 0; x < RasterWidth; ++x)
                ResultRaster[y][x] = TruncateToInt(static_cast<float>(InputRaster[y][x]));
        return;
    }

    const int rows = RasterHeight;
    const int columns = RasterWidth;

    // The four planes share one block: one allocation that the allocator can
    // hand out again on the next run instead of fresh pages from the system.
    const std::size_t cells = static_cast<std::size_t>(rows) * columns;
    const auto block = std::make_unique_for_overwrite<float[]>(4 * cells);
    Plane imagePlane(block.get(), rows, columns);
    Plane regionPlane(block.get() + cells, rows, columns);
    Plane labelPlane(block.get() + 2 * cells, rows, columns);
    Plane fillPlane(block.get() + 3 * cells, rows, columns);
    std::vector<float> regionGreyTable(RegionGreyTableSize);

    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            imagePlane[y][x] = static_cast<float>(InputRaster[y][x]);

    LabelDarkRegions(imagePlane, labelPlane, regionPlane, rows, columns);
    ClearPlaneBorder(regionPlane, rows, columns);
    const int regionCount = MeasureRegionSurrounds(regionPlane, imagePlane, rows, columns, regionGreyTable, 0);
    PaintRegions(regionPlane, fillPlane, rows, columns, regionGreyTable, regionCount);
    CompositeAndFill(imagePlane, fillPlane, rows, columns);

    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            ResultRaster[y][x] = TruncateToInt(fillPlane[y][x]);
}
