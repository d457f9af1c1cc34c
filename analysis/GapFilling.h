#pragma once

#include "analysis/Plane.h"
#include "analysis/ValueSource.h"

#include <span>

// A zero pixel searches at most this many distances, 0 to 499, for a source.
constexpr int GapSearchAttempts = 500;

// Lays the painted regions over the picture (fillPlane += imagePlane), copies the
// composite into imagePlane, then fills each zero pixel of fillPlane with the
// nearest pixel above 0 of the composite on its row or column: nearer wins; at
// equal distance left, then right, then below, then above. Sources come from the
// composite only, so filled values never feed other gaps.
// Time: one pass for composite and snapshot, then one pass over the rows with zero
// pixels; the nearest source in each direction comes from scans that only move
// forward, so a gap costs the same however far its source. Memory: a few numbers
// per column. Where sources is not empty (rows x columns entries, row after row),
// each filled pixel's entry receives the direction of its source; the entries of
// the other pixels are left as they are.
void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                      std::span<ValueSource> sources = {});
