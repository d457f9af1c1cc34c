#include "GapFilling.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

constexpr int Reach = GapSearchAttempts - 1;

// Distances from each pixel of a row to the nearest source on its left and on its
// right, found by one scan each way; a distance beyond the reach means none.
void RowDistances(const float* row, int columns, std::vector<int>& left, std::vector<int>& right)
{
    int lastSource = -GapSearchAttempts - 1;
    for (int x = 0; x < columns; ++x) {
        left[x] = x - lastSource;
        if (row[x] > 0.0f)
            lastSource = x;
    }
    int nextSource = columns + GapSearchAttempts + 1;
    for (int x = columns - 1; x >= 0; --x) {
        right[x] = nextSource - x;
        if (row[x] > 0.0f)
            nextSource = x;
    }
}

}  // namespace

void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns)
{
    if (rows < 1 || columns < 1)
        return;
    for (int y = 0; y < rows; ++y) {
        const float* image = imagePlane[y];
        float* fill = fillPlane[y];
        for (int x = 0; x < columns; ++x)
            fill[x] = image[x] + fill[x];
    }
    for (int y = 0; y < rows; ++y)
        std::copy(fillPlane[y], fillPlane[y] + columns, imagePlane[y]);

    // The row of the nearest source below every cell, found by one scan upward; the
    // row of the nearest source above is carried down, column by column.
    const Plane& composite = imagePlane;
    std::vector<int> nearestBelow(static_cast<std::size_t>(rows) * columns);
    std::vector<int> nextBelow(columns, rows + GapSearchAttempts + 1);
    for (int y = rows - 1; y >= 0; --y) {
        const float* row = composite[y];
        int* below = nearestBelow.data() + static_cast<std::size_t>(y) * columns;
        for (int x = 0; x < columns; ++x) {
            below[x] = nextBelow[x];
            if (row[x] > 0.0f)
                nextBelow[x] = y;
        }
    }
    std::vector<int> lastAbove(columns, -GapSearchAttempts - 1);
    std::vector<int> left(columns);
    std::vector<int> right(columns);
    for (int y = 0; y < rows; ++y) {
        const float* row = composite[y];
        const int* below = nearestBelow.data() + static_cast<std::size_t>(y) * columns;
        float* fill = fillPlane[y];
        RowDistances(row, columns, left, right);
        for (int x = 0; x < columns; ++x) {
            if (row[x] == 0.0f) {
                // The nearest source wins; at equal distance left, right, below, above.
                const int distances[4] = {left[x], right[x], below[x] - y, y - lastAbove[x]};
                int best = 0;
                for (int d = 1; d < 4; ++d)
                    if (distances[d] < distances[best])
                        best = d;
                if (distances[best] <= Reach) {
                    const int sourceRow = best == 2 ? below[x] : best == 3 ? lastAbove[x] : y;
                    const int sourceColumn = best == 0 ? x - left[x] : best == 1 ? x + right[x] : x;
                    fill[x] = composite[sourceRow][sourceColumn];
                }
            }
            if (row[x] > 0.0f)
                lastAbove[x] = y;
        }
    }
}
