#include "testing/reference/ReferenceAnalysis.h"

#include "darkfill/darkfill.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <span>
#include <type_traits>
#include <vector>

// Written from the rules alone, one rule at a time, for a reader to check against
// them: nothing here is shared with the fast stages, and nothing is made fast.

namespace darkfill::reference {

namespace {

// The rules' constants.
constexpr int StepLimit = 9000;         // tallied steps of one walk
constexpr int FirstTableSize = 512;     // room for labels 1 to 511

// A double holding a whole number, back as an integer: truncated toward zero, and
// held at the integer's ends where it lies beyond them (0 for not-a-number).
std::int32_t WholeNumberOf(double value)
{
    if (value != value)
        return 0;
    if (value >= 2147483648.0)
        return std::numeric_limits<std::int32_t>::max();
    if (value < -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// A pixel's value as the walk notes it: the value where it is above 0, else 0.
double NotedValueOf(double value)
{
    return value > 0.0 ? value : 0.0;
}

}  // namespace

// Dark-region labelling.

void LabelDarkRegions(const Plane& imagePlane, Plane& labelPlane, Plane& regionPlane, int rows, int columns,
                      int smallestRegion)
{
    // First pass: the k-th dark pixel in raster order gets working label k.
    double counter = 0.0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            if (imagePlane[y][x] == 0.0) {
                counter = counter + 1.0;
                labelPlane[y][x] = counter;
            } else {
                labelPlane[y][x] = 0.0;
            }
        }
    const int darkPixels = static_cast<int>(counter);

    // Propagation: forward and backward sweeps over the interior, in place, until
    // an iteration changes nothing.
    bool changed = true;
    while (changed) {
        changed = false;
        for (int pass = 0; pass < 2; ++pass) {
            const bool forward = pass == 0;
            for (int i = 1; i <= rows - 2; ++i) {
                const int y = forward ? i : rows - 1 - i;
                for (int j = 1; j <= columns - 2; ++j) {
                    const int x = forward ? j : columns - 1 - j;
                    if (labelPlane[y][x] == 0.0)
                        continue;
                    double running = labelPlane[y][x];
                    for (int by = y - 1; by <= y + 1; ++by)
                        for (int bx = x - 1; bx <= x + 1; ++bx) {
                            const double label = labelPlane[by][bx];
                            if (label > 0.0 && label < running) {
                                running = label;
                                changed = true;
                            }
                        }
                    labelPlane[y][x] = running;
                }
            }
        }
    }

    // Counting over the counted area: rows 0 to R - 2, columns 0 to C - 2.
    const std::size_t cells = rows > 0 && columns > 0 ? static_cast<std::size_t>(rows) * columns : 0;
    std::vector<double> labelHistogram(cells + 1);
    for (int label = 1; label <= darkPixels; ++label)
        labelHistogram[label] = 0.0;
    for (int y = 0; y <= rows - 2; ++y)
        for (int x = 0; x <= columns - 2; ++x)
            if (labelPlane[y][x] > 0.0)
                labelHistogram[static_cast<std::size_t>(labelPlane[y][x])] += 1.0;

    for (int y = 0; y <= rows - 2; ++y)
        for (int x = 0; x <= columns - 2; ++x)
            regionPlane[y][x] = 0.0;

    // Relabelling: every kept working label, in ascending order, becomes the next
    // region label, written by one scan of the counted area.
    int regions = 0;
    for (int label = 1; label <= darkPixels; ++label) {
        if (!(labelHistogram[label] > static_cast<double>(smallestRegion - 1)))
            continue;
        regions = regions + 1;
        for (int y = 0; y <= rows - 2; ++y)
            for (int x = 0; x <= columns - 2; ++x)
                if (labelPlane[y][x] == static_cast<double>(label))
                    regionPlane[y][x] = static_cast<double>(regions);
    }
}

void ClearPlaneBorder(Plane& plane, int rows, int columns)
{
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            if (y == 0 || y == rows - 1 || x == 0 || x == columns - 1)
                plane[y][x] = 0.0;
}

// Region boundary tracing and surround grey.

namespace {

struct Direction {
    int rowStep;
    int columnStep;
};

// By code: east, north-east, north, north-west, west, south-west, south,
// south-east; north is the row above.
constexpr Direction Directions[8] = {{0, +1}, {-1, +1}, {-1, 0}, {-1, -1}, {0, -1}, {+1, -1}, {+1, 0}, {+1, +1}};

// The directions that one step probes, in order, by the direction before the
// step's turn: the turned direction, upward to 7, then 0, 1 and 2.
constexpr int AfterEastOrNorthEast[] = {7, 0, 1, 2};
constexpr int AfterNorthOrNorthWest[] = {1, 2, 3, 4, 5, 6, 7, 0, 1, 2};
constexpr int AfterWestOrSouthWest[] = {3, 4, 5, 6, 7, 0, 1, 2};
constexpr int AfterSouthOrSouthEast[] = {5, 6, 7, 0, 1, 2};

std::span<const int> ProbeOrder(int direction)
{
    switch (direction) {
    case 0:
    case 1:
        return AfterEastOrNorthEast;
    case 2:
    case 3:
        return AfterNorthOrNorthWest;
    case 4:
    case 5:
        return AfterWestOrSouthWest;
    default:
        return AfterSouthOrSouthEast;
    }
}

// The label and grey level of a cell; a cell past the plane's edge, which only a
// plane whose border was not cleared lets a walk reach, is unlabelled and grey 0.
double LabelAt(const Plane& regionPlane, int rows, int columns, int y, int x)
{
    return y >= 0 && y < rows && x >= 0 && x < columns ? regionPlane[y][x] : 0.0;
}

double GreyAt(const Plane& imagePlane, int rows, int columns, int y, int x)
{
    return y >= 0 && y < rows && x >= 0 && x < columns ? NotedValueOf(imagePlane[y][x]) : 0.0;
}

// The highest label: every cell above the value so far replaces it.
int HighestLabel(const Plane& regionPlane, int rows, int columns, int startValue)
{
    int highest = startValue;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            if (regionPlane[y][x] > static_cast<double>(highest))
                highest = WholeNumberOf(regionPlane[y][x]);
    return highest;
}

// The start pixel of a label: the east end of its topmost interior row.
StartPixel StartPixelOf(const Plane& regionPlane, int rows, int columns, int label)
{
    StartPixel start;
    for (int y = 1; y <= rows - 2 && start.row < 0; ++y)
        for (int x = 1; x <= columns - 2; ++x)
            if (regionPlane[y][x] == static_cast<double>(label))
                start = {y, x};
    return start;
}

}  // namespace

RegionStarts StartPixels(const Plane& regionPlane, int rows, int columns, int startValue)
{
    const int highest = HighestLabel(regionPlane, rows, columns, startValue);
    RegionStarts starts(static_cast<std::size_t>(std::max(highest, 0)) + 1);
    for (int label = 1; label <= highest; ++label)
        starts[label] = StartPixelOf(regionPlane, rows, columns, label);
    return starts;
}

int MeasureRegionSurrounds(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                           std::vector<double>& regionGreyTable, int startValue)
{
    const int regionCount = HighestLabel(regionPlane, rows, columns, startValue);
    if (regionCount < 1)
        return regionCount;
    if (regionGreyTable.size() < static_cast<std::size_t>(regionCount) + 1)
        regionGreyTable.resize(static_cast<std::size_t>(regionCount) + 1);

    // surroundTally[label][grey]: the tallied steps of each grey that a label's
    // walk saw. A 16-bit picture has 65536 greys, so each label keeps only those
    // it saw, in ascending order; a grey that is not kept has the tally 0.
    std::vector<std::map<double, double>> surroundTally(static_cast<std::size_t>(regionCount) + 1);
    std::vector<double> distinctGreyCount(static_cast<std::size_t>(regionCount) + 1, 0.0);
    double surroundGrey = 0.0;

    for (int label = 1; label <= regionCount; ++label) {
        const double own = static_cast<double>(label);
        const auto [startRow, startColumn] = StartPixelOf(regionPlane, rows, columns, label);
        if (startRow < 0)
            continue;

        int row = startRow;
        int column = startColumn;
        int direction = 4;
        int steps = 0;
        while (true) {
            // Turn and probe, as the step's probe order gives.
            for (const int probe : ProbeOrder(direction)) {
                const int y = row + Directions[probe].rowStep;
                const int x = column + Directions[probe].columnStep;
                const double neighbour = LabelAt(regionPlane, rows, columns, y, x);
                if (neighbour == own) {
                    row = y;
                    column = x;
                    direction = probe;
                    break;
                }
                if (neighbour != 0.0) {
                    direction = probe;
                    break;
                }
                surroundGrey = GreyAt(imagePlane, rows, columns, y, x);
                direction = (probe + 1) % 8;
            }
            if (row == startRow && column == startColumn)
                break;
            surroundTally[label][surroundGrey] += 1.0;
            steps = steps + 1;
            if (steps == StepLimit)
                break;
        }
    }

    // The decision: the one grey from 1 up that was tallied, else 0.
    for (int label = 1; label <= regionCount; ++label) {
        for (const auto& [grey, tally] : surroundTally[label])
            if (grey > 0.0 && tally > 0.0)
                distinctGreyCount[label] += 1.0;
        regionGreyTable[label] = 0.0;
        if (distinctGreyCount[label] == 1.0)
            for (const auto& [grey, tally] : surroundTally[label])
                if (grey > 0.0 && tally > 0.0)
                    regionGreyTable[label] = grey;
    }
    return regionCount;
}

// Region painting.

void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<double>& regionGreyTable, int regionCount)
{
    // Labels beyond the table's last entry paint nothing.
    const long long tableEntries = static_cast<long long>(regionGreyTable.size());
    const int lastLabel = static_cast<int>(std::min<long long>(regionCount, tableEntries - 1));
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            fillPlane[y][x] = 0.0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            for (int k = 1; k <= lastLabel; ++k)
                if (static_cast<double>(k) == regionPlane[y][x])
                    fillPlane[y][x] = regionGreyTable[k];
}

// Compositing and gap filling.

namespace {

void Composite(Plane& imagePlane, Plane& fillPlane, int rows, int columns)
{
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            fillPlane[y][x] = imagePlane[y][x] + fillPlane[y][x];
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            imagePlane[y][x] = fillPlane[y][x];
}

void Note(std::span<ValueSource> sources, int y, int x, int columns, ValueSource source)
{
    if (!sources.empty())
        sources[static_cast<std::size_t>(y) * columns + x] = source;
}

}  // namespace

void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns, std::span<ValueSource> sources,
                      int reach)
{
    // Probes farther than the plane is long or wide read its edges again.
    const int attempts = std::min(reach, std::max(rows, columns)) + 1;
    constexpr ValueSource ProbeSources[4] = {ValueSource::FromLeft, ValueSource::FromRight, ValueSource::FromBelow,
                                             ValueSource::FromAbove};
    Composite(imagePlane, fillPlane, rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            if (imagePlane[y][x] != 0.0)
                continue;
            bool found = false;
            for (int d = 0; d < attempts && !found; ++d) {
                const double probes[4] = {
                    imagePlane[y][std::max(x - d, 0)],            // left
                    imagePlane[y][std::min(x + d, columns - 1)],  // right
                    imagePlane[std::min(y + d, rows - 1)][x],     // below
                    imagePlane[std::max(y - d, 0)][x],            // above
                };
                for (int p = 0; p < 4 && !found; ++p)
                    if (probes[p] > 0.0) {
                        fillPlane[y][x] = probes[p];
                        if (!sources.empty())
                            sources[static_cast<std::size_t>(y) * columns + x] = ProbeSources[p];
                        found = true;
                    }
            }
        }
}

