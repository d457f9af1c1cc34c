#pragma once

#include "analysis/HoleFilling.h"
#include "analysis/Plane.h"
#include "analysis/ValueSource.h"

#include <cstdint>
#include <span>
#include <vector>

// The analysis written step by step, the way its rules are stated: slow and plain,
// kept as the yardstick that the fast stages must match bit for bit. It shares no
// code with them but Plane and the public header, so that a mistake in one is not
// repeated in the other. Each function takes the same arguments as its fast twin
// and makes the same choices where the rules leave one open: more than 511
// regions grow the table; values that a walk sees outside 0 to 65535 count as the
// nearer end;
// cells past the edge of a plane whose border was not cleared are unlabelled and
// grey 0; values beyond the integer's range are held at its ends.
namespace reference {

// Full forward and backward sweeps over the interior until one changes nothing,
// then one scan of the counted area per kept region; R x C + 1 floats of counts.
void LabelDarkRegions(const Plane& imagePlane, Plane& labelPlane, Plane& regionPlane, int rows, int columns);
void ClearPlaneBorder(Plane& plane, int rows, int columns);
// One search of the interior per label for its start pixel; a tally for every grey
// that each label's walk saw.
int MeasureRegionSurrounds(const Plane& regionPlane, const Plane& imagePlane, int rows, int columns,
                           std::vector<float>& regionGreyTable, int startValue);
// Every cell compared with every label.
void PaintRegions(const Plane& regionPlane, Plane& fillPlane, int rows, int columns,
                  const std::vector<float>& regionGreyTable, int regionCount);
// Up to 500 attempts of four probes per zero pixel; where sources is not empty,
// each filled pixel's entry receives the direction of its source.
void CompositeAndFill(Plane& imagePlane, Plane& fillPlane, int rows, int columns,
                      std::span<ValueSource> sources = {});

// A raster of any size, as FillHoles does (without its checks of the shape).
void FillHoles(std::span<const std::int32_t> raster, int rows, int columns, std::span<std::int32_t> result,
               std::span<ValueSource> sources = {}, FillCounts* counts = nullptr);

// Reads InputRaster and writes ResultRaster, as RunAnalysis does.
void RunAnalysis();

}  // namespace reference
