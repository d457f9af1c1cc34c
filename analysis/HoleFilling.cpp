#include "analysis/HoleFilling.h"

#include "analysis/Conversions.h"
#include "analysis/DarkRegionLabelling.h"
#include "analysis/GapFilling.h"
#include "analysis/Plane.h"
#include "analysis/RegionPainting.h"
#include "analysis/RegionSurrounds.h"
#include "analysis/VectorClones.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

void RequireShape(std::size_t rasterCells, int rows, int columns, std::size_t resultCells, std::size_t sourceCells)
{
    if (rows < 1 || columns < 1 || static_cast<long long>(rows) * columns > MaximumCells)
        throw std::invalid_argument("a raster of 1 to 2^24 cells is needed");
    const std::size_t cells = static_cast<std::size_t>(rows) * columns;
    if (rasterCells < cells || resultCells < cells || (sourceCells != 0 && sourceCells < cells))
        throw std::invalid_argument("the raster, the result and the sources need rows x columns cells");
}

// Before the fill: the picture's own values are kept, and holes are painted or
// wait for the fill, which notes the direction of each value that it brings.
void NoteKeptAndPainted(const Plane& imagePlane, const Plane& fillPlane, int rows, int columns,
                        std::span<ValueSource> sources)
{
    for (int y = 0; y < rows; ++y) {
        const float* image = imagePlane[y];
        const float* fill = fillPlane[y];
        ValueSource* source = sources.data() + static_cast<std::size_t>(y) * columns;
        for (int x = 0; x < columns; ++x)
            source[x] = image[x] != 0.0f ? ValueSource::Kept
                        : fill[x] > 0.0f ? ValueSource::Painted
                                         : ValueSource::LeftAtZero;
    }
}

// Whether the raster holds a 0: its zeros are counted block by block, which
// vectorises where a search for the first would go cell by cell, and the count
// stops at the first block with one.
VECTOR_CLONES bool HoldsZero(const std::int32_t* raster, std::size_t cells)
{
    constexpr std::size_t Block = 256;
    for (std::size_t from = 0; from < cells; from += Block) {
        const std::size_t to = std::min(from + Block, cells);
        int zeros = 0;
        for (std::size_t i = from; i < to; ++i)
            zeros += raster[i] == 0;
        if (zeros != 0)
            return true;
    }
    return false;
}

// The result of a picture without holes: each value as the stages would leave
// it, through a float and back.
VECTOR_CLONES void ResultWithoutHoles(const std::int32_t* raster, std::int32_t* result, std::size_t cells)
{
    for (std::size_t i = 0; i < cells; ++i)
        result[i] = TruncateToInt(static_cast<float>(raster[i]));
}

void CountSources(std::span<const ValueSource> sources, FillCounts& counts)
{
    for (const ValueSource source : sources) {
        counts.pixelsPainted += source == ValueSource::Painted;
        counts.pixelsLeftAtZero += source == ValueSource::LeftAtZero;
        counts.pixelsFilled += source != ValueSource::Kept && source != ValueSource::Painted &&
                               source != ValueSource::LeftAtZero;
    }
}

}  // namespace

void FillHoles(std::span<const std::int32_t> raster, int rows, int columns, std::span<std::int32_t> result,
               std::span<ValueSource> sources, FillCounts* counts)
{
    RequireShape(raster.size(), rows, columns, result.size(), sources.size());
    const std::size_t cells = static_cast<std::size_t>(rows) * columns;
    raster = raster.first(cells);
    result = result.first(cells);
    if (counts)
        *counts = FillCounts();

    // Without a hole there is no region and no gap: the result is the picture
    // itself, which the stages would only find at the cost of every pass.
    if (!HoldsZero(raster.data(), cells)) {
        ResultWithoutHoles(raster.data(), result.data(), cells);
        if (!sources.empty())
            std::fill_n(sources.begin(), cells, ValueSource::Kept);
        return;
    }

    // Counts come from the sources; a caller that asks only for the counts gets
    // sources of the call's own.
    std::vector<ValueSource> ownSources;
    if (counts && sources.empty()) {
        ownSources.resize(cells);
        sources = ownSources;
    }
    sources = sources.empty() ? sources : sources.first(cells);

    // The planes share one block: one allocation that the allocator can hand out
    // again on the next run instead of fresh pages from the system. The label
    // plane is the labelling's scratch, and the painting writes every cell of the
    // fill plane after it: the two take the same cells, which the labelling has
    // just brought into the caches.
    const auto block = std::make_unique_for_overwrite<float[]>(3 * cells);
    Plane imagePlane(block.get(), rows, columns);
    Plane regionPlane(block.get() + cells, rows, columns);
    Plane labelPlane(block.get() + 2 * cells, rows, columns);
    Plane& fillPlane = labelPlane;
    std::vector<float> regionGreyTable(RegionGreyTableSize);

    RasterToPlane(raster.data(), imagePlane[0], cells);

    // The labelling notes where each region's walk starts as it writes the labels,
    // which spares the walks a pass down the region plane to find them.
    RegionStarts starts;
    LabelDarkRegions(imagePlane, labelPlane, regionPlane, rows, columns, &starts, LabelPlaneAfter::Scratch);
    ClearPlaneBorder(regionPlane, rows, columns);
    const int regionCount = MeasureRegionSurrounds(regionPlane, imagePlane, rows, columns, regionGreyTable, starts);
    PaintRegions(regionPlane, fillPlane, rows, columns, regionGreyTable, regionCount);
    if (!sources.empty())
        NoteKeptAndPainted(imagePlane, fillPlane, rows, columns, sources);
    CompositeAndFill(imagePlane, fillPlane, rows, columns, sources);

    PlaneToRaster(fillPlane[0], result.data(), cells);

    if (counts) {
        counts->regionsFound = regionCount;
        for (int label = 1; label <= regionCount; ++label)
            counts->regionsPainted += regionGreyTable[label] > 0.0f;
        CountSources(sources, *counts);
    }
}
