#include "darkfill/darkfill.h"
#include "testing/rasters/GeneratedRasters.h"
#include "testing/reference/ReferenceAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

// The library as a program calls it: every value type, at any steps, in place or
// not, with its options, against the step-by-step reference bit for bit.

using namespace darkfill;

namespace {

// Patches of a few values with round holes, so that regions are painted as well
// as filled: values 1 to highest, holes 0.
std::vector<std::int32_t> PatchRaster(int rows, int columns, unsigned seed, int highest)
{
    std::mt19937 random(seed);
    std::vector<std::int32_t> raster(static_cast<std::size_t>(rows) * columns);
    const int patch = 3 + static_cast<int>(random() % 9);
    std::vector<std::int32_t> values = {1, highest, highest / 2 + 1, 7};
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            raster[static_cast<std::size_t>(y) * columns + x] = values[((y / patch) * 3 + (x / patch) * 5) % 4];
    for (int n = static_cast<int>(random() % 12); n >= 0; --n) {
        const int cy = static_cast<int>(random() % rows), cx = static_cast<int>(random() % columns);
        const int r = static_cast<int>(random() % 5);
        for (int y = std::max(cy - r, 0); y <= std::min(cy + r, rows - 1); ++y)
            for (int x = std::max(cx - r, 0); x <= std::min(cx + r, columns - 1); ++x)
                if ((y - cy) * (y - cy) + (x - cx) * (x - cx) <= r * r)
                    raster[static_cast<std::size_t>(y) * columns + x] = 0;
    }
    return raster;
}

// The values of a generated raster in one of the library's types. Floats become
// metres that are no whole numbers, some holes NaN or -0, and some readings
// negative (neither holes nor sources).
template <class Value>
std::vector<Value> AsValues(const std::vector<std::int32_t>& raster)
{
    std::vector<Value> values(raster.size());
    for (std::size_t i = 0; i < raster.size(); ++i) {
        if constexpr (std::is_same_v<Value, float>) {
            const float metres = static_cast<float>(raster[i]) * 0.001953125f + 0.1f;
            const float hole = i % 3 == 0 ? std::numeric_limits<float>::quiet_NaN() : i % 3 == 1 ? -0.0f : 0.0f;
            values[i] = raster[i] == 0 ? hole : i % 97 == 5 ? -metres : metres;
        } else {
            values[i] = static_cast<Value>(raster[i]);
        }
    }
    return values;
}

// How the cells lie in memory.
enum class Layout { Contiguous, PaddedRows, EveryOtherColumn, Flipped, Transposed };

// Memory that holds a view in a layout, every byte around the view's cells set
// to a mark that must stay.
template <class Value>
struct Placed {
    std::vector<Value> memory;
    RasterView<Value> view;

    Placed(int rows, int columns, Layout layout)
    {
        const std::ptrdiff_t s = sizeof(Value);
        std::ptrdiff_t rowStep = columns * s, columnStep = s, first = 0;
        std::size_t size = static_cast<std::size_t>(rows) * columns;
        switch (layout) {
        case Layout::Contiguous:
            break;
        case Layout::PaddedRows:
            rowStep = (columns + 3) * s;
            size = static_cast<std::size_t>(rows) * (columns + 3);
            break;
        case Layout::EveryOtherColumn:
            columnStep = 2 * s;
            rowStep = (2 * columns + 1) * s;
            size = static_cast<std::size_t>(rows) * (2 * columns + 1);
            break;
        case Layout::Flipped:
            rowStep = -columns * s;
            columnStep = -s;
            first = static_cast<std::ptrdiff_t>(size) - 1;
            break;
        case Layout::Transposed:
            rowStep = s;
            columnStep = rows * s;
            break;
        }
        memory.assign(size + 2, Mark());
        view = RasterView<Value>(memory.data() + 1 + first, rows, columns, rowStep, columnStep);
    }

