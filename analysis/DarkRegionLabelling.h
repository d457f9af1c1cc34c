#pragma once

#include "analysis/Plane.h"
#include "analysis/RegionStarts.h"

namespace darkfill {

// Dark pixels (grey exactly 0) are grouped into regions of 8-connected pixels by
// repeated minimum-label sweeps over 3 x 3 neighbourhoods. Groups counting 5 or
// fewer pixels in the counted area (rows 0 to R-2, columns 0 to C-2) are dropped
// (fewer than smallestRegion where it is given);
// the rest are numbered 1, 2, 3, ... in the raster order of their working labels.

// The count of counted cells beyond which a group becomes a region, unless the
// caller asks for another smallest region.
constexpr int RegionSizeThreshold = 5;

// What the label plane holds when the labelling returns.
enum class LabelPlaneAfter {
    // The working labels, and 0 in every cell that is not dark.
    Labels,
    // Whatever the labelling left there, for a caller that writes every cell of it
    // before reading one: the labelling is spared its last pass over the plane.
    Scratch,
};

// Writes every cell of labelPlane and the counted area of regionPlane.
// Time: one pass for the first labels, the runs of dark pixels found from bit
// masks of 64 cells at a time; then
// forward and backward sweeps until a pair changes nothing (winding regions need
// more), each visiting in a row only the columns whose blocks changed since the
// row's last visit, across the span of its dark pixels in vectorised passes, or
// run by run where the row has few; then one pass to count and one to relabel,
// along the dark runs, each a stretch of one label but for border cells.
// Memory: the label plane is the working store; besides, one count per dark
// pixel, the runs and a few numbers per row.
// Given starts, it also writes there the start pixel of each region label, as the
// walks round the regions need it once the border is cleared.
void LabelDarkRegions(const Plane& imagePlane, Plane& labelPlane, Plane& regionPlane, int rows, int columns,
                      RegionStarts* starts = nullptr, LabelPlaneAfter after = LabelPlaneAfter::Labels,
                      int smallestRegion = RegionSizeThreshold + 1);

// Writes 0 into the first and last row and column of the plane; nothing else.
// Time: one pass over the plane. Memory: none.
void ClearPlaneBorder(Plane& plane, int rows, int columns);

}  // namespace darkfill
