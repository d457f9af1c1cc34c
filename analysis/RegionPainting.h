#pragma once

#include "analysis/Plane.h"

#include <vector>

namespace darkfill {

// Writes every cell of fillPlane: the table entry of the cell's region where
// regionPlane holds a label from 1 to regionCount, 0 elsewhere. Labels beyond the
// table's last entry paint nothing. fillPlane may be regionPlane itself: each cell
// is read before it is written.
// Time: one pass in blocks of 16 cells: a block without a label is cleared at once,
// the others take a look-up per cell, four at a time. Memory: none.
void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<float>& regionGreyTable, int regionCount);

}  // namespace darkfill