namespace {

// The value of the source nearest to (y, x) within reach, 0 for none: every
// source measured, columns left to right and each from the top, the first at
// the least squared distance kept.
double NearestSource(const Plane& imagePlane, int rows, int columns, int y, int x, long long reachSquared)
{
    long long best = -1;
    double value = 0.0;
    for (int sx = 0; sx < columns; ++sx)
        for (int sy = 0; sy < rows; ++sy) {
            const long long d = static_cast<long long>(sx - x) * (sx - x) + static_cast<long long>(sy - y) * (sy - y);
            if (imagePlane[sy][sx] > 0.0 && d <= reachSquared && (best < 0 || d < best)) {
                best = d;
                value = imagePlane[sy][sx];
            }
        }
    return value;
}

}  // namespace

void CompositeAndFillNearest(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                             std::span<ValueSource> sources, int reach)
{
    Composite(imagePlane, fillPlane, rows, columns);
    const long long reachSquared = static_cast<long long>(reach) * reach;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            if (imagePlane[y][x] != 0.0)
                continue;
            const double value = NearestSource(imagePlane, rows, columns, y, x, reachSquared);
            if (value > 0.0) {
                fillPlane[y][x] = value;
                Note(sources, y, x, columns, ValueSource::FromNearest);
            }
        }
}

