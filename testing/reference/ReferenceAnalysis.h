#pragma once

#include "analysis/Plane.h"

#include <vector>

// The analysis written step by step, the way its rules are stated: slow and plain,
// kept as the yardstick that the fast stages must match bit for bit. It shares no
// code with them but Plane and the public header, so that a mistake in one is not
// repeated in the other. Each function takes the same arguments as its fast twin
// and makes the same choices where the rules leave one open: more than 511
// regions grow the table; grey levels outside 0 to 255 count as the nearer end;
// cells past the edge of a plane whose border was not cleared are unlabelled and
// grey 0; values beyond the integer's range are held at its ends.
namespace reference {

// Full forward and backward sweeps over the interior until one changes nothing,
// then one scan of the counted area per kept region; R x C + 1 floats of counts.
void LabelDarkRegions(const Plane& imagePlane, Plane& labelPlane, Plane& regionPlane, int rows, int columns);
void ClearPlaneBorder(Plane& plane, int rows, int columns);
// One search of the interior per label for its start pixel; 256 x (RegionCount + 1)
// floats of tallies.
int MeasureRegionSurrounds(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                           std::vector<float>& regionGreyTable, int startValue);
// Every cell compared with every label.
void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<float>& regionGreyTable, int regionCount);
// Up to 500 attempts of four probes per zero pixel.
void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns);

// Reads InputRaster and writes ResultRaster, as RunAnalysis does.
void RunAnalysis();

}  // namespace reference
