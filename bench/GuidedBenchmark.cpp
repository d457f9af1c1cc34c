// The guided rule alone, for comparing builds of it: the rendered scenes of the
// quality benchmark (the same seeds) at 640 x 480 with sensor-like holes, each
// filled with its colour frame as the guide through one kept Filler: ms a frame,
// the fastest of FILLS fills of each, and its share of hidden pixels; their sum;
// then the memory that the Filler holds after the last frame, per pixel hidden
// in it. With MASKS above 1, each frame hides the union of that many sets of
// sensor-like holes (3 hide about 17 % of the pixels, 5 about 24 %).
//   build/bench/guided_bench [SCENES] [FILLS] [MASKS]   (8, 5 and 1 unless given)
// To compare two builds on this noisy machine, run them in turn, A B B A, and
// take each frame's fastest over all the runs.

#include "bench/DepthScene.h"
#include "darkfill/darkfill.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    const int scenes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;
    const int fills = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const int masks = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
    constexpr int rows = 480, columns = 640;
    darkfill::Filler filler;
    double total = 0.0;
    std::size_t hidden = 0;
    for (int s = 0; s < scenes; ++s) {
        const DepthScene scene = RenderDepthScene(rows, columns, 1000 + s);
        std::vector<std::uint8_t> mask = SensorHoles(rows, columns, 2000 + s);
        for (int m = 1; m < masks; ++m) {
            const std::vector<std::uint8_t> more = SensorHoles(rows, columns, 2000 + s + 1000 * m);
            for (std::size_t i = 0; i < mask.size(); ++i)
                mask[i] |= more[i];
        }
        std::vector<std::uint16_t> input = scene.depth, out(input.size());
        hidden = static_cast<std::size_t>(std::count(mask.begin(), mask.end(), 1));
        for (std::size_t i = 0; i < input.size(); ++i)
            if (mask[i])
                input[i] = 0;
        const darkfill::FillOptions options = {
            .rule = darkfill::FillRule::Guided,
            .guide = darkfill::GuideView(scene.colour.data(), darkfill::GuideFormat::Rgb8, rows, columns)};
        double fastest = 1e30;
        for (int f = 0; f < fills; ++f) {
            const auto start = std::chrono::steady_clock::now();
            filler.Fill(darkfill::RasterView<const std::uint16_t>(input.data(), rows, columns),
                        darkfill::RasterView<std::uint16_t>(out.data(), rows, columns), options);
            fastest = std::min(fastest,
                               std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::printf("scene %d: %.2f ms, %.1f %% of the pixels hidden\n", s, fastest,
                    100.0 * static_cast<double>(hidden) / static_cast<double>(mask.size()));
        total += fastest;
    }
    std::printf("sum of %d scenes: %.1f ms\n", scenes, total);
    std::printf("held after the last: %zu bytes, %.0f a hidden pixel\n", filler.HeldBytes(),
                static_cast<double>(filler.HeldBytes()) / static_cast<double>(hidden));
    return 0;
}