namespace {

// The first source found stepping from (y, x) by (dy, dx), within reach; 0 for none.
double ProbeFrom(const Plane& plane, int rows, int columns, int y, int x, int dy, int dx, int reach)
{
    for (long long d = 1; d <= reach; ++d) {
        const long long sy = y + d * dy, sx = x + d * dx;
        if (sy < 0 || sy >= rows || sx < 0 || sx >= columns)
            return 0.0;
        if (plane[sy][sx] > 0.0)
            return plane[sy][sx];
    }
    return 0.0;
}

}  // namespace

void CompositeAndFillBackground(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                                std::span<ValueSource> sources, int reach, FarSide far)
{
    Composite(imagePlane, fillPlane, rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            if (imagePlane[y][x] != 0.0)
                continue;
            for (const bool alongRow : {true, false}) {
                const double a = ProbeFrom(imagePlane, rows, columns, y, x, alongRow ? 0 : -1, alongRow ? -1 : 0, reach);
                const double b = ProbeFrom(imagePlane, rows, columns, y, x, alongRow ? 0 : 1, alongRow ? 1 : 0, reach);
                if (a == 0.0 && b == 0.0)
                    continue;
                if (a == 0.0 || b == 0.0)
                    fillPlane[y][x] = a + b;
                else
                    fillPlane[y][x] = (far == FarSide::Larger) == (a > b) ? a : b;
                Note(sources, y, x, columns, ValueSource::FromBackground);
                break;
            }
        }
}

