#pragma once

#include "analysis/Plane.h"
#include "darkfill/darkfill.h"

#include <span>
#include <vector>

namespace darkfill {

// Paints each cell that regionPlane labels with its region's entry of
// surroundTable (labels 1 to the table's last entry; entry 0 is 0), over the hole,
// +0, that fillPlane holds there; every other cell of fillPlane stays as it is. Where sources is not
// empty (one entry a cell, row after row), a cell painted with a value above 0 is
// noted Painted.
// Time: one pass over the labels in blocks of 64 cells; a block without a label,
// as most are where holes are few, is passed over at once, the others take a
// look-up per labelled cell. Memory: none.
template <class Value>
void PaintRegions(const Plane<RegionLabel>& regionPlane, Plane<Value>& fillPlane,
                  const std::vector<Value>& surroundTable, std::span<ValueSource> sources = {});

}  // namespace darkfill
