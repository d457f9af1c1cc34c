#include "analysis/RegionSurrounds.h"

#include "analysis/BoundaryWalker.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace darkfill {

namespace {

bool BorderIsClear(const Plane<RegionLabel>& plane, int rows, int columns)
{
    const auto clear = [](RegionLabel label) { return label == 0; };
    if (!std::all_of(plane[0], plane[0] + columns, clear) ||
        !std::all_of(plane[rows - 1], plane[rows - 1] + columns, clear))
        return false;
    for (int y = 0; y < rows; ++y)
        if (!clear(plane[y][0]) || !clear(plane[y][columns - 1]))
            return false;
    return true;
}

// What decides a region's value: the first value above 0 that its walk
// tallied, and whether it tallied another one too. 0 never counts.
template <class Value>
class SurroundValues
{
public:
    void Tally(Value value)
    {
        if (value == Value{} || value == first_)
            return;
        if (first_ == Value{})
            first_ = value;
        else
            several_ = true;
    }
    Value Decision() const { return several_ ? Value{} : first_; }
    // Once two values were seen, no later step can change the decision.
    bool Settled() const { return several_; }

private:
    Value first_{};
    bool several_ = false;
};

// Asks for the cells round a start pixel ahead of its walk. The regions' walks
// follow one another along the planes, each a few steps in cells that the
// labelling wrote long before, so that a walk would otherwise wait on each of them.
// Inlined: a call that only prefetches has no effect that the compiler sees, and
// it drops the call. Only an interior start pixel has all its neighbours in the
// planes.
template <class Value>
[[gnu::always_inline]] inline void PrefetchAround(const Plane<RegionLabel>& regionPlane, const Plane<Value>& imagePlane,
                                                  int rows, int columns, StartPixel start)
{
    if (start.row < 1 || start.row > rows - 2 || start.column < 1 || start.column > columns - 2)
        return;
    for (int y = start.row - 1; y <= start.row + 1; ++y)
        for (int x = start.column - 1; x <= start.column + 1; x += 2) {
            __builtin_prefetch(regionPlane[y] + x);
            __builtin_prefetch(imagePlane[y] + x);
        }
}

}  // namespace

template <class Value>
RegionLabel MeasureRegionSurrounds(const Plane<RegionLabel>& regionPlane, const Plane<Value>& imagePlane, int rows,
                                   int columns, std::vector<Value>& surroundTable, const RegionStarts& starts)
{
    const RegionLabel regionCount = starts.empty() ? 0 : static_cast<RegionLabel>(starts.size() - 1);
    surroundTable.assign(static_cast<std::size_t>(regionCount) + 1, Value{});
    if (regionCount == 0)
        return 0;

    // A walk may stop once its decision is settled where the plane's border is clear:
    // the value it then leaves behind for the next walk is never tallied, since every
    // walk records one of its own before its first tally. (With labels on the border,
    // a walk's first step can move onto one without recording a value.)
    const bool stopWhenSettled = BorderIsClear(regionPlane, rows, columns);
    Value surroundValue{};
    // Planes of this many cells outgrow the processor's caches; in smaller ones
    // the cells are at hand and asking for them ahead only costs.
    constexpr std::size_t LargePlane = std::size_t{1} << 19;
    const RegionLabel ahead = static_cast<std::size_t>(rows) * columns >= LargePlane ? 8 : 0;
    for (RegionLabel label = 1; label <= regionCount; ++label) {
        if (ahead != 0 && label + ahead <= regionCount)
            PrefetchAround(regionPlane, imagePlane, rows, columns, starts[label + ahead]);
        SurroundValues<Value> values;
        if (starts[label].row != -1) {
            BoundaryWalker<Value> walker(regionPlane, imagePlane, rows, columns, label, starts[label].row,
                                         starts[label].column);
            for (int steps = 0; steps < TraceStepLimit && !(stopWhenSettled && values.Settled()) &&
                                walker.Step(surroundValue);
                 ++steps)
                values.Tally(surroundValue);
        }
        surroundTable[label] = values.Decision();
    }
    return regionCount;
}

#define DARKFILL_SURROUNDS(Value)                                                                                 \
    template RegionLabel MeasureRegionSurrounds(const Plane<RegionLabel>&, const Plane<Value>&, int, int,        \
                                                std::vector<Value>&, const RegionStarts&);
DARKFILL_SURROUNDS(std::uint8_t)
DARKFILL_SURROUNDS(std::uint16_t)
DARKFILL_SURROUNDS(std::int32_t)
DARKFILL_SURROUNDS(float)
#undef DARKFILL_SURROUNDS

}  // namespace darkfill
