#include "analysis/BoundaryWalker.h"

#include "analysis/Conversions.h"

#include <cstddef>

namespace darkfill {

namespace {

constexpr int RowOffset[8] = {0, -1, -1, -1, 0, 1, 1, 1};
constexpr int ColumnOffset[8] = {1, 1, 0, -1, -1, -1, 0, 1};

// The probing of a step runs from the turned direction up to 7, then 0, 1 and 2.
int ProbeCount(int turned)
{
    return 8 - turned + 3;
}

}  // namespace

BoundaryWalker::BoundaryWalker(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                               float label, int startRow, int startColumn)
    : regionPlane_(regionPlane),
      imagePlane_(imagePlane),
      rows_(rows),
      columns_(columns),
      label_(label),
      startRow_(startRow),
      startColumn_(startColumn),
      row_(startRow),
      column_(startColumn)
{
}

bool BoundaryWalker::Step(float& surroundGrey)
{
    const int turned = direction_ % 2 == 0 ? (direction_ + 7) % 8 : (direction_ + 6) % 8;
    const int probes = ProbeCount(turned);
    // Away from the plane's edge every neighbour lies inside: no probe needs a check.
    const bool awayFromEdge = row_ >= 1 && row_ <= rows_ - 2 && column_ >= 1 && column_ <= columns_ - 2;
    const float* regions = regionPlane_[row_] + column_;
    const float* image = imagePlane_[row_] + column_;
    for (int i = 0; i < probes; ++i) {
        const int p = (turned + i) & 7;
        const int y = row_ + RowOffset[p];
        const int x = column_ + ColumnOffset[p];
        const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(RowOffset[p]) * columns_ + ColumnOffset[p];
        // A walk round a region whose border was not cleared can look past the
        // plane's edge; what lies there counts as an unlabelled pixel of grey 0.
        const bool inside = awayFromEdge || (y >= 0 && y < rows_ && x >= 0 && x < columns_);
        const float neighbour = inside ? regions[offset] : 0.0f;
        if (neighbour == label_) {
            row_ = y;
            column_ = x;
            direction_ = p;
            break;
        }
        if (neighbour != 0.0f) {
            direction_ = p;
            break;
        }
        surroundGrey = inside ? SurroundValue(image[offset]) : 0.0f;
        direction_ = (p + 1) & 7;
    }
    return row_ != startRow_ || column_ != startColumn_;
}

}  // namespace darkfill
