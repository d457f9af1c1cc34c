#include "ReferenceAnalysis.h"

#include "Analysis.h"
#include "Conversions.h"
#include "DarkRegionLabelling.h"
#include "GapFilling.h"
#include "RegionSurrounds.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace reference {

// The walk round a region.

namespace {

// Walks round the outside of one region, counter-clockwise, noting the grey of the
// last unlabelled pixel examined at every step.
class BoundaryWalker
{
public:
    BoundaryWalker(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                   float label, int startRow, int startColumn);
    bool Step(int& surroundGrey);

private:
    const Plane& regionPlane_;
    const Plane& imagePlane_;
    int rows_;
    int columns_;
    float label_;
    int startRow_;
    int startColumn_;
    int row_;
    int column_;
    int direction_ = 4;
};

constexpr int RowOffset[8] = {0, -1, -1, -1, 0, 1, 1, 1};
constexpr int ColumnOffset[8] = {1, 1, 0, -1, -1, -1, 0, 1};

// The probing of a step runs from the turned direction up to 7, then 0, 1 and 2.
int ProbeCount(int turned)
{
    return 8 - turned + 3;
}

BoundaryWalker::BoundaryWalker(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                               float label, int startRow, int startColumn)
    : regionPlane_(regionPlane),
      imagePlane_(imagePlane),
      rows_(rows),
      columns_(columns),
      label_(label),
      startRow_(startRow),
      startColumn_(startColumn),
      row_(startRow),
      column_(startColumn)
{
}

bool BoundaryWalker::Step(int& surroundGrey)
{
    const int turned = direction_ % 2 == 0 ? (direction_ + 7) % 8 : (direction_ + 6) % 8;
    const int probes = ProbeCount(turned);
    for (int i = 0; i < probes; ++i) {
        const int p = (turned + i) % 8;
        const int y = row_ + RowOffset[p];
        const int x = column_ + ColumnOffset[p];
        // A walk round a region whose border was not cleared can look past the
        // plane's edge; what lies there counts as an unlabelled pixel of grey 0.
        const bool inside = y >= 0 && y < rows_ && x >= 0 && x < columns_;
        const float neighbour = inside ? regionPlane_[y][x] : 0.0f;
        if (neighbour == label_) {
            row_ = y;
            column_ = x;
            direction_ = p;
            break;
        }
        if (neighbour != 0.0f) {
            direction_ = p;
            break;
        }
        surroundGrey = inside ? GreyIndex(imagePlane_[y][x]) : 0;
        direction_ = (p + 1) % 8;
    }
    return row_ != startRow_ || column_ != startColumn_;
}

}  // namespace

// Dark-region labelling.

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

// The surround grey of each region.

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

// Painting the regions.

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

// Compositing and gap filling.

namespace {

// The first source of the composite for the zero pixel (y, x), or 0 if none is in reach.
float NearestSource(const Plane& composite, int rows, int columns, int y, int x)
{
    for (int d = 0; d < GapSearchAttempts; ++d) {
        const float left = composite[y][std::max(x - d, 0)];
        if (left > 0.0f)
            return left;
        const float right = composite[y][std::min(x + d, columns - 1)];
        if (right > 0.0f)
            return right;
        const float below = composite[std::min(y + d, rows - 1)][x];
        if (below > 0.0f)
            return below;
        const float above = composite[std::max(y - d, 0)][x];
        if (above > 0.0f)
            return above;
    }
    return composite[y][x];
}

}  // namespace

void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns)
{
    for (int y = 0; y < rows; ++y) {
        const float* image = imagePlane[y];
        float* fill = fillPlane[y];
        for (int x = 0; x < columns; ++x)
            fill[x] = image[x] + fill[x];
    }
    for (int y = 0; y < rows; ++y)
        std::copy(fillPlane[y], fillPlane[y] + columns, imagePlane[y]);
    for (int y = 0; y < rows; ++y) {
        float* fill = fillPlane[y];
        for (int x = 0; x < columns; ++x)
            if (imagePlane[y][x] == 0.0f)
                fill[x] = NearestSource(imagePlane, rows, columns, y, x);
    }
}

void RunAnalysis()
{
    const int rows = RasterHeight;
    const int columns = RasterWidth;

    Plane imagePlane(rows, columns);
    Plane regionPlane(rows, columns);
    Plane labelPlane(rows, columns);
    Plane fillPlane(rows, columns);
    std::vector<float> regionGreyTable(RegionGreyTableSize);

    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            imagePlane[y][x] = static_cast<float>(InputRaster[y][x]);

    reference::LabelDarkRegions(imagePlane, labelPlane, regionPlane, rows, columns);
    reference::ClearPlaneBorder(regionPlane, rows, columns);
    const int regionCount = reference::MeasureRegionSurrounds(regionPlane, imagePlane, rows, columns, regionGreyTable, 0);
    reference::PaintRegions(regionPlane, fillPlane, rows, columns, regionGreyTable, regionCount);
    reference::CompositeAndFill(imagePlane, fillPlane, rows, columns);

    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            ResultRaster[y][x] = TruncateToInt(fillPlane[y][x]);
}

}  // namespace reference
