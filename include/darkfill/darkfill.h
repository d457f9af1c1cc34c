#pragma once

// darkfill: fills the holes of grey pictures and depth maps. Each dark region
// (8-connected cells whose value is exactly 0) large enough to matter is painted
// with the one value that surrounds it; every hole left is then filled by a rule:
// by default with the nearest value on its row or column, nearer first, at equal
// distance left, then right, below, above (FillRule says what the others do).
//
//     darkfill::Filler filler;
//     filler.Fill(darkfill::RasterView<const std::uint16_t>(depth, 480, 640),
//                 darkfill::RasterView<std::uint16_t>(filled, 480, 640));
//
// Limitations
// - Size: from 1 to MaximumSide (2^30) rows and columns, as many cells as memory
//   holds (positions and offsets are 64-bit; more than 4 G dark regions, which
//   take over 16 G cells, raise std::length_error). A null pointer, a side out of
//   range, a result of another size, or an option out of range raise
//   std::invalid_argument; nothing is written then.
// - Values: every value is held in its own type through the fill, so that what is
//   kept or copied is exact. uint8 and uint16: 0 is a hole. int32: 0 is a hole,
//   values below 0 are neither holes nor sources. float32 (depth in metres, say):
//   0 of either sign and NaN are holes, values below 0 and -inf are neither holes
//   nor sources. A hole that no rule reaches becomes 0.
// - Steps: a view's row and column steps are in bytes, either sign, and multiples
//   of the value's size; a result's cells must not overlap one another. The result
//   may be the raster itself, or any other memory: the raster is read whole before
//   the result is written.
// - Memory while a fill runs: 4 bytes a cell for the region labels, the raster's
//   own value size again where the result is not one block of cells apart from
//   the raster, 1/8 a cell for the dark cells' bits, and for the labelling's runs
//   8 bytes a run (16 in rows wider than 65,536 cells and in rasters of 2^32
//   cells or more): from almost nothing for a depth map to 4 a cell for a
//   checkerboard of holes; one more a cell for counts without a fill map. A
//   Filler keeps its memory from one fill to the next; a free FillHoles call makes
//   and releases its own. std::bad_alloc propagates.
// - The guided rule: a guide of the raster's size, read by its own steps (any,
//   in bytes). Its holes take about 500 bytes each of working memory besides the
//   above, and a guide flat anywhere around a hole a value a cell; a Filler
//   keeps both. Their values solve the system, each part of holes tied
//   together through their neighbours to a residual of 1e-8 of its own
//   right-hand side: to the last unit of an integer raster, except where the
//   guide ties parts of the holes to their sources only by the weakest weights,
//   and the system is ill-conditioned. Holes tied through holes to a float
//   raster's +inf source take +inf.
// - Threads: FillHoles and distinct Fillers share nothing and may run at once on
//   different threads; one Filler serves one thread at a time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

// What the shared library shows of itself; it is built with everything else hidden.
#if defined(__GNUC__) && !defined(_WIN32)
#define DARKFILL_API __attribute__((visibility("default")))
#else
#define DARKFILL_API
#endif

namespace darkfill {

// The most rows, and the most columns, of a raster that can be filled.
inline constexpr int MaximumSide = 1 << 30;

// A rectangle of cells in the caller's memory: cell (y, x) lies at
// data + y * rowStep + x * columnStep bytes, row 0 at the top.
template <class Value>
struct RasterView {
    Value* data = nullptr;
    int rows = 0;
    int columns = 0;
    std::ptrdiff_t rowStep = 0;
    std::ptrdiff_t columnStep = sizeof(Value);

