#include "app/Analysis.h"

#include "darkfill/darkfill.h"

std::int32_t InputRaster[RasterHeight][RasterWidth];
std::int32_t ResultRaster[RasterHeight][RasterWidth];

void RunAnalysis(const darkfill::FillOptions& options)
{
    darkfill::FillHoles(darkfill::RasterView<const std::int32_t>(&InputRaster[0][0], RasterHeight, RasterWidth),
                        darkfill::RasterView<std::int32_t>(&ResultRaster[0][0], RasterHeight, RasterWidth), options);
}
