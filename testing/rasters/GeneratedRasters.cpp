#include "testing/rasters/GeneratedRasters.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>

namespace {

class Canvas
{
public:
    Canvas(int rows, int columns) : rows_(rows), columns_(columns), cells_(static_cast<std::size_t>(rows) * columns) {}

    std::int32_t& At(int y, int x) { return cells_[static_cast<std::size_t>(y) * columns_ + x]; }
    bool Inside(int y, int x) const { return y >= 0 && y < rows_ && x >= 0 && x < columns_; }

    // Returns how many cells became holes.
    long long Disc(int cy, int cx, int radius, std::int32_t value)
    {
        long long holes = 0;
        for (int y = cy - radius; y <= cy + radius; ++y)
            for (int x = cx - radius; x <= cx + radius; ++x)
                if (Inside(y, x) && (y - cy) * (y - cy) + (x - cx) * (x - cx) <= radius * radius) {
                    holes += value == 0 && At(y, x) != 0;
                    At(y, x) = value;
                }
        return holes;
    }

    void Box(int top, int left, int height, int width, std::int32_t value)
    {
        for (int y = std::max(top, 0); y < std::min(top + height, rows_); ++y)
            for (int x = std::max(left, 0); x < std::min(left + width, columns_); ++x)
                At(y, x) = value;
    }

    long long Holes() const { return std::count(cells_.begin(), cells_.end(), 0); }

    int rows_;
    int columns_;
    std::vector<std::int32_t> cells_;
};

// A depth in millimetres, 500 to 5000, scaled to 1 .. highestValue.
std::int32_t Scaled(double millimetres, int highestValue)
{
    const double scaled = 1.0 + (millimetres - 500.0) / 4500.0 * (highestValue - 1);
    return static_cast<std::int32_t>(std::clamp(scaled, 1.0, static_cast<double>(highestValue)));
}

}  // namespace

std::vector<std::int32_t> DepthLikeRaster(int rows, int columns, int holePercent, unsigned seed, int highestValue)
{
    std::mt19937 random(seed);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(std::max(n, 1))); };
    Canvas canvas(rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            canvas.At(y, x) = Scaled(4800.0 - 3600.0 * y / rows + 200.0 * x / columns, highestValue);

    // Objects nearer than the floor, each at one depth with a slight slope.
    struct Edge {
        int y, x;
    };
    std::vector<Edge> edges;
    for (int n = 3 + below(6); n > 0; --n) {
        const int height = rows / 8 + below(rows / 3), width = columns / 10 + below(columns / 4);
        const int top = below(rows - height / 2), left = below(columns - width / 2);
        const double depth = 700.0 + below(2500);
        if (below(2) == 0) {
            canvas.Box(top, left, height, width, Scaled(depth, highestValue));
        } else {
            const int radius = std::max(2, std::min(height, width) / 2);
            canvas.Disc(top + radius, left + radius, radius, Scaled(depth, highestValue));
        }
        for (int i = 0; i < 40; ++i)
            edges.push_back({top + (i % 2 ? below(height) : (i % 4 ? 0 : height)),
                             left + (i % 2 ? (i % 4 == 1 ? 0 : width) : below(width))});
    }

    // Bands without a reading take about a third of the holes: the left border
    // (where the two cameras do not overlap) and a strip along the bottom.
    if (holePercent > 0) {
        canvas.Box(0, 0, rows, std::max(1, columns * holePercent * 3 / 1000), 0);
        canvas.Box(rows - std::max(1, rows * holePercent / 200), 0, rows, columns, 0);
    }
    const long long target = static_cast<long long>(rows) * columns * holePercent / 100;
    for (long long holes = canvas.Holes(); holes < target;) {
        const bool onEdge = !edges.empty() && below(3) > 0;
        const Edge at = onEdge ? edges[below(static_cast<int>(edges.size()))] : Edge{below(rows), below(columns)};
        holes += canvas.Disc(at.y + below(5) - 2, at.x + below(5) - 2, below(4), 0);
    }
    return canvas.cells_;
}

std::vector<std::int32_t> SparseDotsRaster(int rows, int columns, int spacing, unsigned seed, int highestValue)
{
    std::mt19937 random(seed);
    Canvas canvas(rows, columns);
    const long long dots = static_cast<long long>(rows) * columns / (static_cast<long long>(spacing) * spacing);
    for (long long n = 0; n < dots; ++n) {
        const int y = static_cast<int>(random() % rows), x = static_cast<int>(random() % columns);
        canvas.At(y, x) = Scaled(4800.0 - 3600.0 * y / rows, highestValue);
    }
    return canvas.cells_;
}

std::vector<std::int32_t> ScannedTextRaster(int rows, int columns, unsigned seed)
{
    std::mt19937 random(seed);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(std::max(n, 1))); };
    Canvas canvas(rows, columns);
    for (std::int32_t& cell : canvas.cells_)
        cell = 215 + below(30);
    // Lines of letters: each letter a few strokes, upright, across or slanted.
    const int lineHeight = 14;
    for (int base = 10; base + lineHeight < rows; base += lineHeight + 8)
        for (int left = 6; left + 8 < columns; left += 9 + below(3)) {
            if (below(7) == 0)
                continue;
            for (int stroke = 1 + below(3); stroke > 0; --stroke) {
                const int kind = below(3), from = below(lineHeight);
                for (int i = 0; i < lineHeight - from; ++i) {
                    const int y = base + from + i, x = left + (kind == 0 ? 3 : kind == 1 ? i / 2 : i % 7);
                    if (canvas.Inside(y, x)) {
                        canvas.At(y, x) = 0;
                        if (canvas.Inside(y, x + 1) && kind == 0)
                            canvas.At(y, x + 1) = 0;
                    }
                }
            }
        }
    return canvas.cells_;
}
