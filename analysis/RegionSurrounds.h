#pragma once

#include "analysis/Plane.h"
#include "analysis/RegionStarts.h"

#include <vector>

namespace darkfill {

// The surround grey of a region: the one value above 0 seen round its outside (a
// grey level from 1 to 255 in an 8-bit picture, up to 65535 in a 16-bit one, any
// positive float in a depth map), or 0 when the walk round it saw none or more
// than one.

// Walks no longer than this many tallied steps; the tallies made so far decide.
constexpr int TraceStepLimit = 9000;

// Room for labels 1 to 511 before a picture with more regions makes it grow.
constexpr int RegionGreyTableSize = 512;

// Walks round regions 1 to starts.size() - 1 from their start pixels (as the
// labelling finds them; a label whose start row is -1 has no walk and grey 0),
// writes their greys into entries 1 on of regionGreyTable, growing the table
// where it has no entry for the last, and returns starts.size() - 1.
// Time: at most TraceStepLimit steps of up to 10 probes per walk; on a plane whose
// border is clear, a walk stops once it saw two values. Memory: a walk keeps only
// the first grey it saw and whether it saw another.
int MeasureRegionSurrounds(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                           std::vector<float>& regionGreyTable, const RegionStarts& starts);

}  // namespace darkfill
