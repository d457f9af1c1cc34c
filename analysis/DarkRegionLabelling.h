#pragma once

#include "analysis/Plane.h"
#include "analysis/RegionStarts.h"
#include "analysis/WorkingMemory.h"

#include <cstddef>

namespace darkfill {

// Dark pixels (value exactly 0) are grouped into regions of 8-connected pixels with
// the labels that repeated minimum-label sweeps over the 3 x 3 blocks of the
// interior reach: each dark pixel first takes its rank in raster order; then each
// interior dark pixel the smallest of those of its 8-connected group of interior
// dark pixels and of the border dark pixels beside the group; border pixels keep
// their own. They are found by joining runs, not by sweeping. Groups counting 5 or
// fewer pixels in the counted area (rows 0 to R-2, columns 0 to C-2) are dropped
// (fewer than smallestRegion where it is given);
// the rest are numbered 1, 2, 3, ... in the raster order of their working labels.

// The count of counted cells beyond which a group becomes a region, unless the
// caller asks for another smallest region.
constexpr int RegionSizeThreshold = 5;

// The working memory that LabelDarkRegions takes from its arena for a plane of
// this size: its bit rows, where each row's runs start and its dark cells
// before it, and a row of stretches.
std::size_t LabellingBytes(int rows, int columns);

// Writes every cell of regionPlane: the counted area (rows 0 to R - 2, columns
// 0 to C - 2) with region labels, the last row and column 0.
// Time: one pass for the bit masks of dark cells, 64 cells at a time, and the
// runs they make; then union-find over the row runs: the interior runs joined
// into groups with those of the row above, each group lowered by the border dark
// cells beside it: linear in the cells and runs, however winding the regions;
// then one pass along the runs to count each label, one along the table of
// counts to number the regions, and one to write the region labels, each run a
// stretch of one label but for border cells. The labels are those of the sweeps
// because the sweeps' fixed point is stated per group: see WorkingLabels.
// Memory, with L = 4 bytes (8 for rasters of 2^32 cells or more or rows wider than
// 65,536 cells): the table of counts lies in regionPlane itself, which is
// written only once every label is numbered; from the arena, a bit a cell, 2 L a
// row and 12 bytes a column; for the runs there are once they are counted, 2 L a
// run (a run's two columns take 16 bits each where L is 4 bytes) and 2 L for each
// lowering of a group by the border (at most two a run of the second and the last
// but one row, and six a row), from the arena where its room holds them, else from
// the run arena, reserved for them (fresh arenas where none are given). A
// checkerboard, the most runs, takes 4 bytes a cell besides the plane. All of it
// is given back to the arena on return.
// Given starts, it also writes there the start pixel of each region label, as the
// walks round the regions need it once the border is cleared. More regions than
// 32-bit labels number raise std::length_error.
template <class Value>
void LabelDarkRegions(const Plane<Value>& imagePlane, Plane<RegionLabel>& regionPlane, int rows, int columns,
                      RegionStarts* starts = nullptr, int smallestRegion = RegionSizeThreshold + 1,
                      WorkingArena* arena = nullptr, WorkingArena* runArena = nullptr);

// The same with working labels of the width given: LabelDarkRegions takes
// std::uint32_t below 2^32 cells, std::uint64_t from there and for rows wider
// than 65,536 cells (16-bit columns hold no more). The wider one is built for
// 8-bit values too, so that small planes can check it.
template <class Label, class Value>
void LabelWith(const Plane<Value>& imagePlane, Plane<RegionLabel>& regionPlane, int rows, int columns,
               RegionStarts* starts, int smallestRegion, WorkingArena& working, WorkingArena& runArena);

// Writes 0 into the first and last row and column of the plane; nothing else.
// Time: one pass over the plane's border. Memory: none.
void ClearPlaneBorder(Plane<RegionLabel>& plane, int rows, int columns);

}  // namespace darkfill