namespace {

// The guide's channels at (y, x), each from 0 to 1: one for grey, three for colour.
std::vector<double> GuideChannels(const GuideView& guide, int y, int x)
{
    const unsigned char* at = static_cast<const unsigned char*>(guide.data) + y * guide.rowStep + x * guide.columnStep;
    if (guide.format == GuideFormat::Grey16)
        return {(at[0] | at[1] << 8) / 65535.0};  // little-endian, as every machine here
    if (guide.format == GuideFormat::Rgb8)
        return {at[0] / 255.0, at[1] / 255.0, at[2] / 255.0};
    return {at[0] / 255.0};
}

// The squared difference of two guide cells, averaged over their channels.
double SquaredDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    double sum = 0.0;
    for (std::size_t c = 0; c < a.size(); ++c)
        sum += (a[c] - b[c]) * (a[c] - b[c]) / static_cast<double>(a.size());
    return sum;
}

// Solves a x = b in place by Gaussian elimination with partial pivoting.
void SolveDense(std::vector<std::vector<double>>& a, std::vector<double>& b)
{
    const std::size_t n = b.size();
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < n; ++row)
            if (std::abs(a[row][col]) > std::abs(a[pivot][col]))
                pivot = row;
        std::swap(a[col], a[pivot]);
        std::swap(b[col], b[pivot]);
        for (std::size_t row = col + 1; row < n; ++row) {
            const double factor = a[row][col] / a[col][col];
            if (factor == 0.0)
                continue;
            for (std::size_t k = col; k < n; ++k)
                a[row][k] -= factor * a[col][k];
            b[row] -= factor * b[col];
        }
    }
    for (std::size_t col = n; col-- > 0;) {
        double sum = b[col];
        for (std::size_t k = col + 1; k < n; ++k)
            sum -= a[col][k] * b[k];
        b[col] = sum / a[col][col];
    }
}

}  // namespace