    static Value Mark() { return static_cast<Value>(99); }
    Value& At(int y, int x)
    {
        return *reinterpret_cast<Value*>(reinterpret_cast<char*>(view.data) + y * view.rowStep + x * view.columnStep);
    }
    void Set(const std::vector<Value>& values)
    {
        for (int y = 0; y < view.rows; ++y)
            for (int x = 0; x < view.columns; ++x)
                At(y, x) = values[static_cast<std::size_t>(y) * view.columns + x];
    }
    std::vector<Value> Get()
    {
        std::vector<Value> values;
        for (int y = 0; y < view.rows; ++y)
            for (int x = 0; x < view.columns; ++x)
                values.push_back(At(y, x));
        return values;
    }
    // The marks outside the view, which nothing may have written.
    int MarksLost()
    {
        std::vector<bool> inside(memory.size());
        for (int y = 0; y < view.rows; ++y)
            for (int x = 0; x < view.columns; ++x)
                inside[static_cast<std::size_t>(&At(y, x) - memory.data())] = true;
        int lost = 0;
        for (std::size_t i = 0; i < memory.size(); ++i)
            lost += !inside[i] && memory[i] != Mark();
        return lost;
    }
};

template <class Value>
bool SameBits(const std::vector<Value>& a, const std::vector<Value>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Value)) == 0;
}

bool SameCounts(const FillCounts& a, const FillCounts& b)
{
    return a.regionsFound == b.regionsFound && a.regionsPainted == b.regionsPainted &&
           a.pixelsPainted == b.pixelsPainted && a.pixelsFilled == b.pixelsFilled &&
           a.pixelsLeftAtZero == b.pixelsLeftAtZero;
}

struct LayoutRow {
    const char* name;
    int rows;
    int columns;
    Layout in;
    Layout out;
    bool inPlace;
};

const LayoutRow Layouts[] = {
    {"Contiguous", 23, 37, Layout::Contiguous, Layout::Contiguous, false},
    {"ContiguousInPlace", 31, 19, Layout::Contiguous, Layout::Contiguous, true},
    {"PaddedRowsIntoContiguous", 17, 41, Layout::PaddedRows, Layout::Contiguous, false},
    {"PaddedRowsInPlace", 40, 9, Layout::PaddedRows, Layout::PaddedRows, true},
    {"EveryOtherColumnInPlace", 13, 29, Layout::EveryOtherColumn, Layout::EveryOtherColumn, true},
    {"ContiguousIntoEveryOtherColumn", 21, 22, Layout::Contiguous, Layout::EveryOtherColumn, false},
    {"FlippedInPlace", 19, 33, Layout::Flipped, Layout::Flipped, true},
    {"TransposedIntoFlipped", 27, 15, Layout::Transposed, Layout::Flipped, false},
    {"OneRowEveryOtherColumn", 1, 57, Layout::EveryOtherColumn, Layout::Contiguous, false},
    {"OneColumnTransposed", 45, 1, Layout::Transposed, Layout::Transposed, true},
};

template <class Value>
void ExpectLikeTheReference(const std::vector<std::int32_t>& generated, const LayoutRow& row,
                            const FillOptions& options, const std::string& what)
{
    const std::vector<Value> values = AsValues<Value>(generated);
    const std::size_t cells = values.size();
    std::vector<Value> expected(cells);
    std::vector<ValueSource> expectedSources(cells);
    FillCounts expectedCounts;
    reference::FillHoles<Value>(values, row.rows, row.columns, expected, expectedSources, &expectedCounts, options);

    Placed<Value> in(row.rows, row.columns, row.in);
    in.Set(values);
    Placed<Value> out(row.rows, row.columns, row.out);
    Placed<ValueSource> map(row.rows, row.columns, row.out);
    FillCounts counts;
    RasterView<Value>& result = row.inPlace ? in.view : out.view;
    Filler().Fill(in.view, result, options, {.fillMap = map.view, .counts = &counts});

    EXPECT_TRUE(SameBits(row.inPlace ? in.Get() : out.Get(), expected)) << what;
    EXPECT_TRUE(map.Get() == expectedSources) << what;
    EXPECT_TRUE(SameCounts(counts, expectedCounts)) << what;
    EXPECT_EQ(in.MarksLost() + out.MarksLost() + map.MarksLost(), 0) << what;
    if (!row.inPlace) {
        EXPECT_TRUE(SameBits(in.Get(), values)) << what << ": the raster changed";
    }
}

