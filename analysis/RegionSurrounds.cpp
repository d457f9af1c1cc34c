#include "analysis/RegionSurrounds.h"

#include "analysis/BoundaryWalker.h"

#include <algorithm>
#include <cstddef>

namespace darkfill {

namespace {

bool BorderIsClear(const Plane& plane, int rows, int columns)
{
    const auto clear = [](float value) { return value == 0.0f; };
    if (!std::all_of(plane[0], plane[0] + columns, clear) ||
        !std::all_of(plane[rows - 1], plane[rows - 1] + columns, clear))
        return false;
    for (int y = 0; y < rows; ++y)
        if (!clear(plane[y][0]) || !clear(plane[y][columns - 1]))
            return false;
    return true;
}

// What decides a region's grey: the first value above 0 that its walk
// tallied, and whether it tallied another one too. Grey 0 never counts.
class SurroundGreys
{
public:
    void Tally(float grey)
    {
        if (grey == 0.0f || grey == first_)
            return;
        if (first_ == 0.0f)
            first_ = grey;
        else
            several_ = true;
    }
    float Decision() const { return several_ ? 0.0f : first_; }
    // Once two values were seen, no later step can change the decision.
    bool Settled() const { return several_; }

private:
    float first_ = 0.0f;
    bool several_ = false;
};

// Asks for the cells round a start pixel ahead of its walk. The regions' walks
// follow one another along the planes, each a few steps in cells that the
// labelling wrote long before, so that a walk would otherwise wait on each of them.
// Inlined: a call that only prefetches has no effect that the compiler sees, and
// it drops the call. Only an interior start pixel has all its neighbours in the
// planes.
[[gnu::always_inline]] inline void PrefetchAround(const Plane& regionPlane, const Plane& imagePlane, int rows,
                                                  int columns, StartPixel start)
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

int MeasureRegionSurrounds(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                           std::vector<float>& regionGreyTable, const RegionStarts& starts)
{
    const int regionCount = std::max(static_cast<int>(starts.size()) - 1, 0);
    if (regionCount == 0)
        return 0;
    if (regionGreyTable.size() <= static_cast<std::size_t>(regionCount))
        regionGreyTable.resize(static_cast<std::size_t>(regionCount) + 1);

    // A walk may stop once its decision is settled where the plane's border is clear:
    // the grey it then leaves behind for the next walk is never tallied, since every
    // walk records one of its own before its first tally. (With labels on the border,
    // a walk's first step can move onto one without recording a grey.)
    const bool stopWhenSettled = BorderIsClear(regionPlane, rows, columns);
    float surroundGrey = 0.0f;
    // Planes of this many cells outgrow the processor's caches; in smaller ones
    // the cells are at hand and asking for them ahead only costs.
    constexpr std::size_t LargePlane = std::size_t{1} << 19;
    const int ahead = static_cast<std::size_t>(rows) * columns >= LargePlane ? 8 : 0;
    for (int label = 1; label <= regionCount; ++label) {
        if (ahead != 0 && label + ahead <= regionCount)
            PrefetchAround(regionPlane, imagePlane, rows, columns, starts[label + ahead]);
        SurroundGreys greys;
        if (starts[label].row != -1) {
            BoundaryWalker walker(regionPlane, imagePlane, rows, columns, static_cast<float>(label), starts[label].row,
                                  starts[label].column);
            for (int steps = 0; steps < TraceStepLimit && !(stopWhenSettled && greys.Settled()) &&
                                walker.Step(surroundGrey);
                 ++steps)
                greys.Tally(surroundGrey);
        }
        regionGreyTable[label] = greys.Decision();
    }
    return regionCount;
}

}  // namespace darkfill
