#include "analysis/Analysis.h"

#include "analysis/HoleFilling.h"

std::int32_t InputRaster[RasterHeight][RasterWidth];
std::int32_t ResultRaster[RasterHeight][RasterWidth];

void RunAnalysis()
{
    constexpr std::size_t cells = static_cast<std::size_t>(RasterHeight) * RasterWidth;
    FillHoles(std::span<const std::int32_t>(&InputRaster[0][0], cells), RasterHeight, RasterWidth,
              std::span<std::int32_t>(&ResultRaster[0][0], cells));
}
