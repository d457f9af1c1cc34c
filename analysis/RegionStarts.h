#pragma once

#include <vector>

namespace darkfill {

// Where the walk round a region starts: the east end of the topmost interior row
// that carries the region's label; row -1 where no interior pixel carries it.
struct StartPixel {
    int row = -1;
    int column = -1;
};

// The start pixel of each region label from 1 up; entry 0 is not used.
using RegionStarts = std::vector<StartPixel>;

}  // namespace darkfill