template <class Value>
void ExpectEveryLayoutLikeTheReference(int highest)
{
    for (const LayoutRow& row : Layouts)
        for (unsigned seed = 1; seed <= 7; ++seed) {
            std::vector<std::int32_t> generated =
                seed % 2 ? PatchRaster(row.rows, row.columns, seed, highest)
                         : DepthLikeRaster(row.rows, row.columns, 10 * seed, seed, highest);
            // The last seed without a hole: the fill map is all Kept, the result the raster.
            if (seed == 7)
                std::replace(generated.begin(), generated.end(), 0, highest);
            ExpectLikeTheReference<Value>(generated, row, {}, std::string(row.name) + " seed " + std::to_string(seed));
        }
}

TEST(PublicInterface, EightBitsLikeTheReference) { ExpectEveryLayoutLikeTheReference<std::uint8_t>(255); }
TEST(PublicInterface, SixteenBitsLikeTheReference) { ExpectEveryLayoutLikeTheReference<std::uint16_t>(65535); }
TEST(PublicInterface, Int32LikeTheReference) { ExpectEveryLayoutLikeTheReference<std::int32_t>(1 << 22); }
TEST(PublicInterface, FloatsLikeTheReference) { ExpectEveryLayoutLikeTheReference<float>(65535); }

TEST(PublicInterface, OptionsLikeTheReference)
{
    struct Row {
        const char* name;
        FillOptions options;
    };
    const Row table[] = {
        {"EveryRegionKept", {.smallestRegion = 1}},
        {"RegionsOfTwo", {.smallestRegion = 2}},
        {"OnlyLargeRegions", {.smallestRegion = 40}},
        {"NoRegionLargeEnough", {.smallestRegion = 1 << 30}},
        {"NoFill", {.reach = 0}},
        {"ReachOne", {.reach = 1}},
        {"ReachThree", {.reach = 3}},
        {"ReachBeyondThePlane", {.reach = 1 << 30}},
        {"SmallRegionsShortReach", {.smallestRegion = 2, .reach = 2}},
        {"Nearest", {.rule = FillRule::Nearest}},
        {"NearestReachTwo", {.reach = 2, .rule = FillRule::Nearest}},
        {"BackgroundLarger", {.rule = FillRule::Background}},
        {"BackgroundSmallerReachFour", {.reach = 4, .rule = FillRule::Background, .far = FarSide::Smaller}},
    };
    const LayoutRow layout = {"", 29, 43, Layout::PaddedRows, Layout::Contiguous, false};
    for (const Row& row : table)
        for (unsigned seed = 1; seed <= 8; ++seed) {
            const std::string what = std::string(row.name) + " seed " + std::to_string(seed);
            const std::vector<std::int32_t> generated = seed % 2 ? PatchRaster(29, 43, seed, 65535)
                                                                 : DepthLikeRaster(29, 43, 40, seed, 65535);
            ExpectLikeTheReference<std::uint16_t>(generated, layout, row.options, what);
            ExpectLikeTheReference<float>(generated, layout, row.options, what + " (floats)");
        }
}

// Kept values come back exactly, holes of every kind are filled, and a region
// takes the one value around it to the last bit.
TEST(PublicInterface, FloatValuesAreExact)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float a = 1.2345678f, b = -3.5f;
    // A 3 x 3 region of holes (NaN, -0 and 0) inside a ring of a, a negative
    // reading, and an infinite one, which is a source like any value above 0.
    const std::vector<float> raster = {
        a, a,   a,     a,   a, inf,
        a, nan, 0.0f,  nan, a, a,
        a, 0.f, -0.0f, nan, a, b,
        a, nan, nan,   0.f, a, 0.0f,
        a, a,   a,     a,   a, a,
    };
    std::vector<float> result(raster.size());
    std::vector<ValueSource> sources(raster.size());
    FillHoles(RasterView<const float>(raster.data(), 5, 6), RasterView<float>(result.data(), 5, 6), {},
              {.fillMap = RasterView<ValueSource>(sources.data(), 5, 6)});
    for (const int cell : {7, 8, 9, 13, 14, 15, 19, 20, 21}) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(result[cell]), std::bit_cast<std::uint32_t>(a)) << cell;
        EXPECT_EQ(sources[cell], ValueSource::Painted) << cell;
    }
    EXPECT_EQ(result[5], inf);
    EXPECT_EQ(result[17], b);
    EXPECT_EQ(sources[17], ValueSource::Kept);
    // The last hole takes the nearest source: the a to its left, not b above.
    EXPECT_EQ(result[23], a);
    EXPECT_EQ(sources[23], ValueSource::FromLeft);
}

