#include "darkfill/darkfill.h"
#include "testing/rasters/GeneratedRasters.h"
#include "testing/rasters/RasterFill.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using namespace darkfill;

namespace {

// A raster drawn as text: '.' a hole, letters the values of the legend.
std::vector<std::int32_t> RasterFromArt(const std::vector<std::string>& art, const std::map<char, int>& legend)
{
    std::vector<std::int32_t> raster;
    for (const std::string& line : art)
        for (const char c : line)
            raster.push_back(c == '.' ? 0 : legend.at(c));
    return raster;
}

TEST(HoleFilling, SixteenBitRegionsTakeTheOneValueAroundThem)
{
    struct Row {
        const char* name;
        std::map<char, int> legend;
        int expected;                // the region's value in the result
    };
    // The walk round the square tallies a's on its west side and b's from its
    // middle column eastward.
    const std::vector<std::string> art = {
        "aaabbbb",
        "aaabbbb",
        "aa...bb",
        "aa...bb",
        "aa...bb",
        "aaabbbb",
        "aaabbbb",
    };
    const Row table[] = {
        {"AboveEightBits", {{'a', 40000}, {'b', 40000}}, 40000},
        {"HighestValue", {{'a', 65535}, {'b', 65535}}, 65535},
        {"JustAbove255", {{'a', 256}, {'b', 256}}, 256},
        {"TwoValuesAbove255", {{'a', 300}, {'b', 400}}, 0},
        {"SameHighByteStillTwo", {{'a', 1000}, {'b', 1001}}, 0},
    };
    for (const Row& row : table) {
        const std::vector<std::int32_t> raster = RasterFromArt(art, row.legend);
        std::vector<std::int32_t> result(raster.size());
        std::vector<ValueSource> sources(raster.size());
        FillRaster(raster, 7, 7, result, sources);
        // The region's centre: painted where one value surrounds it, else filled.
        const std::size_t centre = 3 * 7 + 3;
        if (row.expected != 0) {
            EXPECT_EQ(result[centre], row.expected) << row.name;
            EXPECT_EQ(sources[centre], ValueSource::Painted) << row.name;
        } else {
            EXPECT_NE(sources[centre], ValueSource::Painted) << row.name;
        }
    }
}

// What the sources say must hold of the result, and the counts must add up.
TEST(HoleFilling, SourcesAndCountsAgreeWithTheResult)
{
    struct Row {
        const char* name;
        int rows;
        int columns;
        std::vector<std::int32_t> raster;
    };
    const Row table[] = {
        {"DepthMap16", 120, 160, DepthLikeRaster(120, 160, 15, 1, 65535)},
        {"DepthMap8", 97, 131, DepthLikeRaster(97, 131, 40, 2, 255)},
        {"SparseDots", 90, 700, SparseDotsRaster(90, 700, 6, 3, 65535)},
        {"ScannedText", 80, 120, ScannedTextRaster(80, 120, 4)},
        {"AllHoles", 9, 9, std::vector<std::int32_t>(81, 0)},
        {"NoHoles", 4, 5, std::vector<std::int32_t>(20, 7)},
    };
    for (const Row& row : table) {
        std::vector<std::int32_t> result(row.raster.size());
        std::vector<ValueSource> sources(row.raster.size());
        FillCounts counts;
        FillRaster(row.raster, row.rows, row.columns, result, sources, &counts);
        long long holes = 0, painted = 0, filled = 0, leftAtZero = 0;
        for (std::size_t i = 0; i < row.raster.size(); ++i) {
            const std::int32_t in = row.raster[i], out = result[i];
            holes += in == 0;
            switch (sources[i]) {
            case ValueSource::Kept:
                ASSERT_TRUE(in != 0 && out == in) << row.name << " cell " << i;
                break;
            case ValueSource::LeftAtZero:
                ASSERT_TRUE(in == 0 && out == 0) << row.name << " cell " << i;
                ++leftAtZero;
                break;
            case ValueSource::Painted:
                ASSERT_TRUE(in == 0 && out > 0) << row.name << " cell " << i;
                ++painted;
                break;
            default:
                ASSERT_TRUE(in == 0 && out > 0) << row.name << " cell " << i;
                ++filled;
                break;
            }
        }
        EXPECT_EQ(counts.pixelsPainted, painted) << row.name;
        EXPECT_EQ(counts.pixelsFilled, filled) << row.name;
        EXPECT_EQ(counts.pixelsLeftAtZero, leftAtZero) << row.name;
        EXPECT_EQ(painted + filled + leftAtZero, holes) << row.name;
        EXPECT_LE(counts.regionsPainted, counts.regionsFound) << row.name;
        EXPECT_EQ(counts.regionsPainted > 0, painted > 0) << row.name;

        // Counts alone, without sources, are the same.
        FillCounts countsOnly;
        FillRaster(row.raster, row.rows, row.columns, result, {}, &countsOnly);
        EXPECT_EQ(countsOnly.pixelsFilled, counts.pixelsFilled) << row.name;
        EXPECT_EQ(countsOnly.regionsFound, counts.regionsFound) << row.name;
    }
}

// The other rules on pictures small enough to fill by hand. Digits are values
// (times 10), '.' a hole in the input and a hole left at 0 in the result. Regions
// are not painted here, so that every hole is the rule's.
TEST(HoleFilling, RulesFillFromTheSourcesTheyState)
{
    struct Row {
        const char* name;
        std::vector<std::string> art;
        FillOptions options;
        std::vector<std::string> expected;
    };
    constexpr FillRule Nearest = FillRule::Nearest, Background = FillRule::Background;
    constexpr int NoRegions = 1 << 30;
    const Row table[] = {
        {"NearestTieOnARowTakesTheLeft", {"1...2"}, {.smallestRegion = NoRegions, .rule = Nearest}, {"11122"}},
        {"NearestTieInAColumnTakesTheUpper", {"1", ".", ".", ".", "2"}, {.smallestRegion = NoRegions, .rule = Nearest},
         {"1", "1", "1", "2", "2"}},
        {"NearestAcrossTheDiagonal", {"5...", "....", "....", "...9"}, {.smallestRegion = NoRegions, .rule = Nearest},
         {"5555", "5559", "5599", "5999"}},
        {"NearestTieLeftBeforeUpper", {"..3", "...", "4.."}, {.smallestRegion = NoRegions, .rule = Nearest},
         {"433", "443", "444"}},
        {"NearestWithinReach", {"1...2"}, {.smallestRegion = NoRegions, .reach = 1, .rule = Nearest}, {"11.22"}},
        {"NearestFromASingleSource", {"...", ".5.", "..."}, {.smallestRegion = NoRegions, .rule = Nearest},
         {"555", "555", "555"}},
        {"NearestWithoutSources", {"...", "..."}, {.rule = Nearest}, {"...", "..."}},
        {"BackgroundLarger", {"2...7"}, {.smallestRegion = NoRegions, .rule = Background}, {"27777"}},
        {"BackgroundSmaller", {"2...7"}, {.smallestRegion = NoRegions, .rule = Background, .far = FarSide::Smaller},
         {"22227"}},
        {"BackgroundOneSide", {"3..."}, {.smallestRegion = NoRegions, .rule = Background}, {"3333"}},
        {"BackgroundWithinReach", {"2...7"}, {.smallestRegion = NoRegions, .reach = 1, .rule = Background},
         {"22.77"}},
        {"BackgroundColumnsForWhatRowsLeft", {".4.", "...", ".8."}, {.smallestRegion = NoRegions, .rule = Background},
         {"444", ".8.", "888"}},
        {"BackgroundColumnsSmaller", {".4.", "...", ".8."},
         {.smallestRegion = NoRegions, .rule = Background, .far = FarSide::Smaller}, {"444", ".4.", "888"}},
        {"BackgroundFromASingleSource", {"...", ".5.", "..."}, {.smallestRegion = NoRegions, .rule = Background},
         {".5.", "555", ".5."}},
        {"BackgroundWithoutSources", {"...", "..."}, {.rule = Background}, {"...", "..."}},
    };
    std::map<char, int> legend;
    for (int digit = 1; digit <= 9; ++digit)
        legend['0' + digit] = 10 * digit;
    for (const Row& row : table) {
        const std::vector<std::int32_t> raster = RasterFromArt(row.art, legend);
        const std::vector<std::int32_t> expected = RasterFromArt(row.expected, legend);
        const int rows = static_cast<int>(row.art.size()), columns = static_cast<int>(row.art[0].size());
        std::vector<std::int32_t> result(raster.size());
        std::vector<ValueSource> sources(raster.size());
        FillRaster(raster, rows, columns, result, sources, nullptr, row.options);
        EXPECT_EQ(result, expected) << row.name;
        const ValueSource filled = row.options.rule == Nearest ? ValueSource::FromNearest : ValueSource::FromBackground;
        for (std::size_t i = 0; i < raster.size(); ++i) {
            const ValueSource source = raster[i] != 0 ? ValueSource::Kept
                                       : expected[i] == 0 ? ValueSource::LeftAtZero
                                                          : filled;
            EXPECT_EQ(sources[i], source) << row.name << " cell " << i;
        }
    }
}

TEST(HoleFilling, ResultMayBeTheRasterItself)
{
    std::vector<std::int32_t> raster = DepthLikeRaster(50, 70, 20, 9, 65535);
    std::vector<std::int32_t> separate(raster.size());
    FillRaster(raster, 50, 70, separate);
    FillRaster(raster, 50, 70, raster);
    EXPECT_EQ(raster, separate);
}

}  // namespace
