#include "analysis/RegionPainting.h"

#include <algorithm>

void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<float>& regionGreyTable, int regionCount)
{
    const int lastLabel = std::min<long long>(regionCount, static_cast<long long>(regionGreyTable.size()) - 1);
    for (int y = 0; y < rows; ++y) {
        const float* region = regionPlane[y];
        float* fill = fillPlane[y];
        for (int x = 0; x < columns; ++x) {
            const float value = region[x];
            // Only a whole label from 1 to the last one is painted; 2.5 matches no label.
            const bool labelled = value >= 1.0f && value <= static_cast<float>(lastLabel) &&
                                  static_cast<float>(static_cast<int>(value)) == value;
            fill[x] = labelled ? regionGreyTable[static_cast<int>(value)] : 0.0f;
        }
    }
}
