// The guided rule against its system solved whole by the reference, for every value
// type and guide format, and what a caller relies on: sources kept, one answer on
// every run and thread, edges of the guide kept in the fill.

#include "darkfill/darkfill.h"
#include "testing/reference/ReferenceAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

using namespace darkfill;

namespace {

// A guide of rows x columns cells in format: a left and a right part of their own
// brightness, the left with some texture, the right flat.
std::vector<std::uint8_t> GuideBytes(int rows, int columns, GuideFormat format, unsigned seed)
{
    std::mt19937 random(seed);
    const int bytes = static_cast<int>(GuideView::CellBytes(format));
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(rows) * columns * bytes);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const int level = x < columns / 2 ? 60 + static_cast<int>(random() % 9) : 190;
            std::uint8_t* cell = &cells[(static_cast<std::size_t>(y) * columns + x) * bytes];
            if (format == GuideFormat::Grey16) {
                const std::uint16_t wide = static_cast<std::uint16_t>(level * 257);
                cell[0] = static_cast<std::uint8_t>(wide & 0xff);
                cell[1] = static_cast<std::uint8_t>(wide >> 8);
            } else {
                for (int b = 0; b < bytes; ++b)
                    cell[b] = static_cast<std::uint8_t>(level + 20 * b);
            }
        }
    return cells;
}

// A raster whose two parts, left and right, hold values of their own, with holes
// where hole(y, x) says, and cells below 0 (for the signed types) where wall says.
template <class Value, class Hole, class Wall>
std::vector<Value> Raster(int rows, int columns, const Hole& hole, const Wall& wall)
{
    std::vector<Value> cells(static_cast<std::size_t>(rows) * columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            Value& cell = cells[static_cast<std::size_t>(y) * columns + x];
            cell = static_cast<Value>(x < columns / 2 ? 40 + y : 200 + x);
            if (hole(y, x))
                cell = Value{};
            if constexpr (std::is_signed_v<Value> || std::is_floating_point_v<Value>)
                if (wall(y, x))
                    cell = static_cast<Value>(-5);
        }
    return cells;
}

struct Case {
    const char* name;
    int rows, columns;
    bool (*hole)(int y, int x);
    bool (*wall)(int y, int x);
};

const Case Cases[] = {
    {"SingleHole", 5, 7, [](int y, int x) { return y == 2 && x == 3; }, [](int, int) { return false; }},
    {"HolesOnTheBorder", 6, 9, [](int y, int x) { return y == 0 || x == 8 || (y == 5 && x < 3); },
     [](int, int) { return false; }},
    {"HoleAcrossTheEdge", 11, 13, [](int y, int x) { return y >= 3 && y <= 7 && x >= 3 && x <= 9; },
     [](int, int) { return false; }},
    {"Stripes", 9, 17, [](int y, int x) { return (x + 2 * y) % 5 < 2; }, [](int, int) { return false; }},
    {"OneRow", 1, 19, [](int, int x) { return x % 4 != 0; }, [](int, int) { return false; }},
    {"OneColumn", 15, 1, [](int y, int) { return y > 2 && y < 12; }, [](int, int) { return false; }},
    // Holes walled in by cells below 0: no source reaches them (the wall only
    // exists for the signed types; elsewhere the holes are reached).
    {"WalledInHoles", 9, 9, [](int y, int x) { return y >= 3 && y <= 5 && x >= 3 && x <= 5; },
     [](int y, int x) { return (y == 2 || y == 6) && x >= 2 && x <= 6 ? true : (x == 2 || x == 6) && y >= 2 && y <= 6; }},
    {"AllHoles", 4, 5, [](int, int) { return true; }, [](int, int) { return false; }},
    // Holes tied only corner to corner: one part, which must be solved whole.
    {"CheckerboardOfHoles", 13, 17,
     [](int y, int x) { return (x + y) % 2 == 0 && y >= 1 && y <= 11 && x >= 1 && x <= 15; },
     [](int, int) { return false; }},
    // Enough holes across the guide's edge for several coarser levels.
    {"WideHoleAcrossTheEdge", 24, 30, [](int y, int x) { return y >= 2 && y <= 21 && x >= 2 && x <= 27; },
     [](int, int) { return false; }},
};

