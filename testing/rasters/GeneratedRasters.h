#pragma once

#include <cstdint>
#include <vector>

// Rasters like those that users bring, made from a seed: row after row, whole
// values from 0 (a hole) up to highestValue (255 for 8-bit grey, 65535 for 16-bit).

// A depth map: a sloping floor with nearer boxes and discs, wide bands without a
// reading along the left and bottom borders, and many small holes, most of them
// along the objects' edges, until about holePercent of the cells are 0.
std::vector<std::int32_t> DepthLikeRaster(int rows, int columns, int holePercent, unsigned seed, int highestValue);

// Sparse readings on 0, as a laser scanner's projected depth: about one cell in
// every `spacing` x `spacing` carries a value.
std::vector<std::int32_t> SparseDotsRaster(int rows, int columns, int spacing, unsigned seed, int highestValue);

// A scanned page: lines of dark letter strokes on paper grey with a little noise.
std::vector<std::int32_t> ScannedTextRaster(int rows, int columns, unsigned seed);
