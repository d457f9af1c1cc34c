#include "app/Analysis.h"

#include "darkfill/darkfill.h"

std::int32_t InputRaster[RasterHeight][RasterWidth];
std::int32_t ResultRaster[RasterHeight][RasterWidth];

namespace {

// The window's grey levels are whole numbers held in 32-bit floats: a value beyond
// 2^24 is held as the nearest float, and one of 2^31 or more as the largest
// int32, as the conversion back gives it.
std::int32_t ThroughFloat(std::int32_t value)
{
    const float held = static_cast<float>(value);
    return held >= 2147483648.0f ? 2147483647 : static_cast<std::int32_t>(held);
}

// Whether every value is a whole number that a float holds exactly, as every
// grey level of a picture is.
bool FloatsHoldEveryValue()
{
    // Counted, not searched: a count vectorises.
    constexpr std::uint32_t Largest = 1 << 24;
    int beyond = 0;
    const std::int32_t* values = &InputRaster[0][0];
    for (int i = 0; i < RasterHeight * RasterWidth; ++i)
        beyond += static_cast<std::uint32_t>(values[i]) + Largest > 2 * Largest;
    return beyond == 0;
}

}  // namespace

void RunAnalysis(const darkfill::FillOptions& options)
{
    const darkfill::RasterView<const std::int32_t> input(&InputRaster[0][0], RasterHeight, RasterWidth);
    const darkfill::RasterView<std::int32_t> result(&ResultRaster[0][0], RasterHeight, RasterWidth);
    if (FloatsHoldEveryValue()) {
        darkfill::FillHoles(input, result, options);
        return;
    }
    for (int y = 0; y < RasterHeight; ++y)
        for (int x = 0; x < RasterWidth; ++x)
            ResultRaster[y][x] = ThroughFloat(InputRaster[y][x]);
    darkfill::FillHoles(darkfill::RasterView<const std::int32_t>(result), result, options);
}