    RasterView() = default;
    // Rows stored one after another without a gap.
    RasterView(Value* cells, int rowCount, int columnCount)
        : data(cells), rows(rowCount), columns(columnCount),
          rowStep(static_cast<std::ptrdiff_t>(columnCount) * static_cast<std::ptrdiff_t>(sizeof(Value)))
    {
    }
    RasterView(Value* cells, int rowCount, int columnCount, std::ptrdiff_t bytesPerRow,
               std::ptrdiff_t bytesPerCell = sizeof(Value))
        : data(cells), rows(rowCount), columns(columnCount), rowStep(bytesPerRow), columnStep(bytesPerCell)
    {
    }
    // A view of writable cells reads as one of constant cells.
    template <class Other>
        requires(std::is_same_v<const Other, Value> && !std::is_same_v<Other, Value>)
    RasterView(const RasterView<Other>& other)
        : data(other.data), rows(other.rows), columns(other.columns), rowStep(other.rowStep),
          columnStep(other.columnStep)
    {
    }
};

// Where a cell's value in the result came from: the fill map.
enum class ValueSource : std::uint8_t {
    Kept,        // the picture's own value (not a hole)
    Painted,     // a hole painted with the one value that surrounds its region
    FromLeft,    // filled from the nearest source on its row or column
    FromRight,
    FromBelow,
    FromAbove,
    LeftAtZero,  // a hole with no source in reach
    FromNearest,     // filled from the source nearest to it in the plane (FillRule::Nearest)
    FromBackground,  // filled from the far side of its row or column (FillRule::Background)
    FromGuide,       // filled by the guided rule (FillRule::Guided)
};

// The colours of a fill map drawn as a picture, 0xRRGGBB by ValueSource, chosen to
// stay apart for colour-blind eyes too.
inline constexpr std::uint32_t FillMapColours[] = {
    0x404040,  // Kept: dark grey
    0x009E73,  // Painted: bluish green
    0xE69F00,  // FromLeft: orange
    0x56B4E9,  // FromRight: sky blue
    0xF0E442,  // FromBelow: yellow
    0x0072B2,  // FromAbove: blue
    0xD55E00,  // LeftAtZero: vermilion
    0xCC79A7,  // FromNearest: reddish purple
    0xBBBBBB,  // FromBackground: light grey
    0xFFFFFF,  // FromGuide: white
};

// How the holes left after the painting are filled. A source is a cell above 0
// of the painted picture; filled values never serve as sources.
enum class FillRule {
    // From the nearest source on the same row or column (the picture tool's rule).
    RowsColumns,
    // From the source nearest in the plane, by exact Euclidean distance; at equal
    // distance the leftmost of them, and of those the uppermost.
    Nearest,
    // The background side of the hole: of the nearest source to the left and the
    // nearest to the right on its row, the farther (FarSide), or the one there is;
    // a hole with neither takes the same of the nearest above and below.
    Background,
    // Guided by a picture registered to the raster (FillOptions::guide): each hole
    // is the weighted mean of its 8 neighbours, a neighbour weighing the more the
    // nearer its colour (a grey guide: its brightness) is to the hole's, sources
    // fixed; one linear system for all holes (colorization by optimisation, as
    // the NYU Depth toolbox fills its frames). Where the guide is flat around a
    // hole, the hole leans toward its nearest source. Holes whose connected
    // holes touch no source stay 0.
    Guided,
};

// How a guide's cells hold their brightness or colour.
enum class GuideFormat {
    Grey8,   // one byte a cell
    Rgb8,    // three bytes a cell, red, green and blue, compared channel by channel
    Grey16,  // one 16-bit value a cell, an infrared frame say
};

// A picture that guides FillRule::Guided, of the raster's size, in the caller's
// memory: cell (y, x) starts at data + y * rowStep + x * columnStep bytes. Not
// owned; read during the fill only.
struct GuideView {
    const void* data = nullptr;
    GuideFormat format = GuideFormat::Grey8;
    int rows = 0;
    int columns = 0;
    std::ptrdiff_t rowStep = 0;
    std::ptrdiff_t columnStep = 0;

