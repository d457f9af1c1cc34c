#include "analysis/GapFilling.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

constexpr int Reach = GapSearchAttempts - 1;
// Beyond every cell of the largest raster (2^24 cells), so that no distance to
// "no source" comes within reach.
constexpr int Far = 1 << 30;

// The directions of the search, in the order in which they win ties.
constexpr ValueSource SourceFrom[4] = {ValueSource::FromLeft, ValueSource::FromRight, ValueSource::FromBelow,
                                       ValueSource::FromAbove};

// The nearest source at or after a position along a line, found by scans that only
// ever move forward: over a whole line they cost one pass, however many gaps ask.
class NextSource
{
public:
    // Moves the answer on to the first source at or after from, or past the end.
    template <class IsSource>
    int From(int from, int end, const IsSource& isSource)
    {
        if (next_ < from) {
            next_ = std::max(scanned_, from);
            while (next_ < end && !isSource(next_))
                ++next_;
            scanned_ = next_;
        }
        return next_ < end ? next_ : Far;
    }

private:
    int next_ = -1;
    int scanned_ = 0;
};

}  // namespace

void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns, std::span<ValueSource> sources)
{
    if (rows < 1 || columns < 1)
        return;
    // Composite and snapshot in one pass; rows without a zero pixel need no search.
    std::vector<bool> rowHasGap(rows, false);
    for (int y = 0; y < rows; ++y) {
        float* image = imagePlane[y];
        float* fill = fillPlane[y];
        int gaps = 0;
        for (int x = 0; x < columns; ++x) {
            const float composite = image[x] + fill[x];
            fill[x] = composite;
            image[x] = composite;
            gaps += composite == 0.0f;
        }
        rowHasGap[y] = gaps > 0;
    }

    // Each zero pixel takes the nearest source of the composite on its row or
    // column within reach; at equal distance left, then right, below, above.
    const Plane& composite = imagePlane;
    std::vector<NextSource> below(columns);
    std::vector<int> lastAbove(columns, -Far);
    for (int y = 0; y < rows; ++y) {
        const float* row = composite[y];
        if (rowHasGap[y]) {
            float* fill = fillPlane[y];
            int lastLeft = -Far;
            NextSource right;
            for (int x = 0; x < columns; ++x) {
                if (row[x] == 0.0f) {
                    const int nextRight = right.From(x + 1, columns, [row](int i) { return row[i] > 0.0f; });
                    const int nextBelow = below[x].From(y + 1, rows, [&](int i) { return composite[i][x] > 0.0f; });
                    const int distances[4] = {x - lastLeft, nextRight - x, nextBelow - y, y - lastAbove[x]};
                    int best = 0;
                    for (int d = 1; d < 4; ++d)
                        if (distances[d] < distances[best])
                            best = d;
                    if (distances[best] <= Reach) {
                        const int sourceRow = best == 2 ? nextBelow : best == 3 ? lastAbove[x] : y;
                        const int sourceColumn = best == 0 ? lastLeft : best == 1 ? nextRight : x;
                        fill[x] = composite[sourceRow][sourceColumn];
                        if (!sources.empty())
                            sources[static_cast<std::size_t>(y) * columns + x] = SourceFrom[best];
                    }
                } else if (row[x] > 0.0f) {
                    lastLeft = x;
                }
            }
        }
        // Written as a selection for every cell, which vectorises.
        for (int x = 0; x < columns; ++x)
            lastAbove[x] = row[x] > 0.0f ? y : lastAbove[x];
    }
}
