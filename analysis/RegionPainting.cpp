#include "RegionPainting.h"

#include <algorithm>

void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<float>& regionGreyTable, int regionCount)
{
    const int lastLabel = std::min<long long>(regionCount, static_cast<long long>(regionGreyTable.size()) - 1);
    for (int y = 0; y < rows; ++y)
        std::fill(fillPlane[y], fillPlane[y] + columns, 0.0f);
    for (int y = 0; y < rows; ++y) {
        const float* region = regionPlane[y];
        float* fill = fillPlane[y];
        for (int x = 0; x < columns; ++x)
            for (int label = 1; label <= lastLabel; ++label)
                if (region[x] == static_cast<float>(label))
                    fill[x] = regionGreyTable[label];
    }
}
