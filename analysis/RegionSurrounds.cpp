#include "analysis/RegionSurrounds.h"

#include "analysis/BoundaryWalker.h"
#include "analysis/Conversions.h"

#include <cstddef>

namespace {

struct StartPixel {
    int row = -1;
    int column = -1;
};

// What one pass over the plane finds: the highest label (every cell above the
// value so far replaces it, truncated) and, for every whole label from 1 up, the
// east end of the topmost interior row that carries it; a label that no interior
// pixel carries keeps row -1.
struct LabelScan {
    int highest;
    std::vector<StartPixel> starts;
};

void NoteStart(std::vector<StartPixel>& starts, float value, int y, int x)
{
    if (!(value < 2147483648.0f))
        return;
    const int label = static_cast<int>(value);
    if (static_cast<float>(label) != value)
        return;
    if (starts.size() <= static_cast<std::size_t>(label))
        starts.resize(static_cast<std::size_t>(label) + 1);
    StartPixel& start = starts[label];
    if (start.row == -1 || start.row == y)
        start = {y, x};
}

LabelScan ScanLabels(const Plane& regionPlane, int rows, int columns, int startValue)
{
    LabelScan scan{startValue, {}};
    for (int y = 0; y < rows; ++y) {
        const float* region = regionPlane[y];
        const bool interiorRow = y >= 1 && y <= rows - 2;
        for (int x = 0; x < columns; ++x) {
            const float value = region[x];
            if (value > static_cast<float>(scan.highest))
                scan.highest = TruncateToInt(value);
            if (value >= 1.0f && interiorRow && x >= 1 && x <= columns - 2)
                NoteStart(scan.starts, value, y, x);
        }
    }
    if (scan.highest >= 1)
        scan.starts.resize(static_cast<std::size_t>(scan.highest) + 1);
    return scan;
}

// What decides a region's grey: the first value from 1 up that its walk
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
    const LabelScan scan = ScanLabels(regionPlane, rows, columns, startValue);
    const int regionCount = scan.highest;
    if (regionCount < 1)
        return regionCount;
    if (regionGreyTable.size() <= static_cast<std::size_t>(regionCount))
        regionGreyTable.resize(static_cast<std::size_t>(regionCount) + 1);

    const std::vector<StartPixel>& starts = scan.starts;
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
