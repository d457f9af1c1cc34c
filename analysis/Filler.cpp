// The public face of the analysis: a raster of any of the value types, at any
// steps, through the stages, each in the raster's own value type.
//
// Time: a look for a hole (one pass), and where there is one, the copy into the
// working plane, the stages (each header states its own cost) and the copy out.
// Memory, held from one fill to the next by the Filler: the plane of region
// labels (4 bytes a cell), which the fill takes as its scratch once the regions
// are painted; the working plane of values, unless the result is one block of
// cells apart from the raster, where the stages work in the result itself; the
// labelling's bits (1/8 byte a cell) and its runs (see there); one byte a cell
// for the fill map where the caller's is not one block, or where only the counts
// are asked for. An 8 or 16-bit depth map filled into a block of its own takes
// about 5 bytes a cell.

#include "darkfill/darkfill.h"

#include "analysis/Conversions.h"
#include "analysis/DarkRegionLabelling.h"
#include "analysis/FillRules.h"
#include "analysis/GapFilling.h"
#include "analysis/GuidedFill.h"
#include "analysis/Plane.h"
#include "analysis/RegionPainting.h"
#include "analysis/RegionSurrounds.h"
#include "analysis/VectorForms.h"
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
    WorkingArena runArena;
    RegionStarts starts;
    GuidedFill guided;
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
    if (view.rows < 1 || view.columns < 1 || view.rows > MaximumSide || view.columns > MaximumSide)
        Refuse(std::string(what) + " is " + SizeText(view.rows, view.columns) +
               " cells; from 1 to 2^30 rows and columns can be filled");
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
        options.rule != FillRule::Background && options.rule != FillRule::Guided)
        Refuse("the fill rule is not one that this library knows");
    const bool guided = options.rule == FillRule::Guided;
    if (guided && options.guide.data == nullptr)
        Refuse("the guided rule needs a guide picture");
    if (!guided && options.guide.data != nullptr)
        Refuse("a guide picture is given, but only the guided rule takes one");
    if (guided && options.reach != RuleReach)
        Refuse("the guided rule has no reach");
    if (options.far != FarSide::Larger && options.far != FarSide::Smaller)
        Refuse("the far side is neither the larger nor the smaller value");
}

void RequireGuide(const GuideView& guide, int rows, int columns)
{
    if (guide.format != GuideFormat::Grey8 && guide.format != GuideFormat::Rgb8 &&
        guide.format != GuideFormat::Grey16)
        Refuse("the guide's format is not one that this library knows");
    if (guide.rows != rows || guide.columns != columns)
        Refuse("the guide is " + SizeText(guide.rows, guide.columns) + " cells and the raster " +
               SizeText(rows, columns));
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
    bool holds = false;
    Vectorised([&] {
        if (Contiguous(raster)) {
            holds = HoldsHole(raster.data, static_cast<std::size_t>(raster.rows) * raster.columns);
            return;
        }
        for (int y = 0; y < raster.rows && !holds; ++y) {
            if (raster.columnStep == static_cast<std::ptrdiff_t>(sizeof(Value))) {
                holds = HoldsHole(CellAt(raster, y, 0), static_cast<std::size_t>(raster.columns));
                continue;
            }
            for (int x = 0; x < raster.columns && !holds; ++x)
                holds = IsHole(*CellAt(raster, y, x));
        }
    });
    return holds;
}

// The cells of one view into another, holes as +0: the raster into the working
// plane, and the plane, or a raster without a hole, into the result, where the
// values stay exactly as they are.
template <class Value>
void CopyWorkingValues(const RasterView<const Value>& from, const RasterView<Value>& to)
{
    Vectorised([&] {
        ConvertCells(from, to, [](const Value* in, Value* out, std::size_t count) { ToWorkingValues(in, out, count); });
    });
}

