// Any bytes as a small picture, or as a plane of region labels: every stage must
// give the same bits as the step-by-step reference.

#include "analysis/DarkRegionLabelling.h"
#include "analysis/FillRules.h"
#include "analysis/GapFilling.h"
#include "analysis/GuidedFill.h"
#include "analysis/RegionPainting.h"
#include "analysis/RegionSurrounds.h"
#include "testing/planes/PlaneArt.h"
#include "testing/reference/ReferenceAnalysis.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace darkfill;

namespace {

void Require(bool same)
{
    if (!same)
        std::abort();
}

using Plane = reference::Plane;

template <class Cell>
bool SameTable(const std::vector<Cell>& fast, const std::vector<double>& slow)
{
    for (std::size_t i = 1; i < fast.size(); ++i)
        if (i >= slow.size() || !(static_cast<double>(fast[i]) == slow[i]))
            return false;
    return true;
}

// The whole chain of stages on one picture, fast and reference side by side,
// ending in the fill rule that the options name.
void CompareStages(const Plane& image, int rows, int columns, const FillOptions& options)
{
    constexpr RegionLabel Unwritten = 0xdeadbeef;
    Plane slowLabels = FilledPlane(rows, columns, -1.0), slowRegions = FilledPlane(rows, columns, double{Unwritten});
    darkfill::Plane<std::uint8_t> plane = CopyOfPlane<std::uint8_t>(image);
    darkfill::Plane<RegionLabel> regions = FilledPlane(rows, columns, Unwritten);
    RegionStarts starts;
    LabelDarkRegions(plane, regions, rows, columns, &starts);
    reference::LabelDarkRegions(image, slowLabels, slowRegions, rows, columns);
    ClearLastRowAndColumn(slowRegions);
    Require(SameCells(regions, slowRegions));
    ClearPlaneBorder(regions, rows, columns);
    reference::ClearPlaneBorder(slowRegions, rows, columns);
    Require(SameCells(regions, slowRegions));

    std::vector<std::uint8_t> table;
    std::vector<double> slowTable;
    // As the analysis walks: from the start pixels that the labelling noted.
    const RegionLabel count = MeasureRegionSurrounds(regions, plane, rows, columns, table, starts);
    Require(count == static_cast<RegionLabel>(
                         reference::MeasureRegionSurrounds(slowRegions, image, rows, columns, slowTable, 0)));
    Require(SameTable(table, slowTable));

    std::vector<ValueSource> sources(static_cast<std::size_t>(rows) * columns, ValueSource::LeftAtZero);
    std::vector<ValueSource> slowSources(sources.size(), ValueSource::LeftAtZero);
    Plane slowFill(rows, columns);
    PaintRegions(regions, plane, table);
    reference::PaintRegions(slowRegions, slowFill, rows, columns, slowTable, static_cast<int>(count));
    Plane slowComposite = CopyOfPlane(image);
    const int reach = ReachOf(options);
    switch (options.rule) {
    case FillRule::RowsColumns:
        FillGaps(plane, regions, sources, reach);
        reference::CompositeAndFill(slowComposite, slowFill, rows, columns, slowSources, reach);
        break;
    case FillRule::Nearest:
        FillNearest(plane, regions, sources, reach);
        reference::CompositeAndFillNearest(slowComposite, slowFill, rows, columns, slowSources, reach);
        break;
    case FillRule::Background:
        FillBackground(plane, regions, sources, reach, options.far);
        reference::CompositeAndFillBackground(slowComposite, slowFill, rows, columns, slowSources, reach, options.far);
        break;
    case FillRule::Guided: {
        GuidedFill guided;
        guided.Fill(plane, options.guide, regions, sources);
        reference::CompositeAndFillGuided(slowComposite, slowFill, rows, columns, slowSources, options.guide);
        // Random guides make ill-conditioned systems, whose solutions only a
        // direct solve finds to the last digit: the same holes filled, sources
        // kept, and every value within the sources' range.
        double lowest = 255.0, highest = 0.0;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                if (image[y][x] > 0.0) {
                    lowest = std::min(lowest, image[y][x]);
                    highest = std::max(highest, image[y][x]);
                }
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) {
                const double value = plane[y][x];
                Require(image[y][x] == 0.0 ? value == 0.0 || (value >= lowest && value <= highest)
                                           : value == image[y][x]);
            }
        Require(sources == slowSources);
        return;
    }
    }
    Require(SameCells(plane, slowFill) && sources == slowSources);
}

// The bytes as region labels with gaps and strays, walked round by both versions.
void CompareSurrounds(const std::uint8_t* data, std::size_t size, int rows, int columns)
{
    Plane regions(rows, columns), image(rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const std::uint8_t b = size ? data[(static_cast<std::size_t>(y) * columns + x) % size] : 0;
            regions[y][x] = b % 16 < 10 ? 0.0 : b % 16 - 9;
            image[y][x] = b;
        }
    std::vector<std::uint8_t> table;
    std::vector<double> slowTable;
    const RegionLabel count =
        MeasureRegionSurrounds(CopyOfPlane<RegionLabel>(regions), CopyOfPlane<std::uint8_t>(image), rows, columns,
                               table, reference::StartPixels(regions, rows, columns, 0));
    Require(count == static_cast<RegionLabel>(
                         reference::MeasureRegionSurrounds(regions, image, rows, columns, slowTable, 0)));
    Require(SameTable(table, slowTable));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const int rows = 1 + data[0] % 40;
    const int columns = 1 + data[1] % 40;
    // The third byte: a label plane, or a picture with its rule, far side and reach.
    const bool labelPlane = data[2] & 1;
    constexpr FillRule Rules[4] = {FillRule::RowsColumns, FillRule::Nearest, FillRule::Background, FillRule::Guided};
    const std::uint8_t choice = data[2];
    const FillRule rule = Rules[(choice >> 1) % 4];
    data += 3;
    size -= 3;
    // The guided rule on a picture small enough for the reference's dense solve,
    // guided by the same bytes a row further on.
    const bool guided = rule == FillRule::Guided && rows * columns <= 400 && size > 0;
    std::vector<std::uint8_t> guide(static_cast<std::size_t>(rows) * columns);
    for (std::size_t i = 0; guided && i < guide.size(); ++i)
        guide[i] = data[(i + static_cast<std::size_t>(columns)) % size];
    const FillOptions options = {
        .reach = choice & 0x40 && !guided ? (choice >> 3) % 8 : RuleReach,
        .rule = guided || rule != FillRule::Guided ? rule : FillRule::Nearest,
        .far = choice & 0x80 ? FarSide::Smaller : FarSide::Larger,
        .guide = guided ? GuideView(guide.data(), GuideFormat::Grey8, rows, columns) : GuideView()};
    if (labelPlane) {
        CompareSurrounds(data, size, rows, columns);
        return 0;
    }
    reference::Plane image(rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const std::uint8_t b = size ? data[(static_cast<std::size_t>(y) * columns + x) % size] : 0;
            image[y][x] = b < 96 ? 0.0 : b - 95;
        }
    CompareStages(image, rows, columns, options);
    return 0;
}
