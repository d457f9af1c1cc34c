#pragma once

#include "analysis/Plane.h"
#include "darkfill/darkfill.h"

#include <span>

namespace darkfill {

// The fills of FillRule::Nearest and FillRule::Background. Each first lays the
// painted regions over the picture (fillPlane += imagePlane) and copies the
// composite into imagePlane, as CompositeAndFill does; then fills each zero pixel
// of fillPlane from the composite's sources (pixels above 0), so that filled values
// never feed other holes. Where sources is not empty (rows x columns entries, row
// after row), each filled pixel's entry receives FromNearest or FromBackground;
// the entries of the other pixels are left as they are. reach: at least 0,
// UnlimitedReach for none.

// Each zero pixel takes the source nearest to it in Euclidean distance (squared
// distances in integers, so exact), within reach; at equal distance the leftmost
// source, and of those the uppermost.
// Time: the separable exact distance transform that keeps the nearest pixel
// (Felzenszwalb and Huttenlocher). One vectorised pass up the plane lays the
// composite and notes each cell's column's nearest source below; one pass down
// carries the nearest above, and, along each row with a zero pixel, takes the
// nearer of the two for each column, finds the runs of zero pixels 64 cells at a
// time, and builds the lower envelope of one parabola a column over only the
// columns that the runs' pixels can reach (no farther than their nearest source
// on the row or in the column), then walks it along the runs. Linear in the cells.
// Memory: scratch, a plane of the same size (each cell's nearest source below),
// and a few numbers a column.
void CompositeAndFillNearest(Plane& imagePlane, Plane& fillPlane, Plane& scratch, int rows, int columns,
                             std::span<ValueSource> sources, int reach);

// Each zero pixel takes, of the nearest sources within reach to its left and to its
// right, the farther one (the larger or the smaller value, as far says), or the one
// there is; a pixel with neither takes the same of its column's nearest above and
// below.
// Time: one vectorised pass for the composite; along each row with a zero pixel,
// its runs of zero pixels found 64 cells at a time and each run's two sources
// (every cell between runs is looked at once from either side); two passes down
// and up the plane only where a pixel is left for its column. Memory: scratch
// (the row of each such pixel's source above) and a few numbers a column.
void CompositeAndFillBackground(Plane& imagePlane, Plane& fillPlane, Plane& scratch, int rows, int columns,
                                std::span<ValueSource> sources, int reach, FarSide far);

}  // namespace darkfill
