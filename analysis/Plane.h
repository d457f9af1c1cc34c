#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace darkfill {

// A rectangle of cells of one type reached as plane[y][x], row 0 at the top, rows
// stored one after another. Offsets are 64-bit: a plane may hold as many cells as
// memory does. The cells are not initialised: whoever writes a plane first writes
// every cell it will later read.
template <class Cell>
class Plane
{
public:
    // A plane that owns its cells.
    Plane(int rows, int columns)
        : rows_(rows > 0 ? rows : 0),
          columns_(columns > 0 ? columns : 0),
          owned_(std::make_unique_for_overwrite<Cell[]>(Cells())),
          cells_(owned_.get())
    {
    }
    // A plane over rows x columns cells that the caller owns and keeps alive.
    Plane(Cell* cells, int rows, int columns)
        : rows_(rows > 0 ? rows : 0), columns_(columns > 0 ? columns : 0), cells_(cells)
    {
    }

    Cell* operator[](int y) { return cells_ + static_cast<std::size_t>(y) * columns_; }
    const Cell* operator[](int y) const { return cells_ + static_cast<std::size_t>(y) * columns_; }

    int Rows() const { return rows_; }
    int Columns() const { return columns_; }
    std::size_t Cells() const { return static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_); }

private:
    int rows_;
    int columns_;
    std::unique_ptr<Cell[]> owned_;
    Cell* cells_;
};

// A region's number in the plane of regions: 1, 2, 3, ... and 0 for no region.
// Thirty-two bits: a region holds at least one cell of a 2 x 2 block, so that a
// raster needs more than 16 G cells to number more (LabelDarkRegions refuses it).
using RegionLabel = std::uint32_t;

}  // namespace darkfill
