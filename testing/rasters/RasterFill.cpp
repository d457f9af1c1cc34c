#include "testing/rasters/RasterFill.h"

void FillRaster(std::span<const std::int32_t> raster, int rows, int columns, std::span<std::int32_t> result,
                std::span<darkfill::ValueSource> sources, darkfill::FillCounts* counts,
                const darkfill::FillOptions& options)
{
    using darkfill::RasterView;
    darkfill::FillHoles(RasterView<const std::int32_t>(raster.data(), rows, columns),
                        RasterView<std::int32_t>(result.data(), rows, columns), options,
                        {.fillMap = RasterView<darkfill::ValueSource>(sources.empty() ? nullptr : sources.data(),
                                                                      rows, columns),
                         .counts = counts});
}
