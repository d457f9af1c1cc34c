#pragma once

#include "analysis/ValueSource.h"

#include <cstdint>
#include <span>

// The analysis for a raster of any size: the same five stages and rules as the
// window's RunAnalysis, which is this on its fixed 512 x 384 raster.
//
// Limitations: from 1 x 1 up to MaximumCells cells (2^24), where whole numbers
// stay exact in the analysis' 32-bit floats; a larger raster, or spans shorter
// than rows x columns, raise std::invalid_argument. Values are meant as whole
// numbers from 0 to 65535 (8- or 16-bit grey); any other 32-bit integer is taken
// as the window takes it: only 0 is a hole, values below 0 are neither holes nor
// sources, and the walk round a region notes values held within 0 to 65535. A
// region is painted where exactly one value from 1 up surrounds it. Memory: about
// 17 bytes a cell while it runs (four float planes and the labels' counts), one
// more a cell when counts are asked for without the sources; std::bad_alloc
// propagates.

constexpr long long MaximumCells = 1LL << 24;

// What became of the holes.
struct FillCounts {
    long long regionsFound = 0;      // dark regions of more than 5 pixels
    long long regionsPainted = 0;    // of them, those with one surrounding value
    long long pixelsPainted = 0;     // pixels of painted regions
    long long pixelsFilled = 0;      // pixels filled from their row or column
    long long pixelsLeftAtZero = 0;  // holes with no value in reach
};

// Fills the holes of raster (rows x columns cells, row after row) into result,
// which may be the raster itself. Where sources is not empty it receives where
// every cell's value came from; where counts is given it receives the counts.
void FillHoles(std::span<const std::int32_t> raster, int rows, int columns, std::span<std::int32_t> result,
               std::span<ValueSource> sources = {}, FillCounts* counts = nullptr);
