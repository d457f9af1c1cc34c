#include "Analysis.h"

#include "Conversions.h"
#include "DarkRegionLabelling.h"
#include "GapFilling.h"
#include "Plane.h"
#include "RegionPainting.h"
#include "RegionSurrounds.h"

#include <vector>

std::int32_t InputRaster[RasterHeight][RasterWidth];
std::int32_t ResultRaster[RasterHeight][RasterWidth];

void RunAnalysis()
{
    const int rows = RasterHeight;
    const int columns = RasterWidth;

    Plane imagePlane(rows, columns);
    Plane regionPlane(rows, columns);
    Plane labelPlane(rows, columns);
    Plane fillPlane(rows, columns);
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