// Before the painting: the picture's own values are kept, and every hole waits
// for a value.
template <class Value>
void NoteKept(const Plane<Value>& plane, std::span<ValueSource> sources)
{
    Vectorised([&] {
        const Value* cells = plane[0];
        for (std::size_t i = 0; i < sources.size(); ++i)
            sources[i] = cells[i] != Value{} ? ValueSource::Kept : ValueSource::LeftAtZero;
    });
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
    if (options.rule == FillRule::Guided)
        RequireGuide(options.guide, rows, columns);
    const std::size_t cells = static_cast<std::size_t>(rows) * columns;
    if (extras.counts)
        *extras.counts = FillCounts();

    // Without a hole there is no region and no gap: the result is the picture
    // itself, which the stages would only find at the cost of every pass. Where
    // the result overlaps the raster in another arrangement, the raster is read
    // whole into a plane first, as below.
    const bool same = SameView(raster, result);
    const bool apart = Apart(raster, result) || same;
    if (!ViewHoldsHole(raster) && apart) {
        if (!same)  // in place, a picture without a hole is its own result
            CopyWorkingValues(raster, result);
        if (fillMap.data)
            WriteFillMap({}, fillMap);
        return;
    }

    // The stages work in the result's own cells where they are one block that the
    // raster does not share in another arrangement, else in a plane of their own.
    // The planes and the labelling's bits share one block, kept for the next
    // raster; the runs take what it has left, or else a block of their own, sized
    // once they are counted.
    const bool inResult = apart && Contiguous(result);
    const bool ownSources = (fillMap.data && !Contiguous(fillMap)) || (!fillMap.data && extras.counts);
    workspace.arena.Reserve(WorkingArena::BytesFor<RegionLabel>(cells) +
                            (inResult ? 0 : WorkingArena::BytesFor<Value>(cells)) +
                            (ownSources ? WorkingArena::BytesFor<ValueSource>(cells) : 0) +
                            LabellingBytes(rows, columns) + GapFillingBytes(rows, columns));
    Plane<RegionLabel> regionPlane(workspace.arena.Take<RegionLabel>(cells).data(), rows, columns);
    Plane<Value> plane(inResult ? result.data : workspace.arena.Take<Value>(cells).data(), rows, columns);
    std::span<ValueSource> sources;
    if (fillMap.data && Contiguous(fillMap))
        sources = std::span<ValueSource>(fillMap.data, cells);
    else if (ownSources)
        sources = workspace.arena.Take<ValueSource>(cells);

    CopyWorkingValues(raster, RasterView<Value>(plane[0], rows, columns));
    if (!sources.empty())
        NoteKept(plane, sources);

    // The labelling notes where each region's walk starts as it writes the regions.
    RegionStarts& starts = workspace.starts;
    LabelDarkRegions(plane, regionPlane, rows, columns, &starts, options.smallestRegion, &workspace.arena,
                     &workspace.runArena);
    ClearPlaneBorder(regionPlane, rows, columns);
    std::vector<Value> surrounds;
    MeasureRegionSurrounds(regionPlane, plane, rows, columns, surrounds, starts);
    PaintRegions(regionPlane, plane, surrounds, sources);

    // The labels are spent once the regions are painted: their plane is the fill's
    // scratch.
    Plane<std::uint32_t>& scratch = regionPlane;
    switch (options.rule) {
    case FillRule::RowsColumns:
        FillGaps(plane, scratch, sources, ReachOf(options), &workspace.arena);
        break;
    case FillRule::Nearest:
        FillNearest(plane, scratch, sources, ReachOf(options));
        break;
    case FillRule::Background:
        FillBackground(plane, scratch, sources, ReachOf(options), options.far);
        break;
    case FillRule::Guided:
        workspace.guided.Fill(plane, options.guide, scratch, sources);
        break;
    }

    if (!inResult)
        CopyWorkingValues(RasterView<const Value>(plane[0], rows, columns), result);
    if (fillMap.data && !Contiguous(fillMap))
        WriteFillMap(sources, fillMap);
    if (extras.counts) {
        // A group of border cells alone, kept where the smallest region is 1, has
        // no cell left once the border is cleared: it is no region.
        for (std::size_t label = 1; label < starts.size(); ++label)
            if (starts[label].row != -1) {
                extras.counts->regionsFound += 1;
                extras.counts->regionsPainted += surrounds[label] > Value{};
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
    return w.arena.Bytes() + w.runArena.Bytes() + w.starts.capacity() * sizeof(StartPixel) + w.guided.Bytes();
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