TEST(PublicInterface, RefusesWhatItCannotFill)
{
    std::vector<std::uint16_t> cells(64, 5), result(64, 7);
    std::vector<ValueSource> map(64);
    const std::vector<std::uint8_t> greys(64, 100);
    const GuideView guide(greys.data(), GuideFormat::Grey8, 8, 8);
    using View = RasterView<std::uint16_t>;
    struct Row {
        const char* name;
        RasterView<const std::uint16_t> raster;
        View result;
        FillOptions options;
        RasterView<ValueSource> map;
        const char* message;  // a part of what the refusal says
    };
    const Row table[] = {
        {"NullRaster", RasterView<const std::uint16_t>(nullptr, 8, 8), View(result.data(), 8, 8), {}, {}, "null"},
        {"NoRows", {cells.data(), 0, 8}, View(result.data(), 0, 8), {}, {}, "0 x 8"},
        {"NegativeColumns", {cells.data(), 8, -1}, View(result.data(), 8, -1), {}, {}, "8 x -1"},
        {"MoreThan2To30Rows", {cells.data(), (1 << 30) + 1, 1}, View(result.data(), (1 << 30) + 1, 1), {}, {}, "2^30"},
        {"ResultOfAnotherSize", {cells.data(), 8, 8}, View(result.data(), 8, 7), {}, {}, "8 x 7 cells and the raster 8 x 8"},
        {"FillMapOfAnotherSize", {cells.data(), 8, 8}, View(result.data(), 8, 8), {}, {map.data(), 7, 8}, "fill map"},
        {"StepNotAValue", {cells.data(), 4, 4, 9}, View(result.data(), 4, 4), {}, {}, "aligned"},
        {"ResultRowsOverlap", {cells.data(), 8, 8}, View(result.data(), 8, 8, 2), {}, {}, "overlap"},
        {"NoSmallestRegion", {cells.data(), 8, 8}, View(result.data(), 8, 8), {.smallestRegion = 0}, {}, "at least 1"},
        {"NegativeReach", {cells.data(), 8, 8}, View(result.data(), 8, 8), {.reach = -2}, {}, "at least 0"},
        {"UnknownRule", {cells.data(), 8, 8}, View(result.data(), 8, 8), {.rule = FillRule(7)}, {}, "fill rule"},
        {"UnknownFarSide", {cells.data(), 8, 8}, View(result.data(), 8, 8), {.far = FarSide(2)}, {}, "far side"},
        {"GuidedWithoutGuide", {cells.data(), 8, 8}, View(result.data(), 8, 8), {.rule = FillRule::Guided}, {},
         "needs a guide"},
        {"GuideWithoutTheRule", {cells.data(), 8, 8}, View(result.data(), 8, 8), {.guide = guide}, {},
         "only the guided rule"},
        {"GuideOfAnotherSize", {cells.data(), 8, 8}, View(result.data(), 8, 8),
         {.rule = FillRule::Guided, .guide = GuideView(greys.data(), GuideFormat::Grey8, 8, 7)}, {},
         "the guide is 8 x 7 cells and the raster 8 x 8"},
        {"GuidedWithAReach", {cells.data(), 8, 8}, View(result.data(), 8, 8),
         {.reach = 3, .rule = FillRule::Guided, .guide = guide}, {}, "no reach"},
        {"UnknownGuideFormat", {cells.data(), 8, 8}, View(result.data(), 8, 8),
         {.rule = FillRule::Guided, .guide = GuideView(greys.data(), GuideFormat(5), 8, 8)}, {}, "guide's format"},
    };
    for (const Row& row : table) {
        try {
            FillHoles(row.raster, row.result, row.options, {.fillMap = row.map});
            ADD_FAILURE() << row.name << ": not refused";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << row.name << ": " << e.what();
        }
        EXPECT_EQ(result, std::vector<std::uint16_t>(64, 7)) << row.name << ": the result was written";
    }
}

