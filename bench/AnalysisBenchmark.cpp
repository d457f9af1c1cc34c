// Times RunAnalysis against the step-by-step reference on generated pictures, side
// by side in one run, with the fast version's time per stage and its peak heap.
//   build/bench/analysis_bench [--benchmark_filter=...] [--benchmark_repetitions=N]
// Unless told otherwise, each benchmark runs 5 times for at least 0.1 s, the
// repetitions of all of them interleaved, and the table takes the fastest of each:
// on a busy machine other work only ever adds time, to either side of a ratio alike.

#include "darkfill/darkfill.h"
#include "app/Analysis.h"
#include "analysis/Conversions.h"
#include "analysis/DarkRegionLabelling.h"
#include "analysis/GapFilling.h"
#include "analysis/Plane.h"
#include "analysis/RegionPainting.h"
#include "analysis/RegionSurrounds.h"
#include "bench/BenchmarkCases.h"
#include "bench/HeapAccounting.h"
#include "testing/planes/PlaneArt.h"
#include "testing/reference/ReferenceAnalysis.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace darkfill;

namespace {

constexpr int Rows = RasterHeight;
constexpr int Columns = RasterWidth;
constexpr std::size_t Cells = static_cast<std::size_t>(Rows) * Columns;

// The planes of one run, kept after each stage so that every stage can be timed
// alone: the window's values in their own type, as the library holds them.
struct StageInputs {
    Plane<std::int32_t> image{Rows, Columns};
    Plane<RegionLabel> regions{Rows, Columns};
    Plane<std::int32_t> painted{Rows, Columns};
    std::vector<std::int32_t> table;
    RegionStarts starts;

    explicit StageInputs(const BenchmarkCase& c)
    {
        c.fillInputRaster();
        ToWorkingValues(&InputRaster[0][0], image[0], Cells);
        LabelDarkRegions(image, regions, Rows, Columns, &starts);
        ClearPlaneBorder(regions, Rows, Columns);
        MeasureRegionSurrounds(regions, image, Rows, Columns, table, starts);
        std::copy(image[0], image[0] + Cells, painted[0]);
        PaintRegions(regions, painted, table);
    }
};

void Fast(benchmark::State& state, const BenchmarkCase& c)
{
    c.fillInputRaster();
    for (auto _ : state)
        RunAnalysis();
}

// The library alone through a kept Filler: what the window's fill costs besides
// fresh memory, whose cost depends on what the allocator gives back.
void Kept(benchmark::State& state, const BenchmarkCase& c)
{
    c.fillInputRaster();
    darkfill::Filler filler;
    const darkfill::RasterView<const std::int32_t> in(&InputRaster[0][0], RasterHeight, RasterWidth);
    const darkfill::RasterView<std::int32_t> out(&ResultRaster[0][0], RasterHeight, RasterWidth);
    for (auto _ : state)
        filler.Fill(in, out);
}

void Reference(benchmark::State& state, const BenchmarkCase& c)
{
    c.fillInputRaster();
    for (auto _ : state)
        reference::FillHoles<std::int32_t>(std::span(&InputRaster[0][0], Cells), Rows, Columns,
                                           std::span(&ResultRaster[0][0], Cells));
}

void StageLabel(benchmark::State& state, const BenchmarkCase& c)
{
    StageInputs in(c);
    for (auto _ : state) {
        LabelDarkRegions(in.image, in.regions, Rows, Columns);
        ClearPlaneBorder(in.regions, Rows, Columns);
    }
}

void StageSurrounds(benchmark::State& state, const BenchmarkCase& c)
{
    StageInputs in(c);
    for (auto _ : state)
        benchmark::DoNotOptimize(MeasureRegionSurrounds(in.regions, in.image, Rows, Columns, in.table, in.starts));
    state.counters["regions"] = static_cast<double>(in.table.size() - 1);
}

void StagePaint(benchmark::State& state, const BenchmarkCase& c)
{
    StageInputs in(c);
    for (auto _ : state)
        PaintRegions(in.regions, in.image, in.table);
}

void StageFill(benchmark::State& state, const BenchmarkCase& c)
{
    StageInputs in(c);
    for (auto _ : state) {
        state.PauseTiming();
        Plane<std::int32_t> fill = CopyOfPlane(in.painted);
        state.ResumeTiming();
        FillGaps(fill, in.regions);
    }
}

void StageConvert(benchmark::State& state, const BenchmarkCase& c)
{
    StageInputs in(c);
    for (auto _ : state)
        ToWorkingValues(&InputRaster[0][0], in.image[0], Cells);
}

// Prints the usual lines, then a table of the fast and reference times per case.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool fastest = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
            if (run.run_type == Run::RT_Iteration || fastest)
                (fastest ? fastest_ : milliseconds_)[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-12s %12s %10s %8s %8s   %s\n", "case", "reference ms", "fast ms", "ratio", "x floor",
                    "fast per stage: label / surrounds / paint / fill / conversions, ms");
        double logSum = 0.0;
        int ratios = 0;
        for (const BenchmarkCase& c : BenchmarkCases()) {
            const double fast = Find("Fast/" + c.name);
            const double slow = Find("Reference/" + c.name);
            const double ratio = fast > 0 && slow > 0 ? slow / fast : 0.0;
            if (ratio > 0) {
                logSum += std::log(ratio);
                ++ratios;
            }
            // The floor: converting the raster to a float plane and back, which
            // every analysis does, with the analysis's own conversions.
            const double floor = Find("Stage/" + c.name + "/Conversions");
            std::printf("%-12s %12.1f %10.2f %8.1f %8.1f   %.2f / %.2f / %.2f / %.2f / %.2f\n", c.name.c_str(), slow,
                        fast, ratio, floor > 0 ? fast / floor : 0.0, Find("Stage/" + c.name + "/Label"),
                        Find("Stage/" + c.name + "/Surrounds"),
                        Find("Stage/" + c.name + "/Paint"), Find("Stage/" + c.name + "/Fill"),
                        Find("Stage/" + c.name + "/Conversions"));
        }
        if (ratios > 0)
            std::printf("geometric mean of the ratios: %.1f\n", std::exp(logSum / ratios));
    }

