#pragma once

#include "analysis/Plane.h"

#include <map>
#include <string>
#include <vector>

namespace darkfill {

// Small planes drawn as text, one string per row, one character per cell.
// Each character is looked up in the legend; digits without an entry stand for
// themselves.
Plane PlaneFromArt(const std::vector<std::string>& art, const std::map<char, float>& legend = {});

// The plane drawn back as text: 0 as '.', whole numbers 1 to 9 as digits, any
// other value as '?'; for readable failures.
std::string PlaneToArt(const Plane& plane);

// A plane of the given size with every cell set to value.
Plane FilledPlane(int rows, int columns, float value);

// A copy of a plane, cell for cell.
Plane CopyOfPlane(const Plane& plane);

}  // namespace darkfill
