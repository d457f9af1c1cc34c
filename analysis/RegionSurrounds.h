#pragma once

#include "analysis/Plane.h"
#include "analysis/RegionStarts.h"

#include <vector>

namespace darkfill {

// The surround value of a region: the one value above 0 seen round its outside (a
// grey level from 1 to 255 in an 8-bit picture, up to 65535 in a 16-bit one, any
// positive value of an int32 or float raster, exactly), or 0 when the walk round
// it saw none or more than one.

// Walks no longer than this many tallied steps; the tallies made so far decide.
constexpr int TraceStepLimit = 9000;

// Walks round regions 1 to starts.size() - 1 from their start pixels (as the
// labelling finds them; a label whose start row is -1 has no walk and value 0),
// and sets the table to their values: entry 0 unused, then one per region.
// Returns starts.size() - 1.
// Time: at most TraceStepLimit steps of up to 10 probes per walk; on a plane whose
// border is clear, a walk stops once it saw two values. Memory: the table, one
// value a region; a walk keeps only the first value it saw and whether it saw
// another.
template <class Value>
RegionLabel MeasureRegionSurrounds(const Plane<RegionLabel>& regionPlane, const Plane<Value>& imagePlane, int rows,
                                   int columns, std::vector<Value>& surroundTable, const RegionStarts& starts);

}  // namespace darkfill