private:
    // The fastest repetition, or the one run where there were no repetitions.
    double Find(const std::string& name) const
    {
        if (const auto found = fastest_.find(name); found != fastest_.end())
            return found->second;
        const auto found = milliseconds_.find(name);
        return found == milliseconds_.end() ? 0.0 : found->second;
    }

    std::map<std::string, double> milliseconds_;
    std::map<std::string, double> fastest_;
};

// The most heap that one RunAnalysis holds at once, over every case, and the
// working block that a fill of the raster reserves (not from the heap).
void ReportPeakHeap()
{
    long long peak = 0;
    std::size_t block = 0;
    std::vector<std::int32_t> result(Cells);
    for (const BenchmarkCase& c : BenchmarkCases()) {
        c.fillInputRaster();
        const long long before = StartHeapPeak();
        RunAnalysis();
        peak = std::max(peak, HeapPeak() - before);
        Filler filler;
        filler.Fill(RasterView<const std::int32_t>(&InputRaster[0][0], Rows, Columns),
                    RasterView<std::int32_t>(result.data(), Rows, Columns));
        block = std::max(block, filler.HeldBytes());
    }
    constexpr double MiB = 1024.0 * 1024.0;
    std::printf("peak heap of one RunAnalysis: %.2f MiB, besides its working block of %.2f MiB\n",
                static_cast<double>(peak) / MiB, static_cast<double>(block) / MiB);
}

}  // namespace

int main(int argc, char** argv)
{
    using Stage = void (*)(benchmark::State&, const BenchmarkCase&);
    const std::pair<const char*, Stage> stages[] = {{"Label", StageLabel},
                                                    {"Surrounds", StageSurrounds},
                                                    {"Paint", StagePaint},
                                                    {"Fill", StageFill},
                                                    {"Conversions", StageConvert}};
    const auto fastest = [](const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); };
    for (const BenchmarkCase& c : BenchmarkCases()) {
        benchmark::RegisterBenchmark(("Fast/" + c.name).c_str(), Fast, c)
            ->Unit(benchmark::kMillisecond)
            ->ComputeStatistics("min", fastest);
        benchmark::RegisterBenchmark(("Kept/" + c.name).c_str(), Kept, c)
            ->Unit(benchmark::kMillisecond)
            ->ComputeStatistics("min", fastest);
        // A reference run that takes seconds is measured once; shorter ones repeat.
        benchmark::RegisterBenchmark(("Reference/" + c.name).c_str(), Reference, c)
            ->Unit(benchmark::kMillisecond)
            ->ComputeStatistics("min", fastest);
        for (const auto& [stage, function] : stages)
            benchmark::RegisterBenchmark(("Stage/" + c.name + "/" + stage).c_str(), function, c)
                ->Unit(benchmark::kMillisecond)
                ->ComputeStatistics("min", fastest);
    }
    // Repetitions, interleaved, and only their summaries printed, unless the
    // command line says otherwise.
    std::vector<char*> arguments(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=5";
    char interleaved[] = "--benchmark_enable_random_interleaving=true";
    char summaries[] = "--benchmark_report_aggregates_only=true";
    char shortRuns[] = "--benchmark_min_time=0.1";
    const bool repetitionsGiven = std::any_of(arguments.begin() + 1, arguments.end(), [](const char* argument) {
        return std::string(argument).starts_with("--benchmark_repetitions");
    });
    if (!repetitionsGiven)
        arguments.insert(arguments.begin() + 1, {repetitions, interleaved, summaries, shortRuns});
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    ReportPeakHeap();
    benchmark::Shutdown();
    return 0;
}
