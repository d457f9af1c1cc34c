#include "analysis/BoundaryWalker.h"
#include "analysis/RegionSurrounds.h"
#include "testing/planes/PlaneArt.h"
#include "testing/reference/ReferenceAnalysis.h"

#include <gtest/gtest.h>

#include <utility>

using namespace darkfill;

namespace {

// In the drawings '#' is a pixel of region 1 and '@' one of region 2, both dark;
// every other character is an unlabelled pixel whose grey the case's legend gives.
struct Drawing {
    Plane<RegionLabel> regions;
    Plane<float> image;
};

Drawing Draw(const std::vector<std::string>& art, const std::map<char, float>& greys)
{
    std::map<char, RegionLabel> labels = {{'#', 1}, {'@', 2}};
    std::map<char, float> image = {{'#', 0.0f}, {'@', 0.0f}};
    for (const auto& [c, grey] : greys) {
        labels[c] = 0;
        image[c] = grey;
    }
    return {PlaneFromArt(art, labels), PlaneFromArt(art, image)};
}

// The walks' start pixels as the reference finds them, as no labelling made these planes.
RegionStarts StartsOf(const Plane<RegionLabel>& regions)
{
    return reference::StartPixels(CopyOfPlane<double>(regions), regions.Rows(), regions.Columns(), 0);
}

// Walks round label 1 from its start pixel as the stage does and counts the steps
// tallied at each grey level.
std::map<int, int> TalliesOfFirstRegion(const Drawing& d)
{
    const int rows = d.regions.Rows();
    const int columns = d.regions.Columns();
    for (int y = 1; y < rows - 1; ++y)
        for (int x = columns - 2; x >= 1; --x)
            if (d.regions[y][x] == 1) {
                BoundaryWalker<float> walker(d.regions, d.image, rows, columns, 1, y, x);
                std::map<int, int> tallies;
                float grey = 0.0f;
                for (int steps = 0; steps < TraceStepLimit && walker.Step(grey); ++steps)
                    ++tallies[static_cast<int>(grey)];
                return tallies;
            }
    return {};
}

struct SurroundCase {
    const char* name;
    std::vector<std::string> art;
    std::map<char, float> greys;
    std::map<int, int> firstRegionTallies;
    std::vector<float> regionGreys;  // entries 1, 2, ... of the table
};

void PrintTo(const SurroundCase& c, std::ostream* os)
{
    *os << c.name;
}

class Surrounds : public testing::TestWithParam<SurroundCase> {};

TEST_P(Surrounds, TalliesTheWalkAndDecidesTheGrey)
{
    const SurroundCase& c = GetParam();
    const Drawing d = Draw(c.art, c.greys);
    EXPECT_EQ(TalliesOfFirstRegion(d), c.firstRegionTallies);

    std::vector<float> table(3, -7.0f);
    const int rows = d.regions.Rows(), columns = d.regions.Columns();
    const RegionLabel count = MeasureRegionSurrounds(d.regions, d.image, rows, columns, table, StartsOf(d.regions));
    ASSERT_EQ(count, c.regionGreys.size());
    ASSERT_EQ(table.size(), count + 1);
    for (RegionLabel label = 1; label <= count; ++label)
        EXPECT_EQ(table[label], c.regionGreys[label - 1]) << "label " << label;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Surrounds,
    testing::Values(
        SurroundCase{"SquareOnOneGrey",
                     {".......", ".......", "..###..", "..###..", "..###..", ".......", "......."},
                     {{'.', 120.0f}}, {{120, 7}}, {120.0f}},
        SurroundCase{"SquareOnTwoGreys",
                     {"aaabbbb", "aaabbbb", "aa###bb", "aa###bb", "aa###bb", "aaabbbb", "aaabbbb"},
                     {{'a', 100.0f}, {'b', 200.0f}}, {{100, 3}, {200, 4}}, {0.0f}},
        SurroundCase{"OddPixelNorthOfTheTopRow",
                     {".......", "...x...", "..###..", "..###..", "..###..", ".......", "......."},
                     {{'.', 120.0f}, {'x', 33.0f}}, {{120, 6}, {33, 1}}, {0.0f}},
        SurroundCase{"OddPixelNorthEastOfTheStartIsNeverSeen",
                     {".......", ".....x.", "..###..", "..###..", "..###..", ".......", "......."},
                     {{'.', 120.0f}, {'x', 33.0f}}, {{120, 7}}, {120.0f}},
        SurroundCase{"SinglePixel", {"...", ".#.", "..."}, {{'.', 90.0f}}, {}, {0.0f}},
        SurroundCase{"TwoPixelsSideBySide", {"....", ".##.", "...."}, {{'.', 90.0f}}, {{90, 1}}, {90.0f}},
        SurroundCase{"TwoPixelsOneAboveTheOther", {"...", ".#.", ".#.", "..."}, {{'.', 90.0f}}, {{90, 1}},
                     {90.0f}},
        SurroundCase{"LShape",
                     {"........", ".#......", ".#......", ".#......", ".#####..", "........"},
                     {{'.', 70.0f}}, {{70, 13}}, {70.0f}},
        SurroundCase{"VShapeWalksTheWestArmOnly",
                     {"...........", ".....#.....", "....#.#bb..", "...#..b#bb.", "..#...bb#b.", ".......bbb.",
                      "..........."},
                     {{'.', 120.0f}, {'b', 200.0f}}, {{120, 5}}, {120.0f}},
        SurroundCase{"RingIsWalkedOnTheOutsideOnly",
                     {".......", ".#####.", ".#iii#.", ".#iii#.", ".#iii#.", ".#####.", "......."},
                     {{'.', 50.0f}, {'i', 222.0f}}, {{50, 15}}, {50.0f}},
        SurroundCase{"GreyZeroIsNotAGrey",
                     {"z00000z", "..###..", "..###..", "..###..", "......."},
                     {{'.', 140.0f}, {'0', 0.0f}, {'z', 140.0f}}, {{0, 2}, {140, 5}}, {140.0f}},
        SurroundCase{"OnlyGreyZeroAround", {".....", ".###.", ".###.", "....."}, {{'.', 0.0f}}, {{0, 5}}, {0.0f}},
        SurroundCase{"TwoRegionsTwoGreys",
                     {".......", "..###..", "..###..", ".......", ".rrrrr.", ".r@@@r.", ".r@@@r.", ".rrrrr.",
                      "......."},
                     {{'.', 60.0f}, {'r', 180.0f}}, {{60, 5}}, {60.0f, 180.0f}},
        SurroundCase{"OnlyThePieceWithTheStartPixelIsWalked",
                     {".......", "..###..", "..###..", ".......", ".rrrrr.", ".r###r.", ".r###r.", ".rrrrr.",
                      "......."},
                     {{'.', 120.0f}, {'r', 200.0f}}, {{120, 5}}, {120.0f}},
        SurroundCase{"OtherLabelNorthWestOfTheStartEndsTheWalk",
                     {".......", "...@...", "..###..", "..###..", "..###..", "......."},
                     {{'.', 120.0f}}, {}, {0.0f, 0.0f}},
        SurroundCase{"OtherLabelBlocksTheWalkUntilTheStepLimit",
                     {".......", "..###..", "..###..", "..###..", ".@.....", "......."},
                     {{'.', 120.0f}}, {{120, TraceStepLimit}}, {120.0f, 0.0f}}),
    [](const testing::TestParamInfo<SurroundCase>& info) { return info.param.name; });

TEST(Surrounds, SquareIsWalkedCounterClockwise)
{
    const Drawing d = Draw({".....", ".###.", ".###.", ".###.", "....."}, {{'.', 120.0f}});
    BoundaryWalker<float> walker(d.regions, d.image, 5, 5, 1, 1, 3);
    std::vector<std::pair<int, int>> path;
    float grey = 0.0f;
    while (walker.Step(grey))
        path.emplace_back(walker.Row(), walker.Column());
    const std::vector<std::pair<int, int>> expected = {{1, 2}, {1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}};
    EXPECT_EQ(path, expected);
    EXPECT_EQ(walker.Row(), 1);
    EXPECT_EQ(walker.Column(), 3);
}

TEST(Surrounds, CombIsCutByTheStepLimit)
{
    const int rows = 384;
    const int columns = 512;
    Plane<RegionLabel> regions = FilledPlane<RegionLabel>(rows, columns, 0);
    Plane<float> image = FilledPlane(rows, columns, 100.0f);
    for (int x = 1; x <= 510; ++x)
        regions[1][x] = regions[2][x] = 1;
    for (int y = 3; y <= 380; ++y)
        for (int x = 1; x <= 508; x += 3)
            regions[y][x] = 1;
    for (int y = 3; y <= 382; ++y)
        for (int x = 401; x <= 510; ++x)
            if (regions[y][x] == 0)
                image[y][x] = 200.0f;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            if (regions[y][x] != 0)
                image[y][x] = 0.0f;
    std::vector<float> table;
    ASSERT_EQ(MeasureRegionSurrounds(regions, image, rows, columns, table, StartsOf(regions)), 1u);
    EXPECT_EQ(table[1], 100.0f);
}

TEST(Surrounds, PlaneWithoutLabelsHasNoRegion)
{
    const Drawing d = Draw({"....", "....", "...."}, {{'.', 10.0f}});
    std::vector<float> table(5, 3.0f);
    EXPECT_EQ(MeasureRegionSurrounds(d.regions, d.image, 3, 4, table, StartsOf(d.regions)), 0u);
    EXPECT_EQ(table, std::vector<float>(1, 0.0f));
}

TEST(Surrounds, EveryRegionOfManyTakesItsOwnValue)
{
    // 700 two-pixel regions, each on its own grey.
    const int rows = 3 * 35 + 1;
    const int columns = 3 * 20 + 1;
    Plane<RegionLabel> regions = FilledPlane<RegionLabel>(rows, columns, 0);
    Plane<float> image(rows, columns);
    RegionLabel label = 0;
    for (int by = 0; by < 35; ++by)
        for (int bx = 0; bx < 20; ++bx) {
            ++label;
            regions[3 * by + 1][3 * bx + 1] = regions[3 * by + 1][3 * bx + 2] = label;
        }
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            image[y][x] = regions[y][x] != 0 ? 0.0f : static_cast<float>(1 + (y / 3 * 20 + x / 3) % 200);
    std::vector<float> table;
    ASSERT_EQ(MeasureRegionSurrounds(regions, image, rows, columns, table, StartsOf(regions)), 700u);
    ASSERT_EQ(table.size(), 701u);
    EXPECT_EQ(table[1], 1.0f);
    EXPECT_EQ(table[700], static_cast<float>(1 + 699 % 200));
}

}  // namespace
