#pragma once

#include "analysis/Plane.h"

namespace darkfill {

// Walks round the outside of one region, counter-clockwise as the picture is seen
// with row 0 at the top, from region pixel to region pixel. At every step it notes
// the grey level of the last unlabelled pixel that it examined.
//
// Direction codes: 0 east, 1 north-east, 2 north, 3 north-west, 4 west,
// 5 south-west, 6 south, 7 south-east (north is the row above).
class BoundaryWalker
{
public:
    BoundaryWalker(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                   float label, int startRow, int startColumn);

    // Makes one step: turn, then probe the neighbours until one carries the label
    // (move there), carries another label (stay), or the probe order runs out (stay).
    // surroundGrey receives the grey of every unlabelled neighbour examined; it
    // belongs to the caller because it carries over from one walk to the next.
    // Returns false when the step ends on the start pixel: the walk is over and this
    // step is not tallied.
    bool Step(float& surroundGrey);

    int Row() const { return row_; }
    int Column() const { return column_; }

private:
    const Plane& regionPlane_;
    const Plane& imagePlane_;
    int rows_;
    int columns_;
    float label_;
    int startRow_;
    int startColumn_;
    int row_;
    int column_;
    int direction_ = 4;
};

}  // namespace darkfill