GuidedSystem GuidedSystemOf(const Plane& imagePlane, int rows, int columns, const GuideView& guide)
{
    const auto inside = [&](int y, int x) { return y >= 0 && y < rows && x >= 0 && x < columns; };
    // A hole takes part where its holes lead, step by step, to a source.
    Plane leads(rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            leads[y][x] = 0.0;
    for (bool grew = true; grew;) {
        grew = false;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                for (int dy = -1; dy <= 1 && imagePlane[y][x] == 0.0 && leads[y][x] == 0.0; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if ((dy != 0 || dx != 0) && inside(y + dy, x + dx) &&
                            (imagePlane[y + dy][x + dx] > 0.0 || leads[y + dy][x + dx] == 1.0)) {
                            leads[y][x] = 1.0;
                            grew = true;
                            break;
                        }
    }
    GuidedSystem system;
    std::map<std::pair<int, int>, std::size_t> number;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            if (leads[y][x] == 1.0) {
                number[{y, x}] = system.holes.size();
                system.holes.push_back({y, x});
            }
    system.lowest = std::numeric_limits<double>::max();
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            if (imagePlane[y][x] > 0.0) {
                system.lowest = std::min(system.lowest, imagePlane[y][x]);
                system.highest = std::max(system.highest, imagePlane[y][x]);
            }

    // One equation a hole: itself less the weighted mean of its neighbours.
    system.rhs.assign(system.holes.size(), 0.0);
    for (std::size_t i = 0; i < system.holes.size(); ++i) {
        const auto [y, x] = system.holes[i];
        const std::vector<double> g = GuideChannels(guide, y, x);
        std::vector<std::vector<double>> window = {g};
        std::vector<std::pair<int, int>> taking;
        double closest = std::numeric_limits<double>::max();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if ((dy == 0 && dx == 0) || !inside(y + dy, x + dx))
                    continue;
                window.push_back(GuideChannels(guide, y + dy, x + dx));
                closest = std::min(closest, SquaredDifference(window.back(), g));
                if (imagePlane[y + dy][x + dx] >= 0.0)
                    taking.push_back({y + dy, x + dx});
            }
        // The window's variance, averaged over the channels.
        std::vector<double> mean(g.size(), 0.0);
        for (const std::vector<double>& v : window)
            for (std::size_t c = 0; c < g.size(); ++c)
                mean[c] += v[c] / static_cast<double>(window.size());
        double variance = 0.0;
        for (const std::vector<double>& v : window)
            variance += SquaredDifference(v, mean) / static_cast<double>(window.size());
        double spread = std::max({0.6 * variance, window.size() > 1 ? closest / -std::log(0.01) : 0.0, 2e-6});
        std::vector<double> weights;
        double total = 0.0;
        for (const auto& [ny, nx] : taking) {
            weights.push_back(std::exp(-std::min(SquaredDifference(GuideChannels(guide, ny, nx), g) / spread, 9.0)));
            total += weights.back();
        }
        // A flat window leaves the hole leaning toward its nearest source,
        // which weighs 0.1 beside the neighbours' 1 together.
        const bool flat = 0.6 * variance < 2e-6;
        const double share = flat ? 1.0 / 1.1 : 1.0;
        system.entries.push_back({i, i, 1.0});
        for (std::size_t k = 0; k < taking.size(); ++k) {
            const auto [ny, nx] = taking[k];
            if (imagePlane[ny][nx] > 0.0)
                system.rhs[i] += share * weights[k] / total * imagePlane[ny][nx];
            else
                system.entries.push_back({i, number.at({ny, nx}), -share * weights[k] / total});
        }
        if (flat) {
            const long long anywhere = std::numeric_limits<long long>::max();
            system.rhs[i] += 0.1 / 1.1 * NearestSource(imagePlane, rows, columns, y, x, anywhere);
        }
    }
    return system;
}

void CompositeAndFillGuided(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                            std::span<ValueSource> sources, const GuideView& guide)
{
    Composite(imagePlane, fillPlane, rows, columns);
    GuidedSystem system = GuidedSystemOf(imagePlane, rows, columns, guide);
    const std::size_t n = system.holes.size();
    std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.0));
    for (const auto& [row, column, value] : system.entries)
        a[row][column] += value;
    SolveDense(a, system.rhs);
    for (std::size_t i = 0; i < n; ++i) {
        const auto [y, x] = system.holes[i];
        fillPlane[y][x] = std::clamp(system.rhs[i], system.lowest, system.highest);
        Note(sources, y, x, columns, ValueSource::FromGuide);
    }
}

