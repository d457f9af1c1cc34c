// The fill rules side by side on the same 16-bit depth frames: ms a frame for
// each rule, and its ratio to rows-columns (the default) measured in the same
// passes. Passes interleave the rules, so that a slow spell of the machine falls
// on all of them; each figure is the median over the passes.
//   build/bench/rule_bench [PASSES]   (11 unless given)

#include "darkfill/darkfill.h"
#include "testing/rasters/GeneratedRasters.h"
#include "bench/Median.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Frame = std::vector<std::uint16_t>;

struct Rule {
    const char* name;
    darkfill::FillOptions options;
};

const Rule Rules[] = {
    {"rows-columns", {}},
    {"nearest", {.rule = darkfill::FillRule::Nearest}},
    {"background", {.rule = darkfill::FillRule::Background}},
};
constexpr int RuleCount = sizeof(Rules) / sizeof(Rules[0]);
constexpr int FramesAPass = 10;

// Every frame filled once by one rule; ms a frame.
double Pass(darkfill::Filler& filler, const std::vector<Frame>& frames, Frame& out, int rows, int columns,
            const darkfill::FillOptions& options)
{
    const auto start = Clock::now();
    for (const Frame& frame : frames)
        filler.Fill(darkfill::RasterView<const std::uint16_t>(frame.data(), rows, columns),
                    darkfill::RasterView<std::uint16_t>(out.data(), rows, columns), options);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames.size();
}

void Measure(int rows, int columns, int holePercent, int passes)
{
    std::vector<Frame> frames;
    for (int i = 0; i < FramesAPass; ++i) {
        const std::vector<std::int32_t> raster = DepthLikeRaster(rows, columns, holePercent, 100 + i, 65535);
        frames.emplace_back(raster.begin(), raster.end());
    }
    Frame out(frames[0].size());
    darkfill::Filler filler;
    std::vector<double> ms[RuleCount], ratio[RuleCount];
    for (const Rule& rule : Rules)
        Pass(filler, frames, out, rows, columns, rule.options);  // warm the planes and caches
    for (int p = 0; p < passes; ++p) {
        double passMs[RuleCount];
        for (int r = 0; r < RuleCount; ++r)
            passMs[r] = Pass(filler, frames, out, rows, columns, Rules[(r + p) % RuleCount].options);
        for (int r = 0; r < RuleCount; ++r) {
            const int rule = (r + p) % RuleCount;
            ms[rule].push_back(passMs[r]);
        }
        for (int r = 0; r < RuleCount; ++r)
            ratio[r].push_back(ms[r].back() / ms[0].back());
    }
    std::printf("| %d x %d, %d %% holes |", columns, rows, holePercent);
    for (int r = 0; r < RuleCount; ++r)
        std::printf(" %.2f ms (%.2f) |", Median(ms[r]), Median(ratio[r]));
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    std::printf("| depth frame |");
    for (const Rule& rule : Rules)
        std::printf(" %s |", rule.name);
    std::printf("\n|---|");
    for (int r = 0; r < RuleCount; ++r)
        std::printf("---:|");
    std::printf("\n");
    for (const int holes : {5, 15, 40}) {
        Measure(480, 640, holes, passes);
        Measure(720, 1280, holes, passes);
    }
    return 0;
}
