#include "Plane.h"

#include <algorithm>

Plane::Plane(int rows, int columns)
    : rows_(std::max(rows, 0)),
      columns_(std::max(columns, 0)),
      cells_(std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(rows_) * columns_))
{
}
