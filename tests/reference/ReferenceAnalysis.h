#pragma once

#include "Plane.h"

#include <vector>

// The analysis written step by step, the way its rules are stated: slow and plain,
// kept as the yardstick that the fast stages must match bit for bit. Each
// function takes the same arguments as its fast twin.
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