// The fill against the reference: integers within 1 of it (a mean that lies near
// a half may round either way), floats within 2e-5 of the sources' range (the
// weights are floats, and a long chain of holes gains on their rounding);
// the fill map the same, sources kept exactly.
template <class Value>
void ExpectLikeTheReference(GuideFormat format)
{
    for (const Case& c : Cases) {
        const std::vector<Value> raster = Raster<Value>(c.rows, c.columns, c.hole, c.wall);
        const std::vector<std::uint8_t> guideCells = GuideBytes(c.rows, c.columns, format, 7);
        const FillOptions options = {.rule = FillRule::Guided,
                                     .guide = GuideView(guideCells.data(), format, c.rows, c.columns)};
        const std::size_t cells = raster.size();
        std::vector<Value> fast(cells), slow(cells);
        std::vector<ValueSource> fastMap(cells), slowMap(cells);
        FillHoles(RasterView<const Value>(raster.data(), c.rows, c.columns),
                  RasterView<Value>(fast.data(), c.rows, c.columns), options,
                  {.fillMap = RasterView<ValueSource>(fastMap.data(), c.rows, c.columns)});
        reference::FillHoles<Value>(raster, c.rows, c.columns, slow, slowMap, nullptr, options);
        EXPECT_EQ(fastMap, slowMap) << c.name;
        const auto [lowest, highest] = std::minmax_element(raster.begin(), raster.end());
        const double tolerance =
            std::is_floating_point_v<Value> ? 2e-5 * (static_cast<double>(*highest) - static_cast<double>(*lowest)) : 1.0;
        for (std::size_t i = 0; i < cells; ++i) {
            if (raster[i] != Value{}) {
                EXPECT_EQ(fast[i], raster[i]) << c.name << ": source " << i << " changed";
            }
            EXPECT_NEAR(static_cast<double>(fast[i]), static_cast<double>(slow[i]), tolerance) << c.name << " cell " << i;
        }
    }
}

}  // namespace

TEST(GuidedFill, EightBitsGreyGuideLikeTheReference) { ExpectLikeTheReference<std::uint8_t>(GuideFormat::Grey8); }
TEST(GuidedFill, SixteenBitsColourGuideLikeTheReference) { ExpectLikeTheReference<std::uint16_t>(GuideFormat::Rgb8); }
TEST(GuidedFill, Int32WideGuideLikeTheReference) { ExpectLikeTheReference<std::int32_t>(GuideFormat::Grey16); }
TEST(GuidedFill, FloatsColourGuideLikeTheReference) { ExpectLikeTheReference<float>(GuideFormat::Rgb8); }

// A colour guide whose left half is one colour and whose right half another.
std::vector<std::uint8_t> TwoColours(int rows, int columns, std::array<std::uint8_t, 3> left,
                                     std::array<std::uint8_t, 3> right)
{
    std::vector<std::uint8_t> cells;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            for (const std::uint8_t c : x < columns / 2 ? left : right)
                cells.push_back(c);
    return cells;
}

// Where the guide's edge and the raster's agree, a hole across them takes each
// side's values, an edge of colour alone included; a flat guide blends them.
TEST(GuidedFill, FollowsTheGuidesEdge)
{
    const int rows = 21, columns = 24;
    const auto hole = [](int y, int x) { return y >= 5 && y <= 15 && x >= 6 && x <= 17; };
    const std::vector<float> raster = Raster<float>(rows, columns, hole, [](int, int) { return false; });
    const struct {
        const char* name;
        GuideFormat format;
        std::vector<std::uint8_t> guide;
        bool edgeKept;
    } table[] = {
        {"Aligned", GuideFormat::Grey8, GuideBytes(rows, columns, GuideFormat::Grey8, 3), true},
        {"Flat", GuideFormat::Grey8, std::vector<std::uint8_t>(static_cast<std::size_t>(rows) * columns, 128), false},
        // Red beside green of the same brightness (as luma weighs them).
        {"ColoursOfOneBrightness", GuideFormat::Rgb8, TwoColours(rows, columns, {255, 0, 0}, {0, 130, 0}), true},
        {"OneColour", GuideFormat::Rgb8, TwoColours(rows, columns, {30, 160, 90}, {30, 160, 90}), false},
    };
    for (const auto& row : table) {
        std::vector<float> filled(raster.size());
        FillHoles(RasterView<const float>(raster.data(), rows, columns), RasterView<float>(filled.data(), rows, columns),
                  {.rule = FillRule::Guided, .guide = GuideView(row.guide.data(), row.format, rows, columns)});
        // The cells either side of the edge in the middle of the hole.
        const float left = filled[10 * columns + columns / 2 - 1], right = filled[10 * columns + columns / 2];
        EXPECT_EQ(left < 60.0f && right > 180.0f, row.edgeKept) << row.name << ": " << left << " and " << right;
    }
}