// One Filler through frames of changing sizes and types gives what a fresh fill
// gives, and holds no more memory for a frame it has seen.
TEST(PublicInterface, FillerReusedAcrossSizesAndTypes)
{
    struct Row {
        int rows;
        int columns;
        bool floats;
        unsigned seed;
        FillRule rule;
    };
    // The rules that keep a plane of scratch take it after the other working arrays.
    const Row frames[] = {{120, 160, false, 1, FillRule::RowsColumns}, {7, 9, false, 2, FillRule::Nearest},
                          {120, 160, true, 3, FillRule::Background},   {300, 11, false, 4, FillRule::Nearest},
                          {120, 160, false, 1, FillRule::RowsColumns}};
    Filler filler;
    std::size_t heldBeforeLast = 0;
    for (std::size_t i = 0; i < std::size(frames); ++i) {
        const Row& f = frames[i];
        const std::vector<std::int32_t> generated = DepthLikeRaster(f.rows, f.columns, 30, f.seed, 65535);
        const FillOptions options = {.rule = f.rule};
        if (f.floats) {
            const std::vector<float> values = AsValues<float>(generated);
            std::vector<float> reused(values.size()), fresh(values.size());
            filler.Fill(RasterView<const float>(values.data(), f.rows, f.columns),
                        RasterView<float>(reused.data(), f.rows, f.columns), options);
            FillHoles(RasterView<const float>(values.data(), f.rows, f.columns),
                      RasterView<float>(fresh.data(), f.rows, f.columns), options);
            EXPECT_TRUE(SameBits(reused, fresh)) << "frame " << i;
        } else {
            const std::vector<std::uint16_t> values = AsValues<std::uint16_t>(generated);
            std::vector<std::uint16_t> reused(values.size()), fresh(values.size());
            filler.Fill(RasterView<const std::uint16_t>(values.data(), f.rows, f.columns),
                        RasterView<std::uint16_t>(reused.data(), f.rows, f.columns), options);
            FillHoles(RasterView<const std::uint16_t>(values.data(), f.rows, f.columns),
                      RasterView<std::uint16_t>(fresh.data(), f.rows, f.columns), options);
            EXPECT_EQ(reused, fresh) << "frame " << i;
        }
        if (i + 2 == std::size(frames))
            heldBeforeLast = filler.HeldBytes();
    }
    EXPECT_GT(heldBeforeLast, 0u);
    EXPECT_EQ(filler.HeldBytes(), heldBeforeLast);
    filler.Release();
    EXPECT_EQ(filler.HeldBytes(), 0u);
}

// A result that overlaps the raster in another arrangement still gets the fill
// of the raster as it was, holes or none.
TEST(PublicInterface, ResultOverlappingTheRasterShifted)
{
    for (const int holes : {0, 20}) {
        std::vector<std::int32_t> memory = DepthLikeRaster(41, 30, holes, 3, 65535);
        if (holes == 0)
            for (std::int32_t& value : memory)
                value = value == 0 ? 9 : value;
        std::vector<std::int32_t> expected(40 * 30);
        FillHoles(RasterView<const std::int32_t>(memory.data(), 40, 30), RasterView<std::int32_t>(expected.data(), 40, 30));
        // The result starts one row further on.
        FillHoles(RasterView<const std::int32_t>(memory.data(), 40, 30), RasterView<std::int32_t>(memory.data() + 30, 40, 30));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), memory.begin() + 30)) << holes << " % holes";
    }
}

}  // namespace

