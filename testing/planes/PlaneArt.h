#pragma once

#include "analysis/Plane.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace darkfill {

// Small planes drawn as text, one string per row, one character per cell.
// Each character is looked up in the legend; digits without an entry stand for
// themselves.
template <class Cell = float>
Plane<Cell> PlaneFromArt(const std::vector<std::string>& art, const std::map<char, Cell>& legend = {})
{
    const int rows = static_cast<int>(art.size());
    const int columns = rows > 0 ? static_cast<int>(art[0].size()) : 0;
    Plane<Cell> plane(rows, columns);
    for (int y = 0; y < rows; ++y) {
        if (static_cast<int>(art[y].size()) != columns)
            throw std::invalid_argument("ragged art in row " + std::to_string(y));
        for (int x = 0; x < columns; ++x) {
            const char c = art[y][x];
            const auto found = legend.find(c);
            if (found != legend.end())
                plane[y][x] = found->second;
            else if (c >= '0' && c <= '9')
                plane[y][x] = static_cast<Cell>(c - '0');
            else
                throw std::invalid_argument(std::string("no legend for '") + c + "'");
        }
    }
    return plane;
}

// The plane drawn back as text: 0 as '.', whole numbers 1 to 9 as digits, any
// other value as '?'; for readable failures.
template <class Cell>
std::string PlaneToArt(const Plane<Cell>& plane)
{
    std::string text;
    for (int y = 0; y < plane.Rows(); ++y) {
        for (int x = 0; x < plane.Columns(); ++x) {
            const Cell v = plane[y][x];
            if (v == Cell{})
                text += '.';
            else if (v >= Cell{1} && v <= Cell{9} && v == static_cast<Cell>(static_cast<int>(v)))
                text += static_cast<char>('0' + static_cast<int>(v));
            else
                text += '?';
        }
        text += '\n';
    }
    return text;
}

// A plane of the given size with every cell set to value.
template <class Cell>
Plane<Cell> FilledPlane(int rows, int columns, Cell value)
{
    Plane<Cell> plane(rows, columns);
    std::fill(plane[0], plane[0] + plane.Cells(), value);
    return plane;
}

// A copy of a plane, cell for cell, in cells of another type where asked.
template <class To, class From>
Plane<To> CopyOfPlane(const Plane<From>& plane)
{
    Plane<To> copy(plane.Rows(), plane.Columns());
    std::transform(plane[0], plane[0] + plane.Cells(), copy[0], [](From v) { return static_cast<To>(v); });
    return copy;
}

template <class Cell>
Plane<Cell> CopyOfPlane(const Plane<Cell>& plane)
{
    return CopyOfPlane<Cell, Cell>(plane);
}

// The reference's regions as the fast labelling leaves them: the last row and
// column, outside the counted area, 0.
template <class Cell>
void ClearLastRowAndColumn(Plane<Cell>& regions)
{
    if (regions.Cells() == 0)
        return;
    std::fill(regions[regions.Rows() - 1], regions[regions.Rows() - 1] + regions.Columns(), Cell{});
    for (int y = 0; y < regions.Rows(); ++y)
        regions[y][regions.Columns() - 1] = Cell{};
}

// Whether two planes of the same size hold the same values, cell for cell, each
// taken as a double: a fast stage's plane against the reference's.
template <class Cell, class Other>
bool SameCells(const Plane<Cell>& a, const Plane<Other>& b)
{
    for (std::size_t i = 0; i < a.Cells(); ++i)
        if (!(static_cast<double>(a[0][i]) == static_cast<double>(b[0][i])))
            return false;
    return true;
}

}  // namespace darkfill
