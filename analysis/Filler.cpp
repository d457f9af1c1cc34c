// The public face of the analysis: a raster of any of the value types, at any
// steps, through the five stages.
//
// Time: a look for a hole (one pass), and where there is one, the conversion into
// a float plane, the stages (each header states its own cost) and the conversion
// back. Memory: one block that holds two float planes of the raster's size (three
// for the rules that keep scratch), the labelling's arrays, and the fill map
// where the caller's is not one contiguous block or where only the counts are
// asked for; the Filler keeps it for the next raster, so that a fill of the same
// size asks for no memory.

#include "darkfill/darkfill.h"

#include "analysis/Conversions.h"
#include "analysis/DarkRegionLabelling.h"
#include "analysis/FillRules.h"
#include "analysis/GapFilling.h"
#include "analysis/Plane.h"
#include "analysis/RegionPainting.h"
#include "analysis/RegionSurrounds.h"
#include "analysis/WorkingMemory.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace darkfill {

struct Filler::Workspace {
    WorkingArena arena;
    RegionStarts starts;
    std::vector<float> regionGreyTable;
};

namespace {

[[noreturn]] void Refuse(const std::string& message)
{
    throw std::invalid_argument("darkfill: " + message);
}

std::string SizeText(int rows, int columns)
{
    return std::to_string(rows) + " x " + std::to_string(columns);
}

template <class Value>
Value* CellAt(const RasterView<Value>& view, int y, int x)
{
    using Byte = std::conditional_t<std::is_const_v<Value>, const char, char>;
    return reinterpret_cast<Value*>(reinterpret_cast<Byte*>(view.data) + y * view.rowStep + x * view.columnStep);
}

// The lowest and the highest address that the view's cells take, as numbers.
template <class Value>
std::pair<std::uintptr_t, std::uintptr_t> Extent(const RasterView<Value>& view)
{
    const auto at = [&](int y, int x) { return reinterpret_cast<std::uintptr_t>(CellAt(view, y, x)); };
    const std::uintptr_t corners[] = {at(0, 0), at(0, view.columns - 1), at(view.rows - 1, 0),
                                      at(view.rows - 1, view.columns - 1)};
    return {*std::min_element(std::begin(corners), std::end(corners)),
            *std::max_element(std::begin(corners), std::end(corners)) + sizeof(Value)};
}

// Whether the two views take no byte in common.
template <class Value>
bool Apart(const RasterView<const Value>& raster, const RasterView<Value>& result)
{
    const auto [rasterLow, rasterHigh] = Extent(raster);
    const auto [resultLow, resultHigh] = Extent(result);
    return resultHigh <= rasterLow || rasterHigh <= resultLow;
}

// Whether no two cells of the view share a byte: one step is at least a cell, the
// other at least a whole row or column of those.
template <class Value>
bool CellsApart(const RasterView<Value>& view)
{
    const std::ptrdiff_t size = sizeof(Value);
    const std::ptrdiff_t across = view.columns == 1 ? size : std::abs(view.columnStep);
    const std::ptrdiff_t down = view.rows == 1 ? size : std::abs(view.rowStep);
    return (across >= size && down >= across * view.columns) || (down >= size && across >= down * view.rows);
}

template <class Value>
void RequireView(const RasterView<Value>& view, const char* what, bool written)
{
    if (view.data == nullptr)
        Refuse(std::string(what) + " has no cells (a null pointer)");
    if (view.rows < 1 || view.columns < 1 || static_cast<long long>(view.rows) * view.columns > MaximumCells)
        Refuse(std::string(what) + " is " + SizeText(view.rows, view.columns) +
               " cells; from 1 x 1 up to 2^24 (16,777,216) cells can be filled");
    const std::ptrdiff_t size = sizeof(Value);
    if (view.rowStep % size != 0 || view.columnStep % size != 0 ||
        reinterpret_cast<std::uintptr_t>(view.data) % alignof(Value) != 0)
        Refuse(std::string(what) + "'s steps (" + std::to_string(view.rowStep) + " and " +
               std::to_string(view.columnStep) + " bytes) or start are not aligned to its " + std::to_string(size) +
               "-byte values");
    if (written && !CellsApart(view))
        Refuse(std::string(what) + "'s cells overlap one another (steps of " + std::to_string(view.rowStep) +
               " and " + std::to_string(view.columnStep) + " bytes)");
}

template <class Value>
void RequireSameSize(const RasterView<Value>& view, int rows, int columns, const char* what)
{
    if (view.rows != rows || view.columns != columns)
        Refuse(std::string(what) + " is " + SizeText(view.rows, view.columns) + " cells and the raster " +
               SizeText(rows, columns));
}

void RequireOptions(const FillOptions& options)
{
    if (options.smallestRegion < 1)
        Refuse("the smallest region is " + std::to_string(options.smallestRegion) + " cells; it must be at least 1");
    if (options.reach < 0 && options.reach != RuleReach)
        Refuse("the reach is " + std::to_string(options.reach) + " cells; it must be at least 0");
    if (options.rule != FillRule::RowsColumns && options.rule != FillRule::Nearest &&
        options.rule != FillRule::Background)
        Refuse("the fill rule is not one that this library knows");
    if (options.far != FarSide::Larger && options.far != FarSide::Smaller)
        Refuse("the far side is neither the larger nor the smaller value");
}

// Whether the view is one block of cells, row after row.
template <class Value>
bool Contiguous(const RasterView<Value>& view)
{
    return view.columnStep == static_cast<std::ptrdiff_t>(sizeof(Value)) &&
           (view.rows == 1 || view.rowStep == view.columnStep * view.columns);
}

// The same cells in the same memory.
template <class Value>
bool SameView(const RasterView<const Value>& raster, const RasterView<Value>& result)
{
    return raster.data == result.data && raster.rowStep == result.rowStep &&
           (raster.columnStep == result.columnStep || raster.columns == 1);
}

// Calls convert(in, out, count) on stretches of cells that lie one after another:
// the whole raster where both views are one block each, else each row, through
// buffers of a chunk of cells where a row's cells lie apart. Each cell's value
// depends on its own cell alone, so a view converted onto itself is safe.
template <class In, class Out, class Convert>
void ConvertCells(const RasterView<In>& in, const RasterView<Out>& out, const Convert& convert)
{
    if (Contiguous(in) && Contiguous(out)) {
        convert(in.data, out.data, static_cast<std::size_t>(in.rows) * in.columns);
        return;
    }
    constexpr int Chunk = 256;
    std::remove_const_t<In> inChunk[Chunk];
    Out outChunk[Chunk];
    const bool inApart = in.columnStep != static_cast<std::ptrdiff_t>(sizeof(In));
    const bool outApart = out.columnStep != static_cast<std::ptrdiff_t>(sizeof(Out));
    for (int y = 0; y < in.rows; ++y)
        for (int from = 0; from < in.columns; from += Chunk) {
            const int count = std::min(Chunk, in.columns - from);
            for (int k = 0; inApart && k < count; ++k)
                inChunk[k] = *CellAt(in, y, from + k);
            convert(inApart ? inChunk : CellAt(in, y, from), outApart ? outChunk : CellAt(out, y, from),
                    static_cast<std::size_t>(count));
            for (int k = 0; outApart && k < count; ++k)
                *CellAt(out, y, from + k) = outChunk[k];
        }
}

template <class Value>
bool ViewHoldsHole(const RasterView<const Value>& raster)
{
    if (Contiguous(raster))
        return HoldsHole(raster.data, static_cast<std::size_t>(raster.rows) * raster.columns);
    for (int y = 0; y < raster.rows; ++y) {
        if (raster.columnStep == static_cast<std::ptrdiff_t>(sizeof(Value))) {
            if (HoldsHole(CellAt(raster, y, 0), static_cast<std::size_t>(raster.columns)))
                return true;
            continue;
        }
        for (int x = 0; x < raster.columns; ++x)
            if (IsHole(*CellAt(raster, y, x)))
                return true;
    }
    return false;
}

template <class Value>
void ViewToPlane(const RasterView<const Value>& raster, float* plane)
{
    ConvertCells(raster, RasterView<float>(plane, raster.rows, raster.columns),
                 [](const Value* in, float* out, std::size_t count) { ToPlane(in, out, count); });
}

template <class Value>
void PlaneToView(const float* plane, const RasterView<Value>& result)
{
    ConvertCells(RasterView<const float>(plane, result.rows, result.columns), result,
                 [](const float* in, Value* out, std::size_t count) { FromPlane(in, out, count); });
}

template <class Value>
void CopyWithoutHoles(const RasterView<const Value>& raster, const RasterView<Value>& result)
{
    ConvertCells(raster, result,
                 [](const Value* in, Value* out, std::size_t count) { WithoutHoles(in, out, count); });
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

void CountSources(std::span<const ValueSource> sources, FillCounts& counts)
{
    for (const ValueSource source : sources) {
        counts.pixelsPainted += source == ValueSource::Painted;
        counts.pixelsLeftAtZero += source == ValueSource::LeftAtZero;
        counts.pixelsFilled += source != ValueSource::Kept && source != ValueSource::Painted &&
                               source != ValueSource::LeftAtZero;
    }
}

// Writes the fill map cell by cell: from sources, or Kept everywhere where there
// are none.
void WriteFillMap(std::span<const ValueSource> sources, const RasterView<ValueSource>& fillMap)
{
    for (int y = 0; y < fillMap.rows; ++y)
        for (int x = 0; x < fillMap.columns; ++x)
            *CellAt(fillMap, y, x) =
                sources.empty() ? ValueSource::Kept : sources[static_cast<std::size_t>(y) * fillMap.columns + x];
}

}  // namespace

// The fill of one raster of any value type.
template <class Value>
void FillRaster(Filler::Workspace& workspace, const RasterView<const Value>& raster, const RasterView<Value>& result,
                const FillOptions& options, const FillExtras& extras)
{
    RequireOptions(options);
    RequireView(raster, "the raster", false);
    RequireView(result, "the result", true);
    RequireSameSize(result, raster.rows, raster.columns, "the result");
    const RasterView<ValueSource>& fillMap = extras.fillMap;
    if (fillMap.data) {
        RequireView(fillMap, "the fill map", true);
        RequireSameSize(fillMap, raster.rows, raster.columns, "the fill map");
    }
    const int rows = raster.rows, columns = raster.columns;
    const std::size_t cells = static_cast<std::size_t>(rows) * columns;
    if (extras.counts)
        *extras.counts = FillCounts();

    // Without a hole there is no region and no gap: the result is the picture
    // itself, which the stages would only find at the cost of every pass. Where
    // the result overlaps the raster in another arrangement, the raster is read
    // whole into a plane first, as below.
    if (!ViewHoldsHole(raster) && (Apart(raster, result) || SameView(raster, result))) {
        CopyWithoutHoles(raster, result);
        if (fillMap.data)
            WriteFillMap({}, fillMap);
        return;
    }

    // The planes and every working array share one block, kept for the next
    // raster. The regions are painted in their own plane, and after the
    // labelling's arrays come the gap fill's, or the plane of scratch that the
    // other rules keep: the usual fill brings in two planes.
    workspace.arena.Reserve(WorkingArena::BytesFor<float>(2 * cells) + WorkingArena::BytesFor<ValueSource>(cells) +
                            LabellingBytes(rows, columns) +
                            std::max(WorkingArena::BytesFor<float>(cells), GapFillingBytes(rows, columns)));
    float* block = workspace.arena.Take<float>(2 * cells).data();
    Plane imagePlane(block, rows, columns);
    Plane regionPlane(block + cells, rows, columns);
    Plane& fillPlane = regionPlane;
    workspace.regionGreyTable.resize(RegionGreyTableSize);

    // The stages note where values came from in one block, the caller's own where
    // it is one.
    std::span<ValueSource> sources;
    if (fillMap.data && Contiguous(fillMap)) {
        sources = std::span<ValueSource>(fillMap.data, cells);
    } else if (fillMap.data || extras.counts) {
        sources = workspace.arena.Take<ValueSource>(cells);
    }

    ViewToPlane(raster, imagePlane[0]);

    // The labelling notes where each region's walk starts as it writes the regions.
    RegionStarts& starts = workspace.starts;
    LabelDarkRegions(imagePlane, regionPlane, rows, columns, &starts, options.smallestRegion,
                     &workspace.arena);
    ClearPlaneBorder(regionPlane, rows, columns);
    const int regionCount =
        MeasureRegionSurrounds(regionPlane, imagePlane, rows, columns, workspace.regionGreyTable, starts);
    PaintRegions(regionPlane, fillPlane, rows, columns, workspace.regionGreyTable, regionCount);
    if (!sources.empty())
        NoteKeptAndPainted(imagePlane, fillPlane, rows, columns, sources);
    Plane scratch(options.rule == FillRule::RowsColumns ? nullptr : workspace.arena.Take<float>(cells).data(), rows,
                  columns);
    switch (options.rule) {
    case FillRule::RowsColumns:
        CompositeAndFill(imagePlane, fillPlane, rows, columns, sources, ReachOf(options), &workspace.arena);
        break;
    case FillRule::Nearest:
        CompositeAndFillNearest(imagePlane, fillPlane, scratch, rows, columns, sources, ReachOf(options));
        break;
    case FillRule::Background:
        CompositeAndFillBackground(imagePlane, fillPlane, scratch, rows, columns, sources, ReachOf(options),
                                   options.far);
        break;
    }

    PlaneToView(fillPlane[0], result);

    if (fillMap.data && !Contiguous(fillMap))
        WriteFillMap(sources, fillMap);
    if (extras.counts) {
        // A group of border cells alone, kept where the smallest region is 1, has
        // no cell left once the border is cleared: it is no region.
        for (int label = 1; label <= regionCount; ++label)
            if (starts[label].row != -1) {
                extras.counts->regionsFound += 1;
                extras.counts->regionsPainted += workspace.regionGreyTable[label] > 0.0f;
            }
        CountSources(sources, *extras.counts);
    }
}

Filler::Filler() : workspace_(std::make_unique<Workspace>()) {}
Filler::~Filler() = default;
Filler::Filler(Filler&&) noexcept = default;
Filler& Filler::operator=(Filler&&) noexcept = default;

std::size_t Filler::HeldBytes() const
{
    const Workspace& w = *workspace_;
    return w.arena.Bytes() + w.starts.capacity() * sizeof(StartPixel) + w.regionGreyTable.capacity() * sizeof(float);
}

void Filler::Release()
{
    *workspace_ = Workspace();
}

// Each value type's fill, through the caller's Filler or one of its own.
#define DARKFILL_FILLS(Value)                                                                                   \
    void Filler::Fill(RasterView<const Value> raster, RasterView<Value> result, const FillOptions& options,     \
                      const FillExtras& extras)                                                                 \
    {                                                                                                           \
        FillRaster(*workspace_, raster, result, options, extras);                                               \
    }                                                                                                           \
    void FillHoles(RasterView<const Value> raster, RasterView<Value> result, const FillOptions& options,         \
                   const FillExtras& extras)                                                                    \
    {                                                                                                           \
        Filler().Fill(raster, result, options, extras);                                                         \
    }
DARKFILL_FILLS(std::uint8_t)
DARKFILL_FILLS(std::uint16_t)
DARKFILL_FILLS(std::int32_t)
DARKFILL_FILLS(float)
#undef DARKFILL_FILLS

const char* Version()
{
    return DARKFILL_VERSION;
}

}  // namespace darkfill
