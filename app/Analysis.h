#pragma once

#include "darkfill/darkfill.h"

#include <cstdint>

// The working raster of the window's analysis and the one operation that turns a
// picture's grey levels into the filled result.

constexpr int RasterWidth = 512;
constexpr int RasterHeight = 384;

// Grey levels to analyse, row first, row 0 at the top. Zero at program start.
extern std::int32_t InputRaster[RasterHeight][RasterWidth];
// The result of the last analysis; every cell is written by each run.
extern std::int32_t ResultRaster[RasterHeight][RasterWidth];

// Labels the dark regions of InputRaster, paints each with the grey that surrounds
// it, fills the remaining gaps and writes the result into ResultRaster: the
// library's fill on the fixed raster, with its default rule unless the options
// name another. Everything it allocates is released before it returns;
// std::bad_alloc propagates.
void RunAnalysis(const darkfill::FillOptions& options = {});
