#pragma once

#include "analysis/Plane.h"
#include "darkfill/darkfill.h"

#include <cstdint>
#include <span>

namespace darkfill {

// The fills of FillRule::Nearest and FillRule::Background. Each fills the zero
// cells of the plane, in place, from its sources (cells above 0) as they were
// before the fill began, so that filled values never feed other holes. The plane
// holds the picture with its regions painted. Where sources is not empty (one
// entry a cell, row after row), each filled cell's entry receives FromNearest or
// FromBackground; the entries of the other cells are left as they are. reach: at
// least 0, UnlimitedReach for none.

// Each zero cell takes the source nearest to it in Euclidean distance (squared
// distances in integers, so exact), within reach; at equal distance the leftmost
// source, and of those the uppermost.
// Time: the separable exact distance transform that keeps the nearest pixel
// (Felzenszwalb and Huttenlocher). One pass up the plane notes each cell's
// column's nearest source below; one pass down carries the nearest above, and,
// along each row with a zero cell, takes the nearer of the two for each column,
// finds the runs of zero cells 64 cells at a time, and builds the lower envelope
// of one parabola a column over only the columns that the runs' cells can reach
// (no farther than their nearest source on the row or in the column), then walks
// it along the runs. Linear in the cells. Memory: scratch, 4 bytes a cell (each
// cell's nearest source below), and a few numbers a column.
template <class Value>
void FillNearest(Plane<Value>& plane, Plane<std::uint32_t>& scratch, std::span<ValueSource> sources, int reach);

// Each zero cell takes, of the nearest sources within reach to its left and to its
// right, the farther one (the larger or the smaller value, as far says), or the one
// there is; a cell with neither takes the same of its column's nearest above and
// below.
// Time: one pass up the plane notes each cell's column's nearest source below;
// one pass down carries the nearest above and, along each row with a zero cell,
// finds its runs 64 cells at a time and each run's two sources (every cell between
// runs is looked at once from either side). Memory: scratch, 4 bytes a cell, and
// a few numbers a column.
template <class Value>
void FillBackground(Plane<Value>& plane, Plane<std::uint32_t>& scratch, std::span<ValueSource> sources, int reach,
                    FarSide far);

}  // namespace darkfill
