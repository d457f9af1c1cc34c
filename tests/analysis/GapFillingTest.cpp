#include "analysis/GapFilling.h"
#include "testing/planes/PlaneArt.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Cells are digits; '.' is 0.
const std::map<char, float> Cells = {{'.', 0.0f}};

struct GapCase {
    const char* name;
    std::vector<std::string> image;
    std::vector<std::string> painted;
    std::vector<std::string> filled;
};

void PrintTo(const GapCase& c, std::ostream* os)
{
    *os << c.name;
}

class GapFill : public testing::TestWithParam<GapCase> {};

TEST_P(GapFill, FillsFromTheNearestSourceOnTheRowOrColumn)
{
    const GapCase& c = GetParam();
    Plane image = PlaneFromArt(c.image, Cells);
    Plane fill = PlaneFromArt(c.painted, Cells);
    CompositeAndFill(image, fill, image.Rows(), image.Columns());
    EXPECT_EQ(PlaneToArt(fill), PlaneToArt(PlaneFromArt(c.filled, Cells)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GapFill,
    testing::Values(
        GapCase{"NearerWinsOverDirection", {"1...2.", "......"}, {"......", "......"}, {"111222", "1...2."}},
        GapCase{"LeftBeatsRight", {"3...4"}, {"....."}, {"33344"}},
        GapCase{"RightBeatsBelow", {"..3", "...", "4.."}, {"...", "...", "..."}, {"333", "4.3", "444"}},
        GapCase{"BelowBeatsAbove", {".5.", "...", ".6."}, {"...", "...", "..."}, {"555", ".6.", "666"}},
        GapCase{"FilledValuesFeedNoOtherGap", {"5.....9"}, {"......."}, {"5555999"}},
        GapCase{"DiagonalSourcesAreNotSeen", {"7.7", "...", "7.7"}, {"...", "...", "..."}, {"777", "7.7", "777"}},
        GapCase{"ZeroRowTakesFromItsColumn", {"12.", "...", "34."}, {"...", "...", "..."}, {"122", "34.", "344"}},
        GapCase{"AllZeroStaysZero", {"...", "..."}, {"...", "..."}, {"...", "..."}},
        GapCase{"PaintedRegionsAreSourcesAndKeepTheirGrey", {"1.....", "......"}, {"..4...", "......"},
                {"114444", "1.4..."}}),
    [](const testing::TestParamInfo<GapCase>& info) { return info.param.name; });

TEST(GapFill, ReachIs499Cells)
{
    struct Row {
        const char* name;
        int sourceColumn;
        float column0;
        float column1;
    };
    const Row table[] = {{"Source499Away", 499, 9.0f, 9.0f}, {"Source500Away", 500, 0.0f, 9.0f}};
    for (const Row& row : table) {
        Plane image = FilledPlane(3, 512, 0.0f);
        Plane fill = FilledPlane(3, 512, 0.0f);
        image[1][row.sourceColumn] = 9.0f;
        CompositeAndFill(image, fill, 3, 512);
        EXPECT_EQ(fill[1][0], row.column0) << row.name;
        EXPECT_EQ(fill[1][1], row.column1) << row.name;
    }
}

TEST(GapFill, ImagePlaneEndsAsTheCompositeBitForBit)
{
    Plane image = PlaneFromArt({"1..", "..2"}, Cells);
    Plane fill = PlaneFromArt({".3.", "..."}, Cells);
    CompositeAndFill(image, fill, 2, 3);
    const Plane composite = PlaneFromArt({"13.", "..2"}, Cells);
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(std::memcmp(image[y], composite[y], 3 * sizeof(float)), 0) << "row " << y;
}

}  // namespace