// A raster's value as the plane holds it: a hole (0, or NaN) as 0.
template <class Value>
double PlaneValueOf(Value value)
{
    if constexpr (std::is_same_v<Value, float>)
        if (value != value)
            return 0.0;
    return value == Value{} ? 0.0 : static_cast<double>(value);
}

// A plane's value back in the raster's type: exact for the values that came from
// it, and the nearest integer to a guided mean.
template <class Value>
Value RasterValueOf(double value)
{
    if constexpr (std::is_same_v<Value, float>)
        return static_cast<float>(value);
    else if constexpr (std::is_same_v<Value, std::int32_t>)
        return WholeNumberOf(std::round(value));
    else
        return static_cast<Value>(std::round(value));
}

template <class Value>
void FillHoles(std::span<const Value> raster, int rows, int columns, std::span<Value> result,
               std::span<ValueSource> sources, FillCounts* counts, const FillOptions& options)
{
    Plane image(rows, columns), region(rows, columns), label(rows, columns), fill(rows, columns);
    std::vector<double> table(FirstTableSize);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            image[y][x] = PlaneValueOf(raster[static_cast<std::size_t>(y) * columns + x]);

    LabelDarkRegions(image, label, region, rows, columns, options.smallestRegion);
    ClearPlaneBorder(region, rows, columns);
    const int regionCount = MeasureRegionSurrounds(region, image, rows, columns, table, 0);
    PaintRegions(region, fill, rows, columns, table, regionCount);

    // Where the values come from: the picture's own, a painted region, or the fill,
    // which notes its directions; what nothing reaches stays at 0.
    std::vector<ValueSource> noted(static_cast<std::size_t>(rows) * columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            ValueSource& source = noted[static_cast<std::size_t>(y) * columns + x];
            if (image[y][x] != 0.0)
                source = ValueSource::Kept;
            else if (fill[y][x] > 0.0)
                source = ValueSource::Painted;
            else
                source = ValueSource::LeftAtZero;
        }
    const int reach = ReachOf(options);
    if (options.rule == FillRule::Nearest)
        CompositeAndFillNearest(image, fill, rows, columns, noted, reach);
    else if (options.rule == FillRule::Background)
        CompositeAndFillBackground(image, fill, rows, columns, noted, reach, options.far);
    else if (options.rule == FillRule::Guided)
        CompositeAndFillGuided(image, fill, rows, columns, noted, options.guide);
    else
        CompositeAndFill(image, fill, rows, columns, noted, reach);

    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            result[static_cast<std::size_t>(y) * columns + x] = RasterValueOf<Value>(fill[y][x]);
    if (!sources.empty())
        std::copy(noted.begin(), noted.end(), sources.begin());
    if (counts) {
        *counts = FillCounts();
        // The regions are the labels that the region plane still carries.
        std::vector<bool> present(static_cast<std::size_t>(std::max(regionCount, 0)) + 1, false);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                for (int k = 1; k <= regionCount; ++k)
                    if (region[y][x] == static_cast<double>(k))
                        present[k] = true;
        for (int k = 1; k <= regionCount; ++k)
            if (present[k]) {
                counts->regionsFound += 1;
                if (table[k] > 0.0)
                    counts->regionsPainted += 1;
            }
        for (const ValueSource source : noted) {
            if (source == ValueSource::Painted)
                counts->pixelsPainted += 1;
            else if (source == ValueSource::LeftAtZero)
                counts->pixelsLeftAtZero += 1;
            else if (source != ValueSource::Kept)
                counts->pixelsFilled += 1;
        }
    }
}


template void FillHoles(std::span<const std::uint8_t>, int, int, std::span<std::uint8_t>, std::span<ValueSource>,
                        FillCounts*, const FillOptions&);
template void FillHoles(std::span<const std::uint16_t>, int, int, std::span<std::uint16_t>, std::span<ValueSource>,
                        FillCounts*, const FillOptions&);
template void FillHoles(std::span<const std::int32_t>, int, int, std::span<std::int32_t>, std::span<ValueSource>,
                        FillCounts*, const FillOptions&);
template void FillHoles(std::span<const float>, int, int, std::span<float>, std::span<ValueSource>, FillCounts*,
                        const FillOptions&);

}  // namespace darkfill::reference
