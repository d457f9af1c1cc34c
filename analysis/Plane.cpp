#include "analysis/Plane.h"

#include <algorithm>

namespace darkfill {

Plane::Plane(int rows, int columns)
    : rows_(std::max(rows, 0)),
      columns_(std::max(columns, 0)),
      owned_(std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(rows_) * columns_)),
      cells_(owned_.get())
{
}

Plane::Plane(float* cells, int rows, int columns)
    : rows_(std::max(rows, 0)), columns_(std::max(columns, 0)), cells_(cells)
{
}

}  // namespace darkfill
