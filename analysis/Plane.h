#pragma once

#include <cstddef>
#include <memory>

namespace darkfill {

// A rectangle of 32-bit float cells reached as plane[y][x], row 0 at the top.
// Rows are stored one after another; the cells are not initialised: whoever
// writes a plane first writes every cell it will later read.
class Plane
{
public:
    // A plane that owns its cells.
    Plane(int rows, int columns);
    // A plane over rows x columns cells that the caller owns and keeps alive.
    Plane(float* cells, int rows, int columns);

    float* operator[](int y) { return cells_ + static_cast<std::size_t>(y) * columns_; }
    const float* operator[](int y) const { return cells_ + static_cast<std::size_t>(y) * columns_; }

    int Rows() const { return rows_; }
    int Columns() const { return columns_; }

private:
    int rows_;
    int columns_;
    std::unique_ptr<float[]> owned_;
    float* cells_;
};

}  // namespace darkfill
