#include "analysis/Conversions.h"

#include "analysis/VectorClones.h"

VECTOR_CLONES void RasterToPlane(const std::int32_t* raster, float* plane, std::size_t cells)
{
    for (std::size_t i = 0; i < cells; ++i)
        plane[i] = static_cast<float>(raster[i]);
}

VECTOR_CLONES void PlaneToRaster(const float* plane, std::int32_t* raster, std::size_t cells)
{
    for (std::size_t i = 0; i < cells; ++i)
        raster[i] = TruncateToInt(plane[i]);
}
