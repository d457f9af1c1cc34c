#pragma once

#include "analysis/Plane.h"
#include "analysis/WorkingMemory.h"
#include "darkfill/darkfill.h"

#include <cstddef>
#include <span>

namespace darkfill {

// A zero pixel searches at most this many distances, 0 to 499, for a source.
constexpr int GapSearchAttempts = 500;

// Lays the painted regions over the picture (fillPlane += imagePlane), copies the
// composite into imagePlane, then fills each zero pixel of fillPlane with the
// nearest pixel above 0 of the composite on its row or column: nearer wins; at
// equal distance left, then right, then below, then above. Sources come from the
// composite only, so filled values never feed other gaps.
// Time: one pass up the plane for the composite, which also notes each zero pixel's
// distance to the nearest source below; then one pass down, which keeps the row of
// the nearest source above each column and fills the rows with zero pixels: where
// they are many, across their span in vectorised passes, where few, run by run
// (every pixel of a run has the same sources on its left and right). A gap costs
// the same however far its source. Memory: a few numbers per row and per column,
// from the arena (a fresh one where none is given); until the fill, fillPlane's
// zero pixels hold the distances below. Where sources is not empty (rows x
// columns entries, row after row), each filled pixel's entry receives the
// direction of its source; the entries of the other pixels are left as they are.
// reach: the farthest distance searched, GapSearchAttempts - 1 unless given.
// Going down the plane: lastAbove carries, per column, the row of the nearest
// source (a pixel above 0) at or above row y; the cells of row y that are sources
// move it to y. Vectorised.
void NoteSourcesAbove(const float* row, int* lastAbove, int y, int columns);

void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                      std::span<ValueSource> sources = {}, int reach = GapSearchAttempts - 1,
                      WorkingArena* arena = nullptr);

// The working memory that CompositeAndFill takes at most for a plane of this size.
std::size_t GapFillingBytes(int rows, int columns);

}  // namespace darkfill
