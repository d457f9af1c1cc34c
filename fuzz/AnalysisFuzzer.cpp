// Any bytes as a small picture, or as a plane of region labels: every stage must
// give the same bits as the step-by-step reference.

#include "analysis/DarkRegionLabelling.h"
#include "analysis/FillRules.h"
#include "analysis/GapFilling.h"
#include "analysis/RegionPainting.h"
#include "analysis/RegionSurrounds.h"
#include "testing/planes/PlaneArt.h"
#include "testing/reference/ReferenceAnalysis.h"

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

bool SameBits(const Plane& a, const Plane& b)
{
    for (int y = 0; y < a.Rows(); ++y)
        if (std::memcmp(a[y], b[y], sizeof(float) * a.Columns()) != 0)
            return false;
    return true;
}

// The whole chain of stages on one picture, fast and reference side by side,
// ending in the fill rule that the options name.
void CompareStages(const Plane& image, int rows, int columns, const FillOptions& options)
{
    Plane slowLabels = FilledPlane(rows, columns, -1.0f);
    Plane regions = FilledPlane(rows, columns, -1.0f), slowRegions = FilledPlane(rows, columns, -1.0f);
    RegionStarts starts;
    LabelDarkRegions(image, regions, rows, columns, &starts);
    reference::LabelDarkRegions(image, slowLabels, slowRegions, rows, columns);
    Require(SameBits(regions, slowRegions));
    ClearPlaneBorder(regions, rows, columns);
    reference::ClearPlaneBorder(slowRegions, rows, columns);
    Require(SameBits(regions, slowRegions));

    std::vector<float> table(RegionGreyTableSize, -1.0f), slowTable(RegionGreyTableSize, -1.0f);
    // As the analysis walks: from the start pixels that the labelling noted.
    const int count = MeasureRegionSurrounds(regions, image, rows, columns, table, starts);
    Require(count == reference::MeasureRegionSurrounds(regions, image, rows, columns, slowTable, 0));
    Require(table == slowTable);

    Plane fill = FilledPlane(rows, columns, 3.0f), slowFill = FilledPlane(rows, columns, 3.0f);
    PaintRegions(regions, fill, rows, columns, table, count);
    reference::PaintRegions(regions, slowFill, rows, columns, table, count);
    Require(SameBits(fill, slowFill));

    Plane composite = CopyOfPlane(image), slowComposite = CopyOfPlane(image);
    std::vector<ValueSource> sources(static_cast<std::size_t>(rows) * columns);
    std::vector<ValueSource> slowSources(sources.size());
    const int reach = ReachOf(options);
    switch (options.rule) {
    case FillRule::RowsColumns:
        CompositeAndFill(composite, fill, rows, columns, sources, reach);
        reference::CompositeAndFill(slowComposite, slowFill, rows, columns, slowSources, reach);
        break;
    case FillRule::Nearest:
        CompositeAndFillNearest(composite, fill, regions, rows, columns, sources, reach);
        reference::CompositeAndFillNearest(slowComposite, slowFill, rows, columns, slowSources, reach);
        break;
    case FillRule::Background:
        CompositeAndFillBackground(composite, fill, regions, rows, columns, sources, reach, options.far);
        reference::CompositeAndFillBackground(slowComposite, slowFill, rows, columns, slowSources, reach, options.far);
        break;
    }
    Require(SameBits(composite, slowComposite) && SameBits(fill, slowFill) && sources == slowSources);
}

// The bytes as region labels with gaps and strays, walked round by both versions.
void CompareSurrounds(const std::uint8_t* data, std::size_t size, int rows, int columns)
{
    Plane regions(rows, columns), image(rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const std::uint8_t b = size ? data[(static_cast<std::size_t>(y) * columns + x) % size] : 0;
            regions[y][x] = b % 16 < 10 ? 0.0f : static_cast<float>(b % 16 - 9);
            image[y][x] = static_cast<float>(b);
        }
    std::vector<float> table(RegionGreyTableSize, -1.0f), slowTable(RegionGreyTableSize, -1.0f);
    const int count =
        MeasureRegionSurrounds(regions, image, rows, columns, table, reference::StartPixels(regions, rows, columns, 0));
    Require(count == reference::MeasureRegionSurrounds(regions, image, rows, columns, slowTable, 0));
    Require(table == slowTable);
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
    constexpr FillRule Rules[4] = {FillRule::RowsColumns, FillRule::Nearest, FillRule::Background, FillRule::Nearest};
    const FillOptions options = {.reach = data[2] & 0x40 ? (data[2] >> 3) % 8 : RuleReach,
                                 .rule = Rules[(data[2] >> 1) % 4],
                                 .far = data[2] & 0x80 ? FarSide::Smaller : FarSide::Larger};
    data += 3;
    size -= 3;
    if (labelPlane) {
        CompareSurrounds(data, size, rows, columns);
        return 0;
    }
    Plane image(rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const std::uint8_t b = size ? data[(static_cast<std::size_t>(y) * columns + x) % size] : 0;
            image[y][x] = b < 96 ? 0.0f : static_cast<float>(b - 95);
        }
    CompareStages(image, rows, columns, options);
    return 0;
}
