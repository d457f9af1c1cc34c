#include "DarkRegionLabelling.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

// Gives the k-th dark pixel in raster order the working label k; returns the number
// of dark pixels.
int NumberDarkPixels(const Plane& imagePlane, Plane& labelPlane, int rows, int columns)
{
    float counter = 0.0f;
    for (int y = 0; y < rows; ++y) {
        const float* image = imagePlane[y];
        float* label = labelPlane[y];
        for (int x = 0; x < columns; ++x) {
            if (image[x] == 0.0f) {
                counter += 1.0f;
                label[x] = counter;
            } else {
                label[x] = 0.0f;
            }
        }
    }
    return static_cast<int>(counter);
}

// Lowers a cell's label to the smallest positive label of its 3 x 3 block, in place;
// returns whether any block cell replaced the running value.
bool LowerToBlockMinimum(Plane& labelPlane, int y, int x)
{
    float value = labelPlane[y][x];
    if (value == 0.0f)
        return false;
    bool changed = false;
    for (int dy = -1; dy <= 1; ++dy) {
        const float* row = labelPlane[y + dy];
        for (int dx = -1; dx <= 1; ++dx) {
            const float neighbour = row[x + dx];
            if (neighbour > 0.0f && neighbour < value) {
                value = neighbour;
                changed = true;
            }
        }
    }
    labelPlane[y][x] = value;
    return changed;
}

// Forward then backward sweeps over the interior until an iteration changes nothing.
void PropagateMinimumLabels(Plane& labelPlane, int rows, int columns)
{
    bool changed;
    do {
        changed = false;
        for (int y = 1; y <= rows - 2; ++y)
            for (int x = 1; x <= columns - 2; ++x)
                changed |= LowerToBlockMinimum(labelPlane, y, x);
        for (int y = rows - 2; y >= 1; --y)
            for (int x = columns - 2; x >= 1; --x)
                changed |= LowerToBlockMinimum(labelPlane, y, x);
    } while (changed);
}

}  // namespace

void LabelDarkRegions(const Plane& imagePlane, Plane& labelPlane, Plane& regionPlane, int rows, int columns)
{
    const int darkCount = NumberDarkPixels(imagePlane, labelPlane, rows, columns);
    PropagateMinimumLabels(labelPlane, rows, columns);

    const std::size_t cells = rows > 0 && columns > 0 ? static_cast<std::size_t>(rows) * columns : 0;
    std::vector<float> labelHistogram(cells + 1, 0.0f);
    for (int y = 0; y <= rows - 2; ++y) {
        const float* label = labelPlane[y];
        for (int x = 0; x <= columns - 2; ++x)
            if (label[x] > 0.0f)
                labelHistogram[static_cast<std::size_t>(label[x])] += 1.0f;
    }

    for (int y = 0; y <= rows - 2; ++y)
        std::fill(regionPlane[y], regionPlane[y] + std::max(columns - 1, 0), 0.0f);

    int regionLabel = 0;
    for (int workingLabel = 1; workingLabel <= darkCount; ++workingLabel) {
        if (!(labelHistogram[workingLabel] > RegionSizeThreshold))
            continue;
        ++regionLabel;
        for (int y = 0; y <= rows - 2; ++y) {
            const float* label = labelPlane[y];
            float* region = regionPlane[y];
            for (int x = 0; x <= columns - 2; ++x)
                if (label[x] == static_cast<float>(workingLabel))
                    region[x] = static_cast<float>(regionLabel);
        }
    }
}

void ClearPlaneBorder(Plane& plane, int rows, int columns)
{
    for (int y = 0; y < rows; ++y) {
        float* row = plane[y];
        for (int x = 0; x < columns; ++x)
            if (y == 0 || y == rows - 1 || x == 0 || x == columns - 1)
                row[x] = 0.0f;
    }
}
