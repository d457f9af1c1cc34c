#include "analysis/GapFilling.h"
#include "testing/planes/PlaneArt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace darkfill;

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

// The picture with its painted regions laid over it, filled as the fill does.
Plane<float> Filled(const Plane<float>& image, const Plane<float>& painted, int reach = GapSearchAttempts - 1)
{
    Plane<float> plane = CopyOfPlane(image);
    for (std::size_t i = 0; i < plane.Cells(); ++i)
        plane[0][i] += painted[0][i];
    Plane<std::uint32_t> scratch(plane.Rows(), plane.Columns());
    FillGaps(plane, scratch, {}, reach);
    return plane;
}

class GapFill : public testing::TestWithParam<GapCase> {};

TEST_P(GapFill, FillsFromTheNearestSourceOnTheRowOrColumn)
{
    const GapCase& c = GetParam();
    EXPECT_EQ(PlaneToArt(Filled(PlaneFromArt(c.image, Cells), PlaneFromArt(c.painted, Cells))),
              PlaneToArt(PlaneFromArt(c.filled, Cells)));
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
    // A source of 9 lies the distance away from column 0, one of 7 from the last
    // column. Rows whose zero pixels are few (the rest below 0, neither a gap nor a
    // source) are filled run by run; rows full of zeros across a span.
    struct Row {
        const char* name;
        float others;
        int distance;
        float ends[4];  // columns 0, 1, 1198, 1199
    };
    const Row table[] = {{"Source499Away", 0.0f, 499, {9, 9, 7, 7}},
                         {"Source500Away", 0.0f, 500, {0, 9, 7, 0}},
                         {"FewGapsSource499Away", -1.0f, 499, {9, -1, -1, 7}},
                         {"FewGapsSource500Away", -1.0f, 500, {0, -1, -1, 0}}};
    constexpr int Columns = 1200;
    for (const Row& row : table) {
        Plane<float> image = FilledPlane(3, Columns, 0.0f);
        std::fill(image[1], image[1] + Columns, row.others);
        image[1][0] = image[1][Columns - 1] = 0.0f;
        image[1][row.distance] = 9.0f;
        image[1][Columns - 1 - row.distance] = 7.0f;
        const Plane<float> fill = Filled(image, FilledPlane(3, Columns, 0.0f));
        const int columns[4] = {0, 1, Columns - 2, Columns - 1};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(fill[1][columns[i]], row.ends[i]) << row.name << ", column " << columns[i];
    }
}

// A long row takes its gaps from sources as far as the reach allows: a reach
// whose farthest step across rows fits in an int, and one whose does not.
TEST(GapFill, FarStepsAlongALongRow)
{
    const struct {
        const char* name;
        int reach;
        float middle;  // the cell 24,999 from the source of 9 and 25,000 from the 7
    } table[] = {
        {"StepsFitAnInt", 30000, 9},
        {"StepsBeyondAnInt", 60000, 9},
        {"MiddleOutOfReach", 20000, 0},
    };
    constexpr int Columns = 50000;
    for (const auto& row : table) {
        Plane<float> image = FilledPlane(3, Columns, 0.0f);
        image[1][0] = 9.0f;
        image[1][Columns - 1] = 7.0f;
        const Plane<float> fill = Filled(image, FilledPlane(3, Columns, 0.0f), row.reach);
        EXPECT_EQ(fill[1][24999], row.middle) << row.name;
        EXPECT_EQ(fill[1][25000], row.middle == 0 ? 0.0f : 7.0f) << row.name;
        EXPECT_EQ(fill[1][1], 9.0f) << row.name;
        EXPECT_EQ(fill[1][Columns - 2], 7.0f) << row.name;
        for (const int y : {0, 2})
            EXPECT_TRUE(fill[y][0] == 9.0f && fill[y][Columns - 1] == 7.0f && fill[y][1] == 0.0f) << row.name;
    }
}

}  // namespace
