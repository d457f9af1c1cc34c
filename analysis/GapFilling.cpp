#include "GapFilling.h"

#include <algorithm>

namespace {

// The first source of the composite for the zero pixel (y, x), or 0 if none is in reach.
float NearestSource(const Plane& composite, int rows, int columns, int y, int x)
{
    for (int d = 0; d < GapSearchAttempts; ++d) {
        const float left = composite[y][std::max(x - d, 0)];
        if (left > 0.0f)
            return left;
        const float right = composite[y][std::min(x + d, columns - 1)];
        if (right > 0.0f)
            return right;
        const float below = composite[std::min(y + d, rows - 1)][x];
        if (below > 0.0f)
            return below;
        const float above = composite[std::max(y - d, 0)][x];
        if (above > 0.0f)
            return above;
    }
    return composite[y][x];
}

}  // namespace

void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns)
{
    for (int y = 0; y < rows; ++y) {
        const float* image = imagePlane[y];
        float* fill = fillPlane[y];
        for (int x = 0; x < columns; ++x)
            fill[x] = image[x] + fill[x];
    }
    for (int y = 0; y < rows; ++y)
        std::copy(fillPlane[y], fillPlane[y] + columns, imagePlane[y]);
    for (int y = 0; y < rows; ++y) {
        float* fill = fillPlane[y];
        for (int x = 0; x < columns; ++x)
            if (imagePlane[y][x] == 0.0f)
                fill[x] = NearestSource(imagePlane, rows, columns, y, x);
    }
}
