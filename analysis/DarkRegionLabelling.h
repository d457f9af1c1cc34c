#pragma once

#include "analysis/Plane.h"
#include "analysis/RegionStarts.h"
#include "analysis/WorkingMemory.h"

#include <cstddef>

namespace darkfill {

// Dark pixels (grey exactly 0) are grouped into regions of 8-connected pixels with
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

// The working memory that LabelDarkRegions takes at most for a plane of this
// size, besides the planes.
std::size_t LabellingBytes(int rows, int columns);

// Writes the counted area of regionPlane.
// Time: one pass for the bit masks of dark pixels, 64 cells at a time, and the
// runs they make, each holding its first label; then the interior runs joined into
// groups with those of the row above (union-find), each group lowered by the
// border dark pixels beside it, and each run given its group's label: linear in
// the cells and runs, however winding the regions; then one pass along the runs
// to count and one to write the region labels, each run a stretch of one label
// but for border cells. Memory: taken from the arena (a fresh one where none is
// given), one count per dark pixel, six numbers per run, a bit per cell and a
// number per row.
// Given starts, it also writes there the start pixel of each region label, as the
// walks round the regions need it once the border is cleared.
void LabelDarkRegions(const Plane& imagePlane, Plane& regionPlane, int rows, int columns,
                      RegionStarts* starts = nullptr, int smallestRegion = RegionSizeThreshold + 1,
                      WorkingArena* arena = nullptr);

// Writes 0 into the first and last row and column of the plane; nothing else.
// Time: one pass over the plane. Memory: none.
void ClearPlaneBorder(Plane& plane, int rows, int columns);

}  // namespace darkfill
