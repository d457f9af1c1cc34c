#include "bench/DepthScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct SceneRow {
    const char* name;
    int rows;
    int columns;
    unsigned seed;
};

const SceneRow Scenes[] = {
    {"640 x 480, first scene", 480, 640, 1000},
    {"640 x 480, another scene", 480, 640, 1003},
    {"1280 x 720", 720, 1280, 1001},
    {"odd size", 101, 157, 7},
};

// The benchmark's figures mean something only if its frames are what it says:
// depths never 0, and shadows on the far side of an edge, which a projector on
// the right leaves to the left of something nearer.
TEST(DepthScene, ShadowsLieBesideNearerObjects)
{
    for (const SceneRow& row : Scenes) {
        const DepthScene scene = RenderDepthScene(row.rows, row.columns, row.seed);
        ASSERT_EQ(scene.depth.size(), static_cast<std::size_t>(row.rows) * row.columns) << row.name;
        EXPECT_EQ(std::count(scene.depth.begin(), scene.depth.end(), 0), 0) << row.name;
        long shadows = 0, besideNearer = 0;
        for (int y = 0; y < row.rows; ++y)
            for (int x = 0; x < row.columns; ++x) {
                const std::size_t cell = static_cast<std::size_t>(y) * row.columns + x;
                if (!scene.shadow[cell])
                    continue;
                ++shadows;
                const auto* begin = scene.depth.data() + cell;
                const auto* end = scene.depth.data() + static_cast<std::size_t>(y + 1) * row.columns;
                besideNearer += std::any_of(begin, end, [&](std::uint16_t d) { return d < 0.9 * scene.depth[cell]; });
            }
        const double share = static_cast<double>(shadows) / scene.depth.size();
        EXPECT_GT(share, 0.001) << row.name;
        EXPECT_LT(share, 0.1) << row.name;
        EXPECT_GT(besideNearer, 0.95 * shadows) << row.name;
    }
}

TEST(DepthScene, SensorHolesCoverBandBlobsAndCracksAlike)
{
    for (const SceneRow& row : Scenes) {
        const std::vector<std::uint8_t> mask = SensorHoles(row.rows, row.columns, row.seed);
        const double share = static_cast<double>(std::count(mask.begin(), mask.end(), 1)) / mask.size();
        EXPECT_GT(share, 0.04) << row.name;
        EXPECT_LT(share, 0.25) << row.name;
        for (int y = 0; y < row.rows; ++y)
            ASSERT_EQ(mask[static_cast<std::size_t>(y) * row.columns], 1) << row.name << ", row " << y;
        EXPECT_EQ(mask, SensorHoles(row.rows, row.columns, row.seed)) << row.name;
        EXPECT_NE(mask, SensorHoles(row.rows, row.columns, row.seed + 1)) << row.name;
    }
}

}  // namespace