namespace {

// Values that a 32-bit float cannot tell apart are told apart: a region between
// two of them is not painted, one ringed by one of them takes it exactly, and a
// gap takes its neighbour's value to the last bit.
template <class Value>
void ExpectValuesKeptExactly(Value ring, Value other, const char* name)
{
    // A 3 x 3 region ringed by ring in rows 0 to 4, a 3 x 3 region between ring
    // (left) and other (right) in rows 5 to 9, and a gap of one cell in row 10.
    const int rows = 11, columns = 7;
    std::vector<Value> raster(static_cast<std::size_t>(rows) * columns, ring);
    for (int y = 0; y < rows; ++y)
        for (int x = 4; x < columns && y >= 5 && y <= 9; ++x)
            raster[static_cast<std::size_t>(y) * columns + x] = other;
    for (const int top : {1, 6})
        for (int y = top; y < top + 3; ++y)
            for (int x = 2; x < 5; ++x)
                raster[static_cast<std::size_t>(y) * columns + x] = Value{};
    raster[10 * columns + 3] = Value{};
    raster[10 * columns + 2] = other;
    std::vector<Value> result(raster.size());
    FillCounts counts;
    FillHoles(RasterView<const Value>(raster.data(), rows, columns), RasterView<Value>(result.data(), rows, columns),
              {}, {.fillMap = {}, .counts = &counts});
    EXPECT_EQ(counts.regionsFound, 2) << name;
    EXPECT_EQ(counts.regionsPainted, 1) << name;
    EXPECT_TRUE(result[2 * columns + 3] == ring) << name << ": the ringed region";
    EXPECT_TRUE(result[10 * columns + 3] == other) << name << ": the gap takes its left neighbour";
    // The region between the two is filled from its rows: ring on the left,
    // other on the right, each exactly.
    EXPECT_TRUE(result[7 * columns + 2] == ring && result[7 * columns + 4] != ring) << name;
}

TEST(PublicInterface, ValuesAreKeptExactly)
{
    ExpectValuesKeptExactly<std::int32_t>(16777217, 16777216, "int32 beyond 2^24");
    ExpectValuesKeptExactly<std::int32_t>(2147483647, 2147483646, "int32 at the top");
    ExpectValuesKeptExactly<std::int32_t>(2147483520, 2147483647, "int32 rounding to one float");
    ExpectValuesKeptExactly<float>(0.1f, std::nextafter(0.1f, 1.0f), "float one step apart");
    ExpectValuesKeptExactly<float>(3.5e-38f, 1e-45f, "float tiny and subnormal");
    ExpectValuesKeptExactly<std::uint16_t>(65535, 65534, "uint16 at the top");
}

// Rasters beyond 2^24 cells, the most that 32-bit float planes numbered: 2,601
// walled squares, each wall its own value, and a corridor a cell wide that winds
// through a whole raster between walls of one value.
TEST(PublicInterface, RastersBeyond2To24Cells)
{
    constexpr int Side = 4106, Block = 80;  // 4106^2 = 16,859,236 cells
    std::vector<std::uint8_t> squares(static_cast<std::size_t>(Side) * Side);
    const auto wallOf = [](int y, int x) { return static_cast<std::uint8_t>(1 + (y / Block * 51 + x / Block) % 250); };
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const bool wall = y % Block == 0 || x % Block == 0 || y % Block == Block - 1 || x % Block == Block - 1 ||
                              y >= Side / Block * Block || x >= Side / Block * Block;
            squares[static_cast<std::size_t>(y) * Side + x] = wall ? wallOf(y, x) : 0;
        }
    std::vector<std::uint8_t> filled(squares.size());
    FillCounts counts;
    FillHoles(RasterView<const std::uint8_t>(squares.data(), Side, Side),
              RasterView<std::uint8_t>(filled.data(), Side, Side), {}, {.fillMap = {}, .counts = &counts});
    EXPECT_EQ(counts.regionsFound, (Side / Block) * (Side / Block));
    EXPECT_EQ(counts.regionsPainted, counts.regionsFound);
    long long wrong = 0;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            wrong += filled[static_cast<std::size_t>(y) * Side + x] != wallOf(y, x);
    EXPECT_EQ(wrong, 0);

    // The corridor: rows 1, 3, 5, ... dark from column 1 to Side - 2, joined at
    // alternate ends; one region of over eight million cells, walled by 200.
    std::vector<std::uint16_t> corridor(static_cast<std::size_t>(Side) * Side, 200);
    for (int y = 1; y < Side - 1; y += 2) {
        std::fill_n(corridor.begin() + static_cast<std::ptrdiff_t>(y) * Side + 1, Side - 2, 0);
        if (y + 2 < Side - 1)
            corridor[static_cast<std::size_t>(y + 1) * Side + ((y / 2) % 2 ? 1 : Side - 2)] = 0;
    }
    std::vector<std::uint16_t> result(corridor.size());
    FillHoles(RasterView<const std::uint16_t>(corridor.data(), Side, Side),
              RasterView<std::uint16_t>(result.data(), Side, Side), {}, {.fillMap = {}, .counts = &counts});
    EXPECT_EQ(counts.regionsFound, 1);
    EXPECT_EQ(counts.regionsPainted, 1);
    EXPECT_EQ(std::count(result.begin(), result.end(), 200), static_cast<std::ptrdiff_t>(result.size()));
}

}  // namespace