    GuideView() = default;
    // Rows stored one after another without a gap.
    GuideView(const void* cells, GuideFormat cellFormat, int rowCount, int columnCount)
        : data(cells), format(cellFormat), rows(rowCount), columns(columnCount),
          rowStep(static_cast<std::ptrdiff_t>(columnCount) * CellBytes(cellFormat)), columnStep(CellBytes(cellFormat))
    {
    }
    GuideView(const void* cells, GuideFormat cellFormat, int rowCount, int columnCount, std::ptrdiff_t bytesPerRow,
              std::ptrdiff_t bytesPerCell)
        : data(cells), format(cellFormat), rows(rowCount), columns(columnCount), rowStep(bytesPerRow),
          columnStep(bytesPerCell)
    {
    }
    static constexpr std::ptrdiff_t CellBytes(GuideFormat cellFormat)
    {
        return cellFormat == GuideFormat::Rgb8 ? 3 : cellFormat == GuideFormat::Grey16 ? 2 : 1;
    }
};

// Which of two values lies farther from the camera: the larger for depth, the
// smaller for disparity.
enum class FarSide { Larger, Smaller };

// A reach that means the rule's own: 499 cells for RowsColumns, none for the others.
inline constexpr int RuleReach = -1;
// A reach without limit.
inline constexpr int UnlimitedReach = 0x7fffffff;

// The rule's constants; the defaults are the picture tool's.
struct FillOptions {
    // Dark regions of fewer cells (counted without the last row and column) are
    // not painted; their holes are filled like the rest. At least 1.
    int smallestRegion = 6;
    // The farthest a source may lie from a hole, in cells (along the row or column,
    // or in the plane for Nearest). At least 0, or RuleReach; Guided has none.
    int reach = RuleReach;
    FillRule rule = FillRule::RowsColumns;
    // For Background: which value of the two is the far one.
    FarSide far = FarSide::Larger;
    // For Guided, and only for it: the guide picture.
    GuideView guide{};
};

// The reach that the options give: theirs, or their rule's own for RuleReach.
constexpr int ReachOf(const FillOptions& options)
{
    if (options.reach != RuleReach)
        return options.reach;
    return options.rule == FillRule::RowsColumns ? 499 : UnlimitedReach;
}

// What became of the holes.
struct FillCounts {
    long long regionsFound = 0;      // dark regions of at least smallestRegion cells
    long long regionsPainted = 0;    // of them, those with one surrounding value
    long long pixelsPainted = 0;     // cells of painted regions
    long long pixelsFilled = 0;      // cells filled from their row or column
    long long pixelsLeftAtZero = 0;  // holes with no source in reach
};

// What a caller may ask for besides the result.
struct FillExtras {
    // Where every cell's value came from; the raster's size. None where data is null.
    RasterView<ValueSource> fillMap;
    // The counts; none where null.
    FillCounts* counts = nullptr;
};

// Fills holes frame after frame, keeping its working memory between fills, so that
// frames of one size need no fresh planes after the first.
class DARKFILL_API Filler
{
public:
    Filler();
    ~Filler();
    Filler(Filler&&) noexcept;
    Filler& operator=(Filler&&) noexcept;
    Filler(const Filler&) = delete;
    Filler& operator=(const Filler&) = delete;

    // Fills the holes of raster into result, of the same size and type.
    void Fill(RasterView<const std::uint8_t> raster, RasterView<std::uint8_t> result,
              const FillOptions& options = {}, const FillExtras& extras = {});
    void Fill(RasterView<const std::uint16_t> raster, RasterView<std::uint16_t> result,
              const FillOptions& options = {}, const FillExtras& extras = {});
    void Fill(RasterView<const std::int32_t> raster, RasterView<std::int32_t> result,
              const FillOptions& options = {}, const FillExtras& extras = {});
    void Fill(RasterView<const float> raster, RasterView<float> result, const FillOptions& options = {},
              const FillExtras& extras = {});

    // The bytes of working memory held now.
    std::size_t HeldBytes() const;
    // Gives the working memory back.
    void Release();

    // The working memory, opaque to callers.
    struct Workspace;

private:
    std::unique_ptr<Workspace> workspace_;
};

// One fill with a Filler of its own.
DARKFILL_API void FillHoles(RasterView<const std::uint8_t> raster, RasterView<std::uint8_t> result,
                            const FillOptions& options = {}, const FillExtras& extras = {});
DARKFILL_API void FillHoles(RasterView<const std::uint16_t> raster, RasterView<std::uint16_t> result,
                            const FillOptions& options = {}, const FillExtras& extras = {});
DARKFILL_API void FillHoles(RasterView<const std::int32_t> raster, RasterView<std::int32_t> result,
                            const FillOptions& options = {}, const FillExtras& extras = {});
DARKFILL_API void FillHoles(RasterView<const float> raster, RasterView<float> result,
                            const FillOptions& options = {}, const FillExtras& extras = {});

// The library's version, "major.minor.patch", as it was built.
DARKFILL_API const char* Version();

}  // namespace darkfill
