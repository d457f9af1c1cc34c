#include "testing/planes/PlaneArt.h"

#include <algorithm>
#include <stdexcept>

namespace darkfill {

Plane PlaneFromArt(const std::vector<std::string>& art, const std::map<char, float>& legend)
{
    const int rows = static_cast<int>(art.size());
    const int columns = rows > 0 ? static_cast<int>(art[0].size()) : 0;
    Plane plane(rows, columns);
    for (int y = 0; y < rows; ++y) {
        if (static_cast<int>(art[y].size()) != columns)
            throw std::invalid_argument("ragged art in row " + std::to_string(y));
        for (int x = 0; x < columns; ++x) {
            const char c = art[y][x];
            const auto found = legend.find(c);
            if (found != legend.end())
                plane[y][x] = found->second;
            else if (c >= '0' && c <= '9')
                plane[y][x] = static_cast<float>(c - '0');
            else
                throw std::invalid_argument(std::string("no legend for '") + c + "'");
        }
    }
    return plane;
}

std::string PlaneToArt(const Plane& plane)
{
    std::string text;
    for (int y = 0; y < plane.Rows(); ++y) {
        for (int x = 0; x < plane.Columns(); ++x) {
            const float v = plane[y][x];
            if (v == 0.0f)
                text += '.';
            else if (v >= 1.0f && v <= 9.0f && v == static_cast<float>(static_cast<int>(v)))
                text += static_cast<char>('0' + static_cast<int>(v));
            else
                text += '?';
        }
        text += '\n';
    }
    return text;
}

Plane CopyOfPlane(const Plane& plane)
{
    Plane copy(plane.Rows(), plane.Columns());
    for (int y = 0; y < plane.Rows(); ++y)
        std::copy(plane[y], plane[y] + plane.Columns(), copy[y]);
    return copy;
}

Plane FilledPlane(int rows, int columns, float value)
{
    Plane plane(rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            plane[y][x] = value;
    return plane;
}

}  // namespace darkfill
