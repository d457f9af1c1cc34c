#pragma once

#include "Plane.h"

#include <vector>

// Writes every cell of fillPlane: the table entry of the cell's region where
// regionPlane holds a label from 1 to regionCount, 0 elsewhere. Labels beyond the
// table's last entry paint nothing.
// Time: every cell compared with every label, R x C x regionCount comparisons.
// Memory: none.
void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<float>& regionGreyTable, int regionCount);
