#include "analysis/DarkRegionLabelling.h"
#include "testing/planes/PlaneArt.h"

#include <gtest/gtest.h>

using namespace darkfill;

namespace {

// '#' is a dark pixel, '.' a grey one.
const std::map<char, float> Picture = {{'#', 0.0f}, {'.', 100.0f}};

std::string RegionsOf(const Plane<float>& image)
{
    const int rows = image.Rows();
    const int columns = image.Columns();
    Plane<RegionLabel> regions = FilledPlane<RegionLabel>(rows, columns, 99);
    LabelDarkRegions(image, regions, rows, columns);
    ClearPlaneBorder(regions, rows, columns);
    return PlaneToArt(regions);
}

struct LabellingCase {
    const char* name;
    std::vector<std::string> picture;
    std::vector<std::string> regions;
};

void PrintTo(const LabellingCase& c, std::ostream* os)
{
    *os << c.name;
}

class Labelling : public testing::TestWithParam<LabellingCase> {};

TEST_P(Labelling, FindsTheRegionsOfThePicture)
{
    const LabellingCase& c = GetParam();
    EXPECT_EQ(RegionsOf(PlaneFromArt(c.picture, Picture)), PlaneToArt(PlaneFromArt(c.regions)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Labelling,
    testing::Values(
        LabellingCase{"SixConnectedPixelsFormARegion",
                      {".........", ".###.....", "....###..", ".........", "........."},
                      {"000000000", "011100000", "000011100", "000000000", "000000000"}},
        LabellingCase{"FivePixelsDoNot",
                      {".........", ".###.....", "..##.....", ".........", "........."},
                      {"000000000", "000000000", "000000000", "000000000", "000000000"}},
        LabellingCase{"DiagonalNeighboursJoin",
                      {"........", ".#......", "..#.....", "...#....", "....#...", ".....#..", "......#.",
                       "........"},
                      {"00000000", "01000000", "00100000", "00010000", "00001000", "00000100", "00000010",
                       "00000000"}},
        LabellingCase{"EarlierColumnZeroPixelLendsItsLabelAndCount",
                      {".........", ".........", "######...", ".........", "........."},
                      {"000000000", "000000000", "011111000", "000000000", "000000000"}},
        LabellingCase{"LaterColumnZeroPixelKeepsItsOwnLabel",
                      {".........", ".#.......", ".#.......", "##.......", ".#.......", ".#.......", "........."},
                      {"000000000", "000000000", "000000000", "000000000", "000000000", "000000000",
                       "000000000"}},
        LabellingCase{"LastColumnPixelIsNotCounted",
                      {".........", ".........", "...######", ".........", "........."},
                      {"000000000", "000000000", "000000000", "000000000", "000000000"}},
        LabellingCase{"StrandsJoinedThroughTheFirstRowAreOneRegion",
                      {".....#...", "....#.#..", "....#.#..", "....#.#..", "....#.#..", "....#.#..", "....#.#..",
                       "........."},
                      {"000000000", "000010100", "000010100", "000010100", "000010100", "000010100", "000010100",
                       "000000000"}},
        LabellingCase{"StrandsJoinedThroughTheLastRowStayApart",
                      {".........", ".........", "....#.#..", "....#.#..", "....#.#..", "....#.#..", "....#.#..",
                       "....#.#..", ".....#..."},
                      {"000000000", "000000000", "000010200", "000010200", "000010200", "000010200", "000010200",
                       "000010200", "000000000"}},
        LabellingCase{"RegionsAreNumberedByTheirFirstPixel",
                      {"..........", "......###.", "......###.", ".##.......", ".##.......", ".##.......",
                       ".........."},
                      {"0000000000", "0000001110", "0000001110", "0220000000", "0220000000", "0220000000",
                       "0000000000"}},
        LabellingCase{"DarkBorderAloneFormsNoRegion",
                      {"######", "#....#", "#....#", "######"},
                      {"000000", "000000", "000000", "000000"}},
        LabellingCase{"TooSmallForAnInterior", {"######", "######"}, {"000000", "000000"}}),
    [](const testing::TestParamInfo<LabellingCase>& info) { return info.param.name; });

// Labels the picture, and returns how many cells of the region plane, its border
// cleared, differ from expected(y, x).
template <class Expected>
int WrongRegionCells(const Plane<float>& image, const Expected& expected)
{
    const int rows = image.Rows();
    const int columns = image.Columns();
    Plane<RegionLabel> regions(rows, columns);
    LabelDarkRegions(image, regions, rows, columns);
    ClearPlaneBorder(regions, rows, columns);
    int wrong = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            wrong += regions[y][x] != static_cast<RegionLabel>(expected(y, x));
    return wrong;
}

TEST(Labelling, AllDarkFullRasterIsOneInteriorRegion)
{
    const int rows = 384;
    const int columns = 512;
    EXPECT_EQ(WrongRegionCells(FilledPlane(rows, columns, 0.0f),
                               [&](int y, int x) {
                                   const bool border = y == 0 || x == 0 || y == rows - 1 || x == columns - 1;
                                   return border ? 0.0f : 1.0f;
                               }),
              0);
}

// A label that reaches the first dark cell of a row late, in a backward sweep and
// from the right, must still go on to that cell's neighbour below on the left. The
// shape: a line down the right side, a diagonal from its foot back up to the
// left, and from the diagonal's top a tail down to the left again; the row of the
// diagonal's top holds it and the line, eight cells or more apart.
TEST(Labelling, LabelReachingARowsFirstCellLateGoesOnDiagonally)
{
    const int rows = 40;
    const int columns = 64;
    Plane<float> image = FilledPlane(rows, columns, 100.0f);
    for (int y = 1; y <= 30; ++y)
        image[y][40] = 0.0f;
    for (int k = 1; k <= 10; ++k)
        image[30 - k][40 - k] = 0.0f;
    for (int k = 1; k <= 8; ++k)
        image[20 + k][30 - k] = 0.0f;
    EXPECT_EQ(WrongRegionCells(image, [&](int y, int x) { return image[y][x] == 0.0f ? 1.0f : 0.0f; }), 0);
}

// The runs go where the working arena has room for them, else to the run arena;
// either way the labels are the same and the labelling gives back all it took
// from the working arena, which the fill's next stage takes again.
TEST(Labelling, RunsInTheWorkingRoomOrTheirOwnArena)
{
    const int rows = 60, columns = 70;
    Plane<float> image = FilledPlane(rows, columns, 100.0f);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            if ((x * 7 + y * 13) % 5 < 2 || (x > 20 && x < 40 && y > 10 && y < 30))
                image[y][x] = 0.0f;
    Plane<RegionLabel> expected(rows, columns);
    LabelDarkRegions(image, expected, rows, columns);
    ClearPlaneBorder(expected, rows, columns);
    const struct {
        const char* name;
        std::size_t spare;
        bool ownRunArena;
    } table[] = {{"no room to spare", 0, true}, {"room for the runs", 1 << 20, false}};
    for (const auto& row : table) {
        WorkingArena working, runs;
        working.Reserve(LabellingBytes(rows, columns) + row.spare);
        const float* before = working.Take<float>(3).data();
        const std::size_t taken = working.Used();
        Plane<RegionLabel> regions(rows, columns);
        LabelDarkRegions(image, regions, rows, columns, nullptr, RegionSizeThreshold + 1, &working, &runs);
        ClearPlaneBorder(regions, rows, columns);
        EXPECT_EQ(PlaneToArt(regions), PlaneToArt(expected)) << row.name;
        EXPECT_EQ(runs.Bytes() > 0, row.ownRunArena) << row.name;
        EXPECT_EQ(working.Used(), taken) << row.name;
        EXPECT_EQ(working.Take<float>(1).data(), before + 16) << row.name;
    }
}

// What the runs take besides the plane: 8 bytes a run, a checkerboard's runs
// half its cells, and a few bytes a row and a column.
TEST(Labelling, RunsTakeFourBytesACellAtMost)
{
    const int rows = 60, columns = 401;
    const struct {
        const char* name;
        bool (*dark)(int y, int x);
    } table[] = {
        {"checkerboard", [](int y, int x) { return (x + y) % 2 == 0; }},
        {"stripes a cell wide", [](int, int x) { return x % 2 == 0; }},
        {"noise", [](int y, int x) { return (x * 7919 + y * 104729) % 100 < 35; }},
        {"all dark", [](int, int) { return true; }},
    };
    for (const auto& row : table) {
        Plane<float> image = FilledPlane(rows, columns, 100.0f);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                if (row.dark(y, x))
                    image[y][x] = 0.0f;
        WorkingArena working, runs;
        working.Reserve(LabellingBytes(rows, columns));
        Plane<RegionLabel> regions(rows, columns);
        LabelDarkRegions(image, regions, rows, columns, nullptr, RegionSizeThreshold + 1, &working, &runs);
        const std::size_t cells = static_cast<std::size_t>(rows) * columns;
        EXPECT_LE(runs.Bytes(), 4 * cells + 24 * static_cast<std::size_t>(columns) + 48 * rows + 512) << row.name;
    }
}

TEST(ClearPlaneBorder, ClearsOnlyTheOutermostCells)
{
    struct Row {
        const char* name;
        std::vector<std::string> before;
        std::vector<std::string> after;
    };
    const Row table[] = {
        {"OneRow", {"12345"}, {"00000"}},
        {"OneColumn", {"1", "2", "3"}, {"0", "0", "0"}},
        {"Interior kept", {"1111", "1231", "1451", "1111"}, {"0000", "0230", "0450", "0000"}},
    };
    for (const Row& row : table) {
        Plane<RegionLabel> plane = PlaneFromArt<RegionLabel>(row.before);
        ClearPlaneBorder(plane, plane.Rows(), plane.Columns());
        EXPECT_EQ(PlaneToArt(plane), PlaneToArt(PlaneFromArt(row.after))) << row.name;
    }
}

}  // namespace
