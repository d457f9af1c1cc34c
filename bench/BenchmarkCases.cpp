#include "bench/BenchmarkCases.h"

#include "app/Analysis.h"
#include "testing/rasters/GeneratedRasters.h"

#include <algorithm>
#include <random>

namespace {

void Fill(int value)
{
    for (auto& row : InputRaster)
        for (auto& cell : row)
            cell = value;
}

// Dark discs on a smooth grey background, as holes in a depth map.
void Blobs()
{
    std::mt19937 random(11);
    for (int y = 0; y < RasterHeight; ++y)
        for (int x = 0; x < RasterWidth; ++x)
            InputRaster[y][x] = 40 + (x * 150 / RasterWidth + y * 60 / RasterHeight);
    for (int n = 0; n < 120; ++n) {
        const int cy = static_cast<int>(random() % RasterHeight), cx = static_cast<int>(random() % RasterWidth);
        const int r = 2 + static_cast<int>(random() % 19);
        for (int y = std::max(cy - r, 0); y <= std::min(cy + r, RasterHeight - 1); ++y)
            for (int x = std::max(cx - r, 0); x <= std::min(cx + r, RasterWidth - 1); ++x)
                if ((y - cy) * (y - cy) + (x - cx) * (x - cx) <= r * r)
                    InputRaster[y][x] = 0;
    }
}

void Noise()
{
    std::mt19937 random(35);
    for (auto& row : InputRaster)
        for (auto& cell : row)
            cell = random() % 100 < 35 ? 0 : 1 + static_cast<int>(random() % 255);
}

// 3 x 2 dark blocks separated by one-pixel lines whose grey varies.
void RegionGrid()
{
    for (int y = 0; y < RasterHeight; ++y)
        for (int x = 0; x < RasterWidth; ++x)
            InputRaster[y][x] = x % 4 == 3 || y % 3 == 2 ? 1 + (x / 4 * 7 + y / 3 * 13) % 255 : 0;
}

// A one-pixel corridor winding inward from the edge, walls one pixel wide: a
// turtle moves two cells at a time and turns right where it cannot go on.
void Spiral()
{
    Fill(120);
    const int dy[4] = {0, 1, 0, -1};
    const int dx[4] = {1, 0, -1, 0};
    const auto open = [](int y, int x) {
        return y >= 1 && y <= RasterHeight - 2 && x >= 1 && x <= RasterWidth - 2 && InputRaster[y][x] != 0;
    };
    int y = 1, x = 1, heading = 0;
    InputRaster[y][x] = 0;
    for (int turns = 0; turns < 2;) {
        if (open(y + 2 * dy[heading], x + 2 * dx[heading])) {
            for (int step = 0; step < 2; ++step) {
                y += dy[heading];
                x += dx[heading];
                InputRaster[y][x] = 0;
            }
            turns = 0;
        } else {
            heading = (heading + 1) % 4;
            ++turns;
        }
    }
}

void HorizontalSerpentine()
{
    Fill(90);
    for (int y = 1; y < RasterHeight - 1; y += 2) {
        for (int x = 1; x < RasterWidth - 1; ++x)
            InputRaster[y][x] = 0;
        if (y + 1 < RasterHeight - 1)
            InputRaster[y + 1][(y / 2) % 2 ? 1 : RasterWidth - 2] = 0;
    }
}

void VerticalSerpentine()
{
    Fill(90);
    for (int x = 1; x < RasterWidth - 1; x += 2) {
        for (int y = 1; y < RasterHeight - 1; ++y)
            InputRaster[y][x] = 0;
        if (x + 1 < RasterWidth - 1)
            InputRaster[(x / 2) % 2 ? 1 : RasterHeight - 2][x + 1] = 0;
    }
}

void OneSource()
{
    Fill(0);
    InputRaster[200][300] = 77;
}

void NoZero()
{
    std::mt19937 random(7);
    for (auto& row : InputRaster)
        for (auto& cell : row)
            cell = 1 + static_cast<int>(random() % 255);
}

// A generated raster of the window's size, as pictures users bring.
void Generated(const std::vector<std::int32_t>& raster)
{
    std::copy(raster.begin(), raster.end(), &InputRaster[0][0]);
}

}  // namespace

const std::vector<BenchmarkCase>& BenchmarkCases()
{
    static const std::vector<BenchmarkCase> cases = {
        {"Blobs", Blobs},
        {"Noise35", Noise},
        {"RegionGrid", RegionGrid},
        {"Spiral", Spiral},
        {"SerpentineH", HorizontalSerpentine},
        {"SerpentineV", VerticalSerpentine},
        {"OneSource", OneSource},
        {"AllZero", [] { Fill(0); }},
        {"NoZero", NoZero},
        {"Depth5", [] { Generated(DepthLikeRaster(RasterHeight, RasterWidth, 5, 1, 255)); }},
        {"Depth15", [] { Generated(DepthLikeRaster(RasterHeight, RasterWidth, 15, 2, 255)); }},
        {"Depth40", [] { Generated(DepthLikeRaster(RasterHeight, RasterWidth, 40, 3, 255)); }},
        {"SparseDots", [] { Generated(SparseDotsRaster(RasterHeight, RasterWidth, 6, 4, 255)); }},
        {"ScannedText", [] { Generated(ScannedTextRaster(RasterHeight, RasterWidth, 5)); }},
    };
    return cases;
}
