#include "app/Analysis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>


namespace {

using Picture = std::function<std::int32_t(int y, int x)>;

void FillInput(const Picture& picture)
{
    for (int y = 0; y < RasterHeight; ++y)
        for (int x = 0; x < RasterWidth; ++x)
            InputRaster[y][x] = picture(y, x);
}

bool ResultEqualsInput()
{
    return std::memcmp(InputRaster, ResultRaster, sizeof(InputRaster)) == 0;
}

TEST(Pipeline, WithoutDarkPixelsTheResultIsThePicture)
{
    struct Row {
        const char* name;
        Picture picture;
    };
    const Row table[] = {
        {"Flat", [](int, int) { return 77; }},
        {"Gradient", [](int y, int x) { return 1 + (x + y) % 255; }},
        {"OutOfRangeValues", [](int y, int x) { return (y * 7 + x * 13) % 2 ? -5 - x : 300 + y; }},
        {"IntegerExtremes", [](int y, int) { return y % 2 ? 2147483647 : -2147483647 - 1; }},
    };
    for (const Row& row : table) {
        FillInput(row.picture);
        std::memset(ResultRaster, 0x5a, sizeof(ResultRaster));
        RunAnalysis();
        if (std::string(row.name) == "IntegerExtremes") {
            // The largest integers are not exact in a float; they come back saturated.
            EXPECT_EQ(ResultRaster[1][0], 2147483647) << row.name;
            EXPECT_EQ(ResultRaster[0][0], -2147483647 - 1) << row.name;
        } else {
            EXPECT_TRUE(ResultEqualsInput()) << row.name;
        }
    }
}

// A single hole anywhere, the first or the last cell included, is found and
// filled from the grey around it; nothing else changes.
TEST(Pipeline, ALoneHoleIsFilledWherever)
{
    const struct {
        const char* name;
        int y, x;
    } table[] = {
        {"FirstCell", 0, 0},
        {"LastCell", RasterHeight - 1, RasterWidth - 1},
        {"Middle", RasterHeight / 2, 257},
        {"LastOfARow", 7, RasterWidth - 1},
    };
    for (const auto& row : table) {
        FillInput([&](int y, int x) { return y == row.y && x == row.x ? 0 : 90; });
        RunAnalysis();
        InputRaster[row.y][row.x] = 90;
        EXPECT_TRUE(ResultEqualsInput()) << row.name;
    }
}

TEST(Pipeline, RegionTakesItsSurroundAndGapsFillFromNeighbours)
{
    FillInput([](int y, int x) {
        if (y >= 10 && y < 14 && x >= 20 && x < 25)
            return 0;  // a region on grey 80
        if (y == 200 && x >= 100 && x < 103)
            return 0;  // too small for a region: filled from the row
        return x < 300 ? 80 : 160;
    });
    RunAnalysis();
    EXPECT_EQ(ResultRaster[11][22], 80);
    EXPECT_EQ(ResultRaster[200][100], 80);
    EXPECT_EQ(ResultRaster[200][102], 80);
    EXPECT_EQ(ResultRaster[5][400], 160);
}

TEST(Pipeline, TwoRunsGiveTheSameResult)
{
    std::mt19937 random(7);
    FillInput([&](int, int) { return random() % 3 == 0 ? 0 : static_cast<std::int32_t>(random() % 4 * 60); });
    RunAnalysis();
    std::vector<std::int32_t> first(&ResultRaster[0][0], &ResultRaster[0][0] + RasterHeight * RasterWidth);
    std::memset(ResultRaster, 0, sizeof(ResultRaster));
    RunAnalysis();
    EXPECT_EQ(std::memcmp(first.data(), ResultRaster, sizeof(ResultRaster)), 0);
}

TEST(Pipeline, MoreRegionsThanTheTableStartsWithAreAllPainted)
{
    // 900 rings of dark pixels on grey 50, each round an island of grey 222. A ring
    // left unpainted would be gap-filled, and its top and bottom sides would take
    // the island's grey; painted, every ring pixel takes 50.
    const int cell = 6;
    const int rings = 30;
    FillInput([&](int y, int x) {
        const int cy = (y - 1) % cell;
        const int cx = (x - 1) % cell;
        if (y < 1 || x < 1 || y > rings * cell || x > rings * cell || cy == 5 || cx == 5)
            return 50;
        const bool island = cy >= 1 && cy <= 3 && cx >= 1 && cx <= 3;
        return island ? 222 : 0;
    });
    RunAnalysis();
    int wrong = 0;
    for (int y = 0; y < RasterHeight; ++y)
        for (int x = 0; x < RasterWidth; ++x)
            wrong += ResultRaster[y][x] != (InputRaster[y][x] == 0 ? 50 : InputRaster[y][x]);
    EXPECT_EQ(wrong, 0);
}

}  // namespace
