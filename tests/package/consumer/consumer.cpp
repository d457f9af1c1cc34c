// Fills a 16-bit frame with one hole and a float frame with a NaN, and prints
// what it got: "darkfill VERSION: 40000 1.5".
#include <darkfill/darkfill.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

int main()
{
    std::vector<std::uint16_t> depth(6 * 8, 40000);
    depth[3 * 8 + 4] = 0;
    darkfill::Filler filler;
    darkfill::FillCounts counts;
    filler.Fill(darkfill::RasterView<const std::uint16_t>(depth.data(), 6, 8),
                darkfill::RasterView<std::uint16_t>(depth.data(), 6, 8), {}, {.counts = &counts});

    std::vector<float> metres(5 * 5, 1.5f);
    metres[12] = NAN;
    darkfill::FillHoles(darkfill::RasterView<const float>(metres.data(), 5, 5),
                        darkfill::RasterView<float>(metres.data(), 5, 5));
    std::printf("darkfill %s: %d %g %lld\n", darkfill::Version(), depth[3 * 8 + 4], metres[12], counts.pixelsFilled);
    return depth[3 * 8 + 4] == 40000 && metres[12] == 1.5f && counts.pixelsFilled == 1 ? 0 : 1;
}
