#include "app/Analysis.h"
#include "analysis/DarkRegionLabelling.h"
#include "analysis/GapFilling.h"
#include "darkfill/darkfill.h"
#include "testing/rasters/RasterFill.h"
#include "analysis/RegionPainting.h"
#include "analysis/RegionSurrounds.h"
#include "testing/planes/PlaneArt.h"
#include "testing/rasters/GeneratedRasters.h"
#include "testing/reference/ReferenceAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

using namespace darkfill;

// The fast stages against the step-by-step reference, bit for bit, on seeded
// random inputs: a failure names the seed that reproduces it.

namespace {

class Random
{
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    int Below(int n) { return static_cast<int>(engine_() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

private:
    std::mt19937 engine_;
};

using Plane = reference::Plane;

// A value that no stage writes, for the cells that must be left alone.
constexpr RegionLabel Unwritten = 0xdeadbeef;

Plane Filled(int rows, int columns, const std::function<double(int, int)>& value)
{
    Plane plane(rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            plane[y][x] = value(y, x);
    return plane;
}

// A grey picture with dark pixels drawn in one of several ways.
Plane DarkPicture(Random& random, int rows, int columns)
{
    Plane picture = Filled(rows, columns, [&](int, int) { return 1.0 + random.Below(255); });
    const auto dark = [&](int y, int x) {
        if (y >= 0 && y < rows && x >= 0 && x < columns)
            picture[y][x] = 0.0;
    };
    switch (random.Below(6)) {
    case 0:  // noise
        for (int y = 0, p = 5 + random.Below(60); y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                if (random.Chance(p))
                    dark(y, x);
        break;
    case 1:  // blobs
        for (int n = random.Below(8); n >= 0; --n) {
            const int cy = random.Below(rows), cx = random.Below(columns), r = 1 + random.Below(6);
            for (int y = cy - r; y <= cy + r; ++y)
                for (int x = cx - r; x <= cx + r; ++x)
                    if ((y - cy) * (y - cy) + (x - cx) * (x - cx) <= r * r)
                        dark(y, x);
        }
        break;
    case 2:  // groups touching the border
        for (int n = random.Below(12); n >= 0; --n) {
            const bool horizontal = random.Chance(50);
            const int along = random.Below(horizontal ? columns : rows), length = 1 + random.Below(8);
            const int edge = random.Chance(50) ? 0 : (horizontal ? rows - 1 : columns - 1);
            for (int i = 0; i < length; ++i)
                for (int depth = 0; depth < 3; ++depth)
                    horizontal ? dark(edge == 0 ? depth : edge - depth, along + i)
                               : dark(along + i, edge == 0 ? depth : edge - depth);
        }
        break;
    case 3:  // one-pixel corridors that wind, along the rows or down the columns
        if (random.Chance(50)) {
            for (int y = 1; y < rows - 1; y += 2) {
                for (int x = 1; x < columns - 1; ++x)
                    dark(y, x);
                dark(y + 1, (y / 2) % 2 ? 1 : columns - 2);
            }
        } else {
            // Labels then move down one corridor and up the next in every sweep,
            // a few cells of each row at a time.
            for (int x = 1; x < columns - 1; x += 2) {
                for (int y = 1; y < rows - 1; ++y)
                    dark(y, x);
                dark((x / 2) % 2 ? 1 : rows - 2, x + 1);
            }
        }
        break;
    case 4:  // strokes that wander in all eight directions, a few cells to a row
        for (int n = random.Below(4); n >= 0; --n)
            for (int y = random.Below(rows), x = random.Below(columns), i = 3 * (rows + columns); i > 0; --i) {
                dark(y, x);
                y = std::clamp(y + random.Below(3) - 1, 0, rows - 1);
                x = std::clamp(x + random.Below(3) - 1, 0, columns - 1);
            }
        break;
    default:  // all dark but a few
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                if (!random.Chance(5))
                    dark(y, x);
        break;
    }
    return picture;
}

// A label plane with gaps, a few stray labels and pieces sharing a label.
Plane LabelPlane(Random& random, int rows, int columns, int& highest)
{
    highest = 1 + random.Below(12);
    const bool clearBorder = !random.Chance(10);
    return Filled(rows, columns, [&](int y, int x) {
        if (clearBorder && (y == 0 || x == 0 || y == rows - 1 || x == columns - 1))
            return 0.0;
        const int region = ((y / (1 + random.Below(3))) * 7 + x / 3) % (highest + 3);
        if (random.Chance(3))
            return static_cast<double>(highest + 1 + random.Below(2));
        return region <= highest && !random.Chance(30) ? static_cast<double>(region) : 0.0;
    });
}

constexpr int SmallPlanes = 3000;

TEST(Differential, Labelling)
{
    for (unsigned seed = 1; seed <= SmallPlanes; ++seed) {
        Random random(seed);
        // Some planes are wide enough for rows whose dark cells lie far apart.
        const int rows = 1 + random.Below(40), columns = 1 + random.Below(random.Chance(20) ? 300 : 40);
        const Plane image = DarkPicture(random, rows, columns);
        const darkfill::Plane<std::uint8_t> fastImage = CopyOfPlane<std::uint8_t>(image);
        darkfill::Plane<RegionLabel> fastRegions = FilledPlane(rows, columns, Unwritten);
        Plane referenceLabels = Filled(rows, columns, [](int, int) { return Unwritten; });
        Plane referenceRegions = Filled(rows, columns, [](int, int) { return Unwritten; });
        LabelDarkRegions(fastImage, fastRegions, rows, columns);
        reference::LabelDarkRegions(image, referenceLabels, referenceRegions, rows, columns);
        ClearLastRowAndColumn(referenceRegions);
        ASSERT_TRUE(SameCells(fastRegions, referenceRegions)) << "seed " << seed;
        // The 64-bit working labels of rasters of 2^32 cells or more, on the same plane.
        darkfill::Plane<RegionLabel> wideRegions = FilledPlane(rows, columns, Unwritten);
        WorkingArena arena, runArena;
        arena.Reserve(LabellingBytes(rows, columns) * 2);
        LabelWith<std::uint64_t>(fastImage, wideRegions, rows, columns, nullptr, 6, arena, runArena);
        ASSERT_TRUE(SameCells(wideRegions, referenceRegions)) << "seed " << seed << ", 64-bit labels";
        ClearPlaneBorder(fastRegions, rows, columns);
        reference::ClearPlaneBorder(referenceRegions, rows, columns);
        ASSERT_TRUE(SameCells(fastRegions, referenceRegions)) << "seed " << seed;

        // The start pixels noted while labelling: for each region, the east end of
        // the topmost interior row that carries it, and the walks from there.
        RegionStarts starts;
        LabelDarkRegions(fastImage, fastRegions, rows, columns, &starts);
        ClearPlaneBorder(fastRegions, rows, columns);
        RegionStarts expected(starts.size());
        for (int y = 1; y <= rows - 2; ++y)
            for (int x = columns - 2; x >= 1; --x)
                if (const int region = static_cast<int>(referenceRegions[y][x]); region >= 1) {
                    ASSERT_LT(region, static_cast<int>(expected.size())) << "seed " << seed;
                    if (expected[region].row == -1)
                        expected[region] = {y, x};
                }
        for (std::size_t region = 1; region < starts.size(); ++region)
            ASSERT_TRUE(starts[region].row == expected[region].row && starts[region].column == expected[region].column)
                << "seed " << seed << ", region " << region;
        std::vector<std::uint8_t> fastTable;
        std::vector<double> referenceTable;
        ASSERT_EQ(MeasureRegionSurrounds(fastRegions, fastImage, rows, columns, fastTable, starts),
                  static_cast<RegionLabel>(
                      reference::MeasureRegionSurrounds(referenceRegions, image, rows, columns, referenceTable, 0)))
            << "seed " << seed;
        for (std::size_t label = 1; label < fastTable.size(); ++label)
            ASSERT_EQ(fastTable[label], referenceTable[label]) << "seed " << seed << ", region " << label;
    }
}

// Shapes whose groups join late or take their label from far off, which random
// planes seldom make: the labels and regions must still be those of the sweeps.
TEST(Differential, LabellingOfShapesThatJoinLate)
{
    const struct {
        const char* name;
        int rows;
        int columns;
        std::function<bool(int y, int x)> dark;
    } table[] = {
        {"comb joined by its last interior row", 40, 121, [](int y, int x) { return x % 2 == 1 || y == 38; }},
        {"comb joined by the bottom border only", 40, 121, [](int y, int x) { return x % 2 == 1 || y == 39; }},
        {"staircase rising to the left", 60, 60, [](int y, int x) { return x + y == 59 || x + y == 60; }},
        {"vertical serpentine", 50, 61,
         [](int y, int x) { return x % 2 == 1 || (x % 4 == 0 ? y == 48 : y == 1); }},
        {"spiral", 41, 41,
         [](int y, int x) {
             const int ring = std::min(std::min(y, x), std::min(40 - y, 40 - x));
             return ring % 2 == 1 && !(x == ring + 1 && y == ring && ring < 19);
         }},
        {"labels from the right border, row by row", 30, 40,
         [](int y, int x) { return x == 39 || (x == 38 && y % 3 == 1) || (x >= 30 && x <= 37 && y % 3 == 2); }},
        {"labels from the left border late", 30, 40, [](int y, int x) { return x == 0 || (y >= 20 && x <= 25 && y % 2 == 0); }},
        {"many regions of 3 x 3", 150, 150, [](int y, int x) { return y % 4 != 0 && x % 4 != 0; }},
        {"all dark", 33, 47, [](int, int) { return true; }},
    };
    for (const auto& row : table) {
        const Plane image = Filled(row.rows, row.columns, [&](int y, int x) { return row.dark(y, x) ? 0.0 : 9.0; });
        const auto unwritten = [&] { return Filled(row.rows, row.columns, [](int, int) { return Unwritten; }); };
        darkfill::Plane<RegionLabel> fastRegions = FilledPlane(row.rows, row.columns, Unwritten);
        Plane referenceLabels = unwritten(), referenceRegions = unwritten();
        LabelDarkRegions(CopyOfPlane<std::uint16_t>(image), fastRegions, row.rows, row.columns);
        reference::LabelDarkRegions(image, referenceLabels, referenceRegions, row.rows, row.columns);
        ClearLastRowAndColumn(referenceRegions);
        EXPECT_TRUE(SameCells(fastRegions, referenceRegions)) << row.name;
    }
}

TEST(Differential, Surrounds)
{
    for (unsigned seed = 1; seed <= SmallPlanes; ++seed) {
        Random random(seed);
        const int rows = 1 + random.Below(40), columns = 1 + random.Below(40);
        int highest = 0;
        const Plane regions = LabelPlane(random, rows, columns, highest);
        const Plane image = Filled(rows, columns, [&](int, int) {
            return random.Chance(2) ? 300 - random.Below(600) : random.Below(256);
        });
        const int startValue = random.Chance(10) ? highest + random.Below(3) : 0;
        std::vector<std::int32_t> fastTable;
        std::vector<double> referenceTable;
        // Walked from the start pixels that the reference finds, as no labelling made this plane.
        const RegionLabel fast =
            MeasureRegionSurrounds(CopyOfPlane<RegionLabel>(regions), CopyOfPlane<std::int32_t>(image), rows, columns,
                                   fastTable, reference::StartPixels(regions, rows, columns, startValue));
        const int slow = reference::MeasureRegionSurrounds(regions, image, rows, columns, referenceTable, startValue);
        ASSERT_EQ(fast, static_cast<RegionLabel>(slow)) << "seed " << seed;
        for (RegionLabel label = 1; label <= fast; ++label)
            ASSERT_EQ(fastTable[label], referenceTable[label]) << "seed " << seed << ", region " << label;
    }
}

// Painting over the picture, whose labelled cells are holes: the reference paints
// a plane of its own, which then lies over the picture.
TEST(Differential, Painting)
{
    for (unsigned seed = 1; seed <= SmallPlanes; ++seed) {
        Random random(seed);
        const int rows = 1 + random.Below(40), columns = 1 + random.Below(40);
        int highest = 0;
        const Plane regions = LabelPlane(random, rows, columns, highest);
        std::vector<double> table(static_cast<std::size_t>(highest) + 3 + random.Below(3));
        for (double& entry : table)
            entry = random.Chance(20) ? 0 : random.Below(256);
        table[0] = 0;
        const Plane image = Filled(rows, columns, [&](int y, int x) {
            return regions[y][x] != 0 ? 0 : random.Chance(20) ? 0 : 1 + random.Below(200);
        });
        Plane slow(rows, columns);
        reference::PaintRegions(regions, slow, rows, columns, table, static_cast<int>(table.size()) - 1);
        for (std::size_t i = 0; i < slow.Cells(); ++i)
            slow[0][i] += image[0][i];

        darkfill::Plane<std::uint16_t> fast = CopyOfPlane<std::uint16_t>(image);
        std::vector<ValueSource> sources(fast.Cells(), ValueSource::LeftAtZero);
        PaintRegions(CopyOfPlane<RegionLabel>(regions), fast, std::vector<std::uint16_t>(table.begin(), table.end()),
                     sources);
        ASSERT_TRUE(SameCells(fast, slow)) << "seed " << seed;
        for (std::size_t i = 0; i < sources.size(); ++i)
            ASSERT_EQ(sources[i] == ValueSource::Painted, regions[0][i] != 0 && slow[0][i] > 0)
                << "seed " << seed << ", cell " << i;
    }
}

TEST(Differential, GapFilling)
{
    for (unsigned seed = 1; seed <= SmallPlanes; ++seed) {
        Random random(seed);
        const bool wide = random.Chance(5);
        const int rows = 1 + random.Below(40), columns = wide ? 490 + random.Below(40) : 1 + random.Below(40);
        // Sources from none to nearly all pixels, so that rows with few gaps are
        // filled run by run; wide planes get one long run of zeros, reaching out of
        // the sources' reach.
        const int sources = random.Chance(20) ? 0 : 1 + random.Below(random.Chance(2) ? 50 : 99);
        Plane image = Filled(rows, columns, [&](int, int) {
            return random.Below(100) < sources ? random.Below(256) - (random.Chance(3) ? 300 : 0) : 0;
        });
        if (wide) {
            const int y = random.Below(rows), length = random.Below(columns), from = random.Below(columns - length);
            std::fill(image[y] + from, image[y] + from + length, 0.0);
        }
        const Plane painted = Filled(rows, columns, [&](int y, int x) {
            return image[y][x] == 0 && random.Chance(10) ? random.Below(256) : 0;
        });
        const int reach = random.Chance(20) ? random.Below(6) : GapSearchAttempts - 1;
        // Each filled cell's direction too, where half the seeds ask for it.
        const bool directions = random.Chance(50);
        std::vector<ValueSource> slowSources(directions ? image.Cells() : 0, ValueSource::Kept);
        std::vector<ValueSource> fastSources = slowSources;
        Plane slowImage = CopyOfPlane(image), slowFill = CopyOfPlane(painted);
        reference::CompositeAndFill(slowImage, slowFill, rows, columns, slowSources, reach);
        darkfill::Plane<std::int32_t> fast = CopyOfPlane<std::int32_t>(image);
        for (std::size_t i = 0; i < fast.Cells(); ++i)
            fast[0][i] += static_cast<std::int32_t>(painted[0][i]);
        darkfill::Plane<std::uint32_t> scratch(rows, columns);
        // Half the planes go in bands of one to four rows.
        const std::size_t bandBytes =
            random.Chance(50) ? (1 + random.Below(4)) * columns * sizeof(std::uint32_t) : GapBandBytes;
        FillGaps(fast, scratch, fastSources, reach, nullptr, bandBytes);
        ASSERT_TRUE(SameCells(fast, slowFill)) << "seed " << seed;
        ASSERT_EQ(fastSources, slowSources) << "seed " << seed;
    }
}

// Whole rasters through RunAnalysis; the kinds are kept cheap enough for the
// reference, whose cost grows with the number of regions and the size of gaps.
class DifferentialRaster : public testing::TestWithParam<int> {};

TEST_P(DifferentialRaster, RunAnalysis)
{
    for (unsigned seed = 1; seed <= 40; ++seed) {
        Random random(seed * 100 + GetParam());
        const Plane picture = [&] {
            Plane small = DarkPicture(random, 12 + random.Below(30), 12 + random.Below(30));
            const int scale = 1 + random.Below(12);
            return Filled(RasterHeight, RasterWidth, [&](int y, int x) {
                return small[(y / scale) % small.Rows()][(x / scale) % small.Columns()];
            });
        }();
        for (int y = 0; y < RasterHeight; ++y)
            for (int x = 0; x < RasterWidth; ++x)
                InputRaster[y][x] = static_cast<std::int32_t>(picture[y][x]);
        RunAnalysis();
        constexpr std::size_t cells = static_cast<std::size_t>(RasterHeight) * RasterWidth;
        std::vector<std::int32_t> slow(cells);
        reference::FillHoles<std::int32_t>(std::span(&InputRaster[0][0], cells), RasterHeight, RasterWidth, slow);
        ASSERT_EQ(std::memcmp(slow.data(), ResultRaster, sizeof(ResultRaster)), 0) << "seed " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DifferentialRaster, testing::Range(0, 8));

// A picture as a raster of values up to highestValue: the grey levels of an
// 8-bit picture spread over the range, holes kept.
std::vector<std::int32_t> RasterOf(const Plane& picture, int highestValue)
{
    std::vector<std::int32_t> raster;
    for (int y = 0; y < picture.Rows(); ++y)
        for (int x = 0; x < picture.Columns(); ++x)
            raster.push_back(static_cast<std::int32_t>(picture[y][x]) * (highestValue / 255));
    return raster;
}

bool SameCounts(const FillCounts& a, const FillCounts& b)
{
    return a.regionsFound == b.regionsFound && a.regionsPainted == b.regionsPainted &&
           a.pixelsPainted == b.pixelsPainted && a.pixelsFilled == b.pixelsFilled &&
           a.pixelsLeftAtZero == b.pixelsLeftAtZero;
}

// The generic analysis against the reference: result, sources and counts.
void ExpectSameFill(const std::vector<std::int32_t>& raster, int rows, int columns, const std::string& what,
                    const FillOptions& options = {})
{
    const std::size_t cells = raster.size();
    std::vector<std::int32_t> fast(cells), slow(cells);
    std::vector<ValueSource> fastSources(cells), slowSources(cells);
    FillCounts fastCounts, slowCounts;
    FillRaster(raster, rows, columns, fast, fastSources, &fastCounts, options);
    reference::FillHoles<std::int32_t>(raster, rows, columns, slow, slowSources, &slowCounts, options);
    ASSERT_EQ(fast, slow) << what;
    ASSERT_TRUE(fastSources == slowSources) << what;
    ASSERT_TRUE(SameCounts(fastCounts, slowCounts)) << what;
}

// Rows past what 16-bit columns reach take the labelling's wide form: noise,
// whose regions are small enough for the reference's sweeps, with its runs on
// both sides of column 65,536 and across it.
TEST(Differential, LabellingOfRowsPastSixteenBitColumns)
{
    struct Row {
        const char* name;
        int rows;
        int columns;
        int darkPercent;
    };
    const Row table[] = {{"FiveRows", 5, 65600, 30}, {"ThreeRowsDense", 3, 65700, 45}};
    for (const Row& row : table) {
        Random random(7);
        const Plane image = Filled(row.rows, row.columns,
                                   [&](int, int) { return random.Chance(row.darkPercent) ? 0.0 : 1.0 + random.Below(9); });
        const darkfill::Plane<std::uint8_t> fastImage = CopyOfPlane<std::uint8_t>(image);
        darkfill::Plane<RegionLabel> fastRegions = FilledPlane(row.rows, row.columns, Unwritten);
        Plane referenceLabels = Filled(row.rows, row.columns, [](int, int) { return Unwritten; });
        Plane referenceRegions = Filled(row.rows, row.columns, [](int, int) { return Unwritten; });
        LabelDarkRegions(fastImage, fastRegions, row.rows, row.columns);
        reference::LabelDarkRegions(image, referenceLabels, referenceRegions, row.rows, row.columns);
        ClearLastRowAndColumn(referenceRegions);
        EXPECT_TRUE(SameCells(fastRegions, referenceRegions)) << row.name;
    }
}

TEST(Differential, FillHolesOfAnySizeAndDepth)
{
    struct Row {
        const char* name;
        int rows;
        int columns;
        int highestValue;
        unsigned seeds;
    };
    const Row table[] = {
        {"OneCell", 1, 1, 255, 20},       {"OneRow", 1, 57, 65535, 60},    {"OneColumn", 61, 1, 65535, 60},
        {"ThreeByThree", 3, 3, 255, 200}, {"OddSizes8", 17, 23, 255, 300}, {"OddSizes16", 29, 13, 65535, 300},
        {"Wide16", 7, 520, 65535, 20},    {"Tall16", 520, 6, 65535, 20},
    };
    for (const Row& row : table)
        for (unsigned seed = 1; seed <= row.seeds; ++seed) {
            Random random(seed);
            const Plane picture = DarkPicture(random, row.rows, row.columns);
            ExpectSameFill(RasterOf(picture, row.highestValue), row.rows, row.columns,
                           std::string(row.name) + " seed " + std::to_string(seed));
        }
}

// A picture is looked through for holes block by block, and one without any is
// given back at once: a single hole anywhere, in the first or last cell or beside a
// block's end, must still be found. Values beyond a float's whole numbers and
// negative ones come back exactly.
TEST(Differential, FillHolesFindsASingleHoleAnywhere)
{
    const int rows = 7, columns = 73;
    std::vector<std::int32_t> raster(rows * columns);
    for (std::size_t i = 0; i < raster.size(); ++i)
        raster[i] = 1 + static_cast<std::int32_t>(i * 37 % 251);
    raster[3] = 16777217;
    raster[4] = -5;
    raster[5] = 2147483647;
    for (const FillRule rule : {FillRule::RowsColumns, FillRule::Nearest, FillRule::Background})
        for (const int hole : {-1, 0, 255, 256, 257, rows * columns - 1}) {
            std::vector<std::int32_t> picture = raster;
            if (hole >= 0)
                picture[hole] = 0;
            ExpectSameFill(picture, rows, columns,
                           "rule " + std::to_string(static_cast<int>(rule)) + ", hole in cell " + std::to_string(hole),
                           {.rule = rule});
        }
}

// The other fill rules against their plainest form: every source measured from
// every hole for Nearest, probes a step at a time for Background. Sparse sources
// on small planes give many ties at equal distance.
TEST(Differential, FillRules)
{
    struct Row {
        const char* name;
        int rows;
        int columns;
        FillOptions options;
        unsigned seeds;
        bool negatives = false;  // a seventh of the values below 0: neither holes nor sources
    };
    constexpr FillRule Nearest = FillRule::Nearest, Background = FillRule::Background;
    const Row table[] = {
        {"NearestOneRow", 1, 57, {.rule = Nearest}, 60},
        {"NearestOneColumn", 61, 1, {.rule = Nearest}, 60},
        {"NearestOddSizes", 17, 23, {.rule = Nearest}, 300},
        {"NearestWide", 9, 140, {.rule = Nearest}, 40},
        {"NearestEveryRegionFilled", 23, 19, {.smallestRegion = 1 << 30, .rule = Nearest}, 200},
        {"NearestReachZero", 13, 11, {.reach = 0, .rule = Nearest}, 40},
        {"NearestReachTwo", 19, 17, {.reach = 2, .rule = Nearest}, 200},
        {"NearestReachFive", 31, 29, {.reach = 5, .rule = Nearest}, 100},
        {"BackgroundOneRow", 1, 57, {.rule = Background}, 60},
        {"BackgroundOneColumn", 61, 1, {.rule = Background}, 60},
        {"BackgroundLarger", 17, 23, {.rule = Background}, 300},
        {"BackgroundSmaller", 29, 13, {.rule = Background, .far = FarSide::Smaller}, 300},
        {"BackgroundEveryRegionFilled", 23, 19, {.smallestRegion = 1 << 30, .rule = Background}, 200},
        {"BackgroundReachThree", 19, 17, {.reach = 3, .rule = Background, .far = FarSide::Smaller}, 200},
        {"RowsColumnsReachFromTheOptions", 19, 17, {.reach = 3}, 100},
        {"NearestAmongNegatives", 21, 37, {.rule = Nearest}, 200, true},
        {"BackgroundAmongNegatives", 21, 37, {.rule = Background}, 200, true},
    };
    for (const Row& row : table)
        for (unsigned seed = 1; seed <= row.seeds; ++seed) {
            Random random(seed);
            const Plane picture = DarkPicture(random, row.rows, row.columns);
            std::vector<std::int32_t> raster = RasterOf(picture, 65535);
            for (std::size_t i = 0; row.negatives && i < raster.size(); ++i)
                raster[i] = (i * 2654435761u + seed) % 7 == 0 ? -raster[i] - 1 : raster[i];
            ExpectSameFill(raster, row.rows, row.columns,
                           std::string(row.name) + " seed " + std::to_string(seed), row.options);
        }
}

TEST(Differential, FillHolesOfStereoFrames)
{
    for (const int holes : {5, 15, 40})
        for (const FillRule rule : {FillRule::RowsColumns, FillRule::Background})
            ExpectSameFill(DepthLikeRaster(376, 1241, holes, holes, 65535), 376, 1241,
                           "1241 x 376 depth map, " + std::to_string(holes) + " % holes", {.rule = rule});
}

}  // namespace