// The same values on every run, on another thread, and through a Filler that
// filled another raster before.
TEST(GuidedFill, SameOnEveryRunAndThread)
{
    const int rows = 40, columns = 50;
    const std::vector<std::uint16_t> raster =
        Raster<std::uint16_t>(rows, columns, [](int y, int x) { return (x * 7 + y * 3) % 11 < 5; },
                              [](int, int) { return false; });
    const std::vector<std::uint8_t> guide = GuideBytes(rows, columns, GuideFormat::Rgb8, 5);
    const FillOptions options = {.rule = FillRule::Guided,
                                 .guide = GuideView(guide.data(), GuideFormat::Rgb8, rows, columns)};
    const auto fill = [&](Filler& filler) {
        std::vector<std::uint16_t> out(raster.size());
        filler.Fill(RasterView<const std::uint16_t>(raster.data(), rows, columns),
                    RasterView<std::uint16_t>(out.data(), rows, columns), options);
        return out;
    };
    Filler first;
    const std::vector<std::uint16_t> once = fill(first);
    EXPECT_EQ(fill(first), once);
    std::vector<std::uint16_t> elsewhere;
    std::thread([&] {
        Filler other;
        std::vector<std::uint8_t> small(16, 9);
        std::vector<std::uint8_t> smallOut(16);
        other.Fill(RasterView<const std::uint8_t>(small.data(), 4, 4), RasterView<std::uint8_t>(smallOut.data(), 4, 4));
        elsewhere = fill(other);
    }).join();
    EXPECT_EQ(elsewhere, once);
}

// A hole 255 cells long between two columns of sources, under a guide of
// stripes along the rows (each row a chain of its own, the same for all): the
// solution is the straight line between them, which a solver that stops short
// in the middle of a long hole misses by many units.
TEST(GuidedFill, LongHoleSolvedToItsMiddle)
{
    const int rows = 40, columns = 257;
    std::vector<std::uint16_t> raster(static_cast<std::size_t>(rows) * columns, 0);
    for (int y = 0; y < rows; ++y) {
        raster[static_cast<std::size_t>(y) * columns] = 100;
        raster[static_cast<std::size_t>(y) * columns + columns - 1] = 100 + columns - 1;
    }
    std::vector<std::uint8_t> stripes(raster.size());
    for (std::size_t i = 0; i < stripes.size(); ++i)
        stripes[i] = i / columns % 2 == 0 ? 90 : 92;
    std::vector<std::uint16_t> filled(raster.size());
    FillHoles(RasterView<const std::uint16_t>(raster.data(), rows, columns),
              RasterView<std::uint16_t>(filled.data(), rows, columns),
              {.smallestRegion = rows * columns, .rule = FillRule::Guided,
               .guide = GuideView(stripes.data(), GuideFormat::Grey8, rows, columns)});
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            ASSERT_EQ(filled[static_cast<std::size_t>(y) * columns + x], 100 + x) << y << ", " << x;
}

// A float raster's +inf source: the holes tied to it take it, and a part of the
// holes walled off from it is filled as it would be without it.
TEST(GuidedFill, InfiniteSourceTakenByItsHoles)
{
    const int rows = 9, columns = 15;
    const auto hole = [](int y, int x) { return y >= 2 && y <= 6 && (x == 2 || x == 3 || x == 11 || x == 12); };
    const auto wall = [](int, int x) { return x == 7; };
    std::vector<float> raster = Raster<float>(rows, columns, hole, wall);
    const std::vector<std::uint8_t> guide = GuideBytes(rows, columns, GuideFormat::Grey8, 11);
    const FillOptions options = {.rule = FillRule::Guided,
                                 .guide = GuideView(guide.data(), GuideFormat::Grey8, rows, columns)};
    const auto fill = [&](const std::vector<float>& in) {
        std::vector<float> out(in.size());
        FillHoles(RasterView<const float>(in.data(), rows, columns), RasterView<float>(out.data(), rows, columns),
                  options);
        return out;
    };
    const std::vector<float> finite = fill(raster);
    raster[4 * columns + 1] = std::numeric_limits<float>::infinity();
    const std::vector<float> filled = fill(raster);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * columns + x;
            if (hole(y, x) && x < 7) {
                EXPECT_EQ(filled[i], std::numeric_limits<float>::infinity()) << y << ", " << x;
            } else if (x > 7) {
                EXPECT_EQ(filled[i], finite[i]) << y << ", " << x;
            }
        }
}
