#include "RegionSurrounds.h"

#include "BoundaryWalker.h"
#include "Conversions.h"

#include <cstddef>

namespace {

constexpr int GreyLevels = 256;

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

// The east end of the topmost interior row that carries the label; false if none does.
bool FindStartPixel(const Plane& regionPlane, int rows, int columns, float label, int& startRow, int& startColumn)
{
    for (int y = 1; y <= rows - 2; ++y) {
        const float* region = regionPlane[y];
        for (int x = columns - 2; x >= 1; --x) {
            if (region[x] == label) {
                startRow = y;
                startColumn = x;
                return true;
            }
        }
    }
    return false;
}

// Tallies of the walk of every label: entry [grey * labels + label].
class SurroundTally
{
public:
    explicit SurroundTally(int regionCount)
        : labels_(static_cast<std::size_t>(regionCount) + 1), counts_(GreyLevels * labels_, 0.0f)
    {
    }
    float& operator()(int grey, int label) { return counts_[grey * labels_ + label]; }

private:
    std::size_t labels_;
    std::vector<float> counts_;
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

    SurroundTally tally(regionCount);
    std::vector<float> distinctGreyCount(static_cast<std::size_t>(regionCount) + 1, 0.0f);
    int surroundGrey = 0;

    for (int label = 1; label <= regionCount; ++label) {
        int startRow = 0;
        int startColumn = 0;
        if (!FindStartPixel(regionPlane, rows, columns, static_cast<float>(label), startRow, startColumn))
            continue;
        BoundaryWalker walker(regionPlane, imagePlane, rows, columns, static_cast<float>(label), startRow,
                              startColumn);
        for (int steps = 0; steps < TraceStepLimit && walker.Step(surroundGrey); ++steps)
            tally(surroundGrey, label) += 1.0f;
    }

    for (int label = 1; label <= regionCount; ++label) {
        int lastGrey = 0;
        for (int grey = 1; grey < GreyLevels; ++grey) {
            if (tally(grey, label) > 0.0f) {
                distinctGreyCount[label] += 1.0f;
                lastGrey = grey;
            }
        }
        regionGreyTable[label] = distinctGreyCount[label] == 1.0f ? static_cast<float>(lastGrey) : 0.0f;
    }
    return regionCount;
}
