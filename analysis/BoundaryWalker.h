#pragma once

#include "analysis/Plane.h"

#include <cstddef>

namespace darkfill {

// A cell's value as the walk round a region notes it: the value itself where it is
// above 0, exactly, else 0, which never decides a region's value.
template <class Value>
Value SurroundValue(Value value)
{
    return value > Value{} ? value : Value{};
}

// Walks round the outside of one region, counter-clockwise as the picture is seen
// with row 0 at the top, from region pixel to region pixel. At every step it notes
// the value of the last unlabelled pixel that it examined.
//
// Direction codes: 0 east, 1 north-east, 2 north, 3 north-west, 4 west,
// 5 south-west, 6 south, 7 south-east (north is the row above).
template <class Value>
class BoundaryWalker
{
public:
    BoundaryWalker(const Plane<RegionLabel>& regionPlane, const Plane<Value>& imagePlane, int rows, int columns,
                   RegionLabel label, int startRow, int startColumn)
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

    // Makes one step: turn, then probe the neighbours until one carries the label
    // (move there), carries another label (stay), or the probe order runs out
    // (stay). surroundValue receives the value of every unlabelled neighbour
    // examined; it belongs to the caller because it carries over from one walk to
    // the next. Returns false when the step ends on the start pixel: the walk is
    // over and this step is not tallied.
    bool Step(Value& surroundValue)
    {
        static constexpr int RowOffset[8] = {0, -1, -1, -1, 0, 1, 1, 1};
        static constexpr int ColumnOffset[8] = {1, 1, 0, -1, -1, -1, 0, 1};
        const int turned = direction_ % 2 == 0 ? (direction_ + 7) % 8 : (direction_ + 6) % 8;
        // The probing of a step runs from the turned direction up to 7, then 0, 1
        // and 2.
        const int probes = 8 - turned + 3;
        // Away from the plane's edge every neighbour lies inside: no probe needs a check.
        const bool awayFromEdge = row_ >= 1 && row_ <= rows_ - 2 && column_ >= 1 && column_ <= columns_ - 2;
        const RegionLabel* regions = regionPlane_[row_] + column_;
        const Value* image = imagePlane_[row_] + column_;
        for (int i = 0; i < probes; ++i) {
            const int p = (turned + i) & 7;
            const int y = row_ + RowOffset[p];
            const int x = column_ + ColumnOffset[p];
            const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(RowOffset[p]) * columns_ + ColumnOffset[p];
            // A walk round a region whose border was not cleared can look past the
            // plane's edge; what lies there counts as an unlabelled pixel of value 0.
            const bool inside = awayFromEdge || (y >= 0 && y < rows_ && x >= 0 && x < columns_);
            const RegionLabel neighbour = inside ? regions[offset] : 0;
            if (neighbour == label_) {
                row_ = y;
                column_ = x;
                direction_ = p;
                break;
            }
            if (neighbour != 0) {
                direction_ = p;
                break;
            }
            surroundValue = inside ? SurroundValue(image[offset]) : Value{};
            direction_ = (p + 1) & 7;
        }
        return row_ != startRow_ || column_ != startColumn_;
    }

    int Row() const { return row_; }
    int Column() const { return column_; }

private:
    const Plane<RegionLabel>& regionPlane_;
    const Plane<Value>& imagePlane_;
    int rows_;
    int columns_;
    RegionLabel label_;
    int startRow_;
    int startColumn_;
    int row_;
    int column_;
    int direction_ = 4;
};

}  // namespace darkfill
