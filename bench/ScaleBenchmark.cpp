// The size-generic analysis at the sizes of real depth frames, against the
// window's 512 x 384: time per cell, the worst shapes at 2048 x 2048 beside a
// depth map of that size, and the memory that one analysis holds at most, per cell
// (its heap and its working block, much of which is address space only).
// Sizes are run interleaved and each figure is the median of its runs, so that a
// noisy machine moves all alike. The worst shapes are timed both through one
// Filler kept from fill to fill (as darkfill-cli fills a batch) and alone, each
// fill with working memory of its own (as it fills one file), and stage by stage.
//   build/bench/scale_bench [RUNS]

#include "darkfill/darkfill.h"
#include "analysis/Conversions.h"
#include "analysis/DarkRegionLabelling.h"
#include "analysis/GapFilling.h"
#include "analysis/Plane.h"
#include "analysis/RegionPainting.h"
#include "analysis/RegionSurrounds.h"
#include "analysis/WorkingMemory.h"
#include "bench/HeapAccounting.h"
#include "testing/rasters/GeneratedRasters.h"
#include "bench/Median.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace darkfill;

namespace {

struct Size {
    const char* name;
    int rows;
    int columns;
};

struct Kind {
    const char* name;
    std::function<std::vector<std::int32_t>(int rows, int columns)> make;
};

struct Case {
    std::string name;
    int rows;
    int columns;
    std::vector<std::int32_t> raster;
    std::vector<double> milliseconds;
    long long heapPeak = 0;
};

// One fill through a Filler kept from fill to fill; ms.
double TimeKept(darkfill::Filler& filler, const Case& c, std::vector<std::int32_t>& result)
{
    const auto start = std::chrono::steady_clock::now();
    filler.Fill(RasterView<const std::int32_t>(c.raster.data(), c.rows, c.columns),
                RasterView<std::int32_t>(result.data(), c.rows, c.columns));
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// One fill alone, through a Filler of its own, as FillHoles fills: its time and the
// memory it held at most, the heap and the Filler's working block.
void Time(Case& c)
{
    std::vector<std::int32_t> result(c.raster.size());
    const long long before = StartHeapPeak();
    darkfill::Filler filler;
    const double ms = TimeKept(filler, c, result);
    c.heapPeak = std::max(c.heapPeak, HeapPeak() - before + static_cast<long long>(filler.HeldBytes()));
    c.milliseconds.push_back(ms);
}

constexpr int StageCount = 5;

// The stages of one fill, as the Filler runs them, each timed: ms of each.
class StageTimer
{
public:
    explicit StageTimer(const Case& c) : c_(c), plane_(c.rows, c.columns), regions_(c.rows, c.columns) {}

    std::array<double, StageCount> Time()
    {
        const int rows = c_.rows, columns = c_.columns;
        arena_.Reserve(LabellingBytes(rows, columns) + GapFillingBytes(rows, columns));
        std::array<double, StageCount> ms{};
        auto clock = std::chrono::steady_clock::now();
        const auto lap = [&](int stage) {
            const auto now = std::chrono::steady_clock::now();
            ms[stage] = std::chrono::duration<double, std::milli>(now - clock).count();
            clock = now;
        };
        ToWorkingValues(c_.raster.data(), plane_[0], c_.raster.size());
        lap(0);
        LabelDarkRegions(plane_, regions_, rows, columns, &starts_, RegionSizeThreshold + 1, &arena_, &runArena_);
        ClearPlaneBorder(regions_, rows, columns);
        lap(1);
        MeasureRegionSurrounds(regions_, plane_, rows, columns, surrounds_, starts_);
        lap(2);
        PaintRegions(regions_, plane_, surrounds_);
        lap(3);
        FillGaps(plane_, regions_, {}, GapSearchAttempts - 1, &arena_);
        lap(4);
        return ms;
    }

private:
    const Case& c_;
    Plane<std::int32_t> plane_;
    Plane<RegionLabel> regions_;
    WorkingArena arena_;
    WorkingArena runArena_;
    RegionStarts starts_;
    std::vector<std::int32_t> surrounds_;
};

std::vector<std::int32_t> Serpentine(int rows, int columns, bool vertical)
{
    std::vector<std::int32_t> raster(static_cast<std::size_t>(rows) * columns, 200);
    const int across = vertical ? columns : rows, along = vertical ? rows : columns;
    for (int lane = 1; lane < across - 1; lane += 2)
        for (int i = 1; i < along - 1; ++i) {
            const int a = lane, b = i;
            raster[static_cast<std::size_t>(vertical ? b : a) * columns + (vertical ? a : b)] = 0;
            if (lane + 1 < across - 1 && i == ((lane / 2) % 2 ? 1 : along - 2)) {
                const int c = lane + 1;
                raster[static_cast<std::size_t>(vertical ? b : c) * columns + (vertical ? c : b)] = 0;
            }
        }
    return raster;
}

// One corridor a pixel wide that winds inward ring by ring, each ring joined to
// the next by one pixel.
std::vector<std::int32_t> Spiral(int rows, int columns)
{
    std::vector<std::int32_t> raster(static_cast<std::size_t>(rows) * columns, 150);
    const auto dark = [&](int y, int x) { raster[static_cast<std::size_t>(y) * columns + x] = 0; };
    for (int top = 1, left = 1, bottom = rows - 2, right = columns - 2; top <= bottom && left <= right;
         top += 2, left += 2, bottom -= 2, right -= 2) {
        for (int x = left; x <= right; ++x)
            dark(top, x);
        for (int y = top; y <= bottom; ++y)
            dark(y, right);
        for (int x = right; x >= left && bottom > top; --x)
            dark(bottom, x);
        for (int y = bottom; y >= top + 2 && right > left; --y)
            dark(y, left);
        if (top + 2 <= bottom - 2 && left + 2 <= right - 2)
            dark(top + 2, left + 1);
    }
    return raster;
}

std::vector<std::int32_t> Noise(int rows, int columns, int zeroPercent)
{
    std::vector<std::int32_t> raster(static_cast<std::size_t>(rows) * columns);
    unsigned state = 12345;
    for (std::int32_t& cell : raster) {
        state = state * 1103515245u + 12345u;
        cell = (state >> 16) % 100 < static_cast<unsigned>(zeroPercent) ? 0 : 1 + (state >> 8) % 255;
    }
    return raster;
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const Size sizes[] = {{"512 x 384", 384, 512}, {"640 x 480", 480, 640}, {"1241 x 376", 376, 1241},
                          {"1280 x 720", 720, 1280}};
    const Kind kinds[] = {
        {"depth map, 5 % holes", [](int r, int c) { return DepthLikeRaster(r, c, 5, 1, 65535); }},
        {"depth map, 15 % holes", [](int r, int c) { return DepthLikeRaster(r, c, 15, 2, 65535); }},
        {"depth map, 40 % holes", [](int r, int c) { return DepthLikeRaster(r, c, 40, 3, 65535); }},
        {"sparse dots on 0", [](int r, int c) { return SparseDotsRaster(r, c, 6, 4, 65535); }},
    };
    std::vector<Case> cases;
    for (const Kind& kind : kinds)
        for (const Size& size : sizes)
            cases.push_back({std::string(kind.name) + ", " + size.name, size.rows, size.columns,
                             kind.make(size.rows, size.columns), {}, 0});
    for (int run = 0; run < runs; ++run)
        for (Case& c : cases)
            Time(c);

    std::printf("Per cell against 512 x 384, median of %d runs (ns a cell, ratio):\n", runs);
    std::printf("%-24s", "case");
    for (const Size& size : sizes)
        std::printf(" | %18s", size.name);
    std::printf("\n");
    for (std::size_t k = 0; k < std::size(kinds); ++k) {
        std::printf("%-24s", kinds[k].name);
        const Case& base = cases[k * std::size(sizes)];
        const double baseNs = Median(base.milliseconds) * 1e6 / base.raster.size();
        for (std::size_t s = 0; s < std::size(sizes); ++s) {
            const Case& c = cases[k * std::size(sizes) + s];
            const double ns = Median(c.milliseconds) * 1e6 / c.raster.size();
            std::printf(" | %7.2f ns  %5.2f x", ns, ns / baseNs);
        }
        std::printf("\n");
    }
    std::printf("\nMilliseconds a picture and memory held at most (bytes a cell):\n");
    for (const Case& c : cases)
        std::printf("%-40s %9.2f ms  %5.1f B\n", c.name.c_str(), Median(c.milliseconds),
                    static_cast<double>(c.heapPeak) / c.raster.size());

    std::vector<Case> worst = {
        {"depth map, 40 % holes, 2048 x 2048", 2048, 2048, DepthLikeRaster(2048, 2048, 40, 3, 65535), {}, 0},
        {"horizontal serpentine 2048 x 2048", 2048, 2048, Serpentine(2048, 2048, false), {}, 0},
        {"vertical serpentine 2048 x 2048", 2048, 2048, Serpentine(2048, 2048, true), {}, 0},
        {"spiral 2048 x 2048", 2048, 2048, Spiral(2048, 2048), {}, 0},
        {"noise, 35 % zeros, 2048 x 2048", 2048, 2048, Noise(2048, 2048, 35), {}, 0},
    };
    const int worstRuns = std::max(3, runs / 3);
    std::vector<std::vector<double>> kept(worst.size());
    {
        darkfill::Filler filler;
        std::vector<std::int32_t> result(worst[0].raster.size());
        for (const Case& c : worst)
            TimeKept(filler, c, result);
        for (int run = 0; run < worstRuns; ++run)
            for (std::size_t k = 0; k < worst.size(); ++k)
                kept[k].push_back(TimeKept(filler, worst[k], result));
    }
    for (int run = 0; run < worstRuns; ++run)
        for (Case& c : worst)
            Time(c);
    std::printf("\n2048 x 2048, median of %d runs: ms through a kept Filler, per cell against the depth map; ms\n"
                "alone, and memory held alone (bytes a cell):\n",
                worstRuns);
    const double depthMs = Median(kept[0]);
    for (std::size_t k = 0; k < worst.size(); ++k)
        std::printf("%-40s %8.1f ms  %5.2f x  | alone %8.1f ms  %5.1f B\n", worst[k].name.c_str(), Median(kept[k]),
                    Median(kept[k]) / depthMs, Median(worst[k].milliseconds),
                    static_cast<double>(worst[k].heapPeak) / worst[k].raster.size());

    // Each shape's planes are written once before its timed runs, as a kept
    // Filler's are.
    std::vector<std::array<std::vector<double>, StageCount>> stages(worst.size());
    for (std::size_t k = 0; k < worst.size(); ++k) {
        StageTimer timer(worst[k]);
        timer.Time();
        for (int run = 0; run < worstRuns; ++run) {
            const std::array<double, StageCount> ms = timer.Time();
            for (int stage = 0; stage < StageCount; ++stage)
                stages[k][stage].push_back(ms[stage]);
        }
    }
    std::printf("\nThe stages of one fill at 2048 x 2048, median of %d runs (ms):\n%-40s %9s %9s %9s %9s %9s\n",
                worstRuns, "", "to plane", "labels", "walks", "painting", "gap fill");
    for (std::size_t k = 0; k < worst.size(); ++k) {
        std::printf("%-40s", worst[k].name.c_str());
        for (int stage = 0; stage < StageCount; ++stage)
            std::printf(" %9.2f", Median(stages[k][stage]));
        std::printf("\n");
    }
    return 0;
}
