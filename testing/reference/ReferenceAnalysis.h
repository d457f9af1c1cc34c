#pragma once

#include "analysis/Plane.h"
#include "analysis/RegionStarts.h"
#include "darkfill/darkfill.h"

#include <cstdint>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

// The analysis written step by step, the way its rules are stated: slow and plain,
// kept as the yardstick that the fast stages must match bit for bit. It shares no
// code with them but Plane, StartPixel and the public header, so that a mistake
// in one is not repeated in the other. Each function takes the same arguments as
// its fast twin and makes the same choices where the rules leave one open: more
// than 511 regions grow the table; cells past the edge of a plane whose border
// was not cleared are unlabelled and grey 0; values beyond the integer's range
// are held at its ends.
namespace darkfill::reference {

// Every value in a double: whole numbers to 2^53 (every label, every int32) and
// every float, exactly.
using Plane = darkfill::Plane<double>;

// Full forward and backward sweeps over the interior until one changes nothing,
// then one scan of the counted area per kept region; R x C + 1 floats of counts.
// Groups of fewer than smallestRegion counted cells are dropped.
void LabelDarkRegions(const Plane& imagePlane, Plane& labelPlane, Plane& regionPlane, int rows, int columns,
                      int smallestRegion = 6);
void ClearPlaneBorder(Plane& plane, int rows, int columns);
// One search of the interior per label for its start pixel; a tally for every grey
// that each label's walk saw.
int MeasureRegionSurrounds(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                           std::vector<double>& regionGreyTable, int startValue);
// The start pixel of each label from 1 to the highest label of the plane (or
// startValue if higher), found by the same searches: for walking a plane that no
// labelling made.
RegionStarts StartPixels(const Plane& regionPlane, int rows, int columns, int startValue);
// Every cell compared with every label.
void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<double>& regionGreyTable, int regionCount);
// Up to reach + 1 attempts (distances 0 to reach) of four probes per zero pixel;
// where sources is not empty, each filled pixel's entry receives the direction of
// its source.
void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                      std::span<ValueSource> sources = {}, int reach = 499);
// Every source measured from every zero pixel, columns left to right and each
// from the top, the first at the least squared distance kept.
void CompositeAndFillNearest(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                             std::span<ValueSource> sources, int reach);
// Probes a step at a time outwards, both ways along the row, then along the column.
void CompositeAndFillBackground(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                                std::span<ValueSource> sources, int reach, FarSide far);
// The guided rule's system for a plane whose holes are 0: one row a hole that a
// source reaches through holes (in the order of the plane), as (row, column,
// value) entries with its diagonal first, and the weighted sum of its
// neighbouring sources on the right-hand side; the sources' range, which the
// values are held in.
struct GuidedSystem {
    std::vector<std::pair<int, int>> holes;  // (y, x)
    std::vector<std::tuple<std::size_t, std::size_t, double>> entries;
    std::vector<double> rhs;
    double lowest = 0.0, highest = 0.0;
};
GuidedSystem GuidedSystemOf(const Plane& imagePlane, int rows, int columns, const GuideView& guide);
// The guided rule's system written out whole, one row of a dense matrix a hole,
// solved by Gaussian elimination with partial pivoting: for a few hundred holes.
// Values are left unrounded.
void CompositeAndFillGuided(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                            std::span<ValueSource> sources, const GuideView& guide);

// A raster of any size and of any of the library's value types, one block of
// cells row after row, as the library fills it (without its checks of the shape):
// holes are 0 and, for floats, NaN. Defined for uint8, uint16, int32 and float.
template <class Value>
void FillHoles(std::span<const Value> raster, int rows, int columns, std::span<Value> result,
               std::span<ValueSource> sources = {}, FillCounts* counts = nullptr, const FillOptions& options = {});

}  // namespace darkfill::reference
