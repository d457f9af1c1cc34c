#pragma once

#include "darkfill/darkfill.h"

#include <cstdint>
#include <span>

// The library's fill of a raster held row after row in one block, the way the
// generated rasters come: rows x columns cells in raster, result and (where not
// empty) sources.
void FillRaster(std::span<const std::int32_t> raster, int rows, int columns, std::span<std::int32_t> result,
                std::span<darkfill::ValueSource> sources = {}, darkfill::FillCounts* counts = nullptr,
                const darkfill::FillOptions& options = {});
