#include "RegionSurrounds.h"

#include "BoundaryWalker.h"
#include "Conversions.h"

#include <cstddef>

namespace {

int HighestLabel(const Plane& regionPlane, int rows, int columns, int startValue)
{
    int highest = startValue;
    for (int y = 0; y < rows; ++y) {
        const float* region = regionPlane[y];
        for (int x = 0; x < columns; ++x)
            if (region[x] > static_cast<float>(highest))
                highest = TruncateToInt(region[x]);
    }
    return highest;
}

struct StartPixel {
    int row = -1;
    int column = -1;
};

// For every label, the east end of the topmost interior row that carries it, all
// found in one pass; a label that no interior pixel carries keeps row -1.
std::vector<StartPixel> FindStartPixels(const Plane& regionPlane, int rows, int columns, int regionCount)
{
    std::vector<StartPixel> starts(static_cast<std::size_t>(regionCount) + 1);
    for (int y = 1; y <= rows - 2; ++y) {
        const float* region = regionPlane[y];
        for (int x = 1; x <= columns - 2; ++x) {
            const float value = region[x];
            if (!(value >= 1.0f && value <= static_cast<float>(regionCount)))
                continue;
            const int label = static_cast<int>(value);
            if (static_cast<float>(label) != value)
                continue;
            StartPixel& start = starts[label];
            if (start.row == -1 || start.row == y)
                start = {y, x};
        }
    }
    return starts;
}

// What decides a region's grey: the first grey from 1 to 255 that its walk
// tallied, and whether it tallied another one too. Grey 0 never counts.
class SurroundGreys
{
public:
    void Tally(int grey)
    {
        if (grey == 0 || grey == first_)
            return;
        if (first_ == 0)
            first_ = grey;
        else
            several_ = true;
    }
    float Decision() const { return several_ ? 0.0f : static_cast<float>(first_); }

private:
    int first_ = 0;
    bool several_ = false;
};

}  // namespace

int MeasureRegionSurrounds(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                           std::vector<float>& regionGreyTable, int startValue)
{
    const int regionCount = HighestLabel(regionPlane, rows, columns, startValue);
    if (regionCount < 1)
        return regionCount;
    if (regionGreyTable.size() <= static_cast<std::size_t>(regionCount))
        regionGreyTable.resize(static_cast<std::size_t>(regionCount) + 1);

    const std::vector<StartPixel> starts = FindStartPixels(regionPlane, rows, columns, regionCount);
    int surroundGrey = 0;
    for (int label = 1; label <= regionCount; ++label) {
        SurroundGreys greys;
        if (starts[label].row != -1) {
            BoundaryWalker walker(regionPlane, imagePlane, rows, columns, static_cast<float>(label), starts[label].row,
                                  starts[label].column);
            for (int steps = 0; steps < TraceStepLimit && walker.Step(surroundGrey); ++steps)
                greys.Tally(surroundGrey);
        }
        regionGreyTable[label] = greys.Decision();
    }
    return regionCount;
}
