// How closely each fill restores depth that is known: rendered scenes (see
// DepthScene.h) with sensor-like holes, with the holes of a depth camera's own
// frames (DepthFrames.h; at 640 x 480) and, separately, with their occlusion
// shadows hidden. For darkfill's rules (the guided one with the scene's colour
// frame, its textured frame, the colour frame 2 pixels off, and a flat grey
// one), OpenCV's two inpaintings (radius 3), a plain Euclidean nearest fill,
// OpenCV's colour-guided filters as normalised convolution (the fast global
// smoother, the domain transform, the guided filter), the guided rule's system
// solved directly and, at 640 x 480, the colorization toolbox's own system over
// every pixel solved the same way (where OpenCV's contributed modules and Eigen
// are installed), in the same run on the same frames:
// - MAE: the mean absolute error over the hidden pixels, as a share of the
//   frame's mean depth (a hidden pixel left at 0 counts with its whole depth);
// - RMSE over the hidden pixels, in mm;
// - the share of hidden pixels left at 0;
// - ms a frame (darkfill's rules: the median of 11 fills of each frame, 3 for the
//   guided rule; the direct solves: their factoring and solve alone, once).
//   build/bench/quality_bench [SCENES]   (8 at 640 x 480 unless given; half as
//   many at 1280 x 720)
// Then a real aligned pair where opencv-doc ships it: the Aloe stereo view with
// its disparity ground truth (1282 x 1110), under sensor-like holes of 4 seeds
// and under the holes of 4 of the camera's frames; the ground truth's own
// unknown pixels are not scored.

#include "bench/DepthFrames.h"
#include "bench/DepthScene.h"
#include "darkfill/darkfill.h"
#include "bench/Median.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/photo.hpp>
#if DARKFILL_WITH_XIMGPROC
#include <opencv2/ximgproc/edge_filter.hpp>
#endif
#if DARKFILL_WITH_EIGEN
#include "testing/reference/ReferenceAnalysis.h"

#include <Eigen/Sparse>
#include <Eigen/SparseLU>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Frame = std::vector<std::uint16_t>;
using Mask = std::vector<std::uint8_t>;

// Fills `out` from `input`, whose hidden pixels (mask 1) are 0, of the scene.
using FillMethod = std::function<void(const Frame& input, const Mask& mask, const DepthScene& scene, Frame& out)>;

void FillWithRule(const darkfill::FillOptions& options, const Frame& input, int rows, int columns, Frame& out)
{
    static darkfill::Filler filler;
    filler.Fill(darkfill::RasterView<const std::uint16_t>(input.data(), rows, columns),
                darkfill::RasterView<std::uint16_t>(out.data(), rows, columns), options);
}

void Inpaint(int method, const Frame& input, const Mask& mask, int rows, int columns, Frame& out)
{
    const cv::Mat source(rows, columns, CV_16UC1, const_cast<std::uint16_t*>(input.data()));
    const cv::Mat hidden(rows, columns, CV_8UC1, const_cast<std::uint8_t*>(mask.data()));
    cv::Mat result(rows, columns, CV_16UC1, out.data());
    cv::inpaint(source, hidden, result, 3, method);
}

// The guided rule with the scene's colour frame moved right by shift pixels (the
// columns it leaves take the first one's colours), or with a flat grey guide.
void FillGuided(const Frame& input, const DepthScene& scene, const std::vector<std::uint8_t>& colour, int shift,
                bool flat, Frame& out)
{
    std::vector<std::uint8_t> guide(colour.size(), 128);
    for (int y = 0; !flat && y < scene.rows; ++y)
        for (int x = 0; x < scene.columns; ++x)
            for (int c = 0; c < 3; ++c)
                guide[(static_cast<std::size_t>(y) * scene.columns + x) * 3 + c] =
                    colour[(static_cast<std::size_t>(y) * scene.columns + std::max(x - shift, 0)) * 3 + c];
    FillWithRule({.rule = darkfill::FillRule::Guided,
                  .guide = darkfill::GuideView(guide.data(), darkfill::GuideFormat::Rgb8, scene.rows, scene.columns)},
                 input, scene.rows, scene.columns, out);
}

#if DARKFILL_WITH_XIMGPROC
// One of OpenCV's colour-guided filters as normalised convolution: the depth
// filtered, over the share of known pixels filtered alike, in the holes only.
template <class Filter>
void Normalised(const Frame& input, const DepthScene& scene, Frame& out, const Filter& filter)
{
    const cv::Mat guide(scene.rows, scene.columns, CV_8UC3, const_cast<std::uint8_t*>(scene.colour.data()));
    cv::Mat depth(scene.rows, scene.columns, CV_32FC1), known(scene.rows, scene.columns, CV_32FC1);
    for (std::size_t i = 0; i < input.size(); ++i) {
        depth.at<float>(static_cast<int>(i)) = input[i];
        known.at<float>(static_cast<int>(i)) = input[i] != 0;
    }
    cv::Mat depthFiltered, knownFiltered;
    filter(guide, depth, depthFiltered);
    filter(guide, known, knownFiltered);
    for (std::size_t i = 0; i < input.size(); ++i) {
        const float share = knownFiltered.at<float>(static_cast<int>(i));
        out[i] = input[i] != 0 ? input[i]
                 : share > 1e-6f
                     ? static_cast<std::uint16_t>(
                           std::clamp(std::lround(depthFiltered.at<float>(static_cast<int>(i)) / share), 0L, 65535L))
                     : 0;
    }
}
#endif

// The time that a method measured of its own work, where it times only a part
// of it; below 0, the whole call counts.
double ownMs = -1;

#if DARKFILL_WITH_EIGEN
// The guided rule's system solved directly, as the colorization toolbox solves
// it: the library fills the frame for its painting and its fill map, the holes
// it filled by the guide become 0 again, the reference writes the system out
// and Eigen's sparse LU (in COLAMD order) solves it. Only the factoring and the
// solve are timed.
void PlainSolve(const Frame& input, const Mask&, const DepthScene& scene, Frame& out)
{
    const int rows = scene.rows, columns = scene.columns;
    const darkfill::GuideView guide(scene.colour.data(), darkfill::GuideFormat::Rgb8, rows, columns);
    std::vector<darkfill::ValueSource> map(input.size());
    darkfill::FillHoles(darkfill::RasterView<const std::uint16_t>(input.data(), rows, columns),
                        darkfill::RasterView<std::uint16_t>(out.data(), rows, columns),
                        {.rule = darkfill::FillRule::Guided, .guide = guide},
                        {.fillMap = darkfill::RasterView<darkfill::ValueSource>(map.data(), rows, columns)});
    darkfill::reference::Plane plane(rows, columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * columns + x;
            plane[y][x] = map[i] == darkfill::ValueSource::FromGuide ? 0.0 : out[i];
        }
    const darkfill::reference::GuidedSystem system = darkfill::reference::GuidedSystemOf(plane, rows, columns, guide);
    const auto n = static_cast<Eigen::Index>(system.holes.size());
    std::vector<Eigen::Triplet<double>> triplets;
    for (const auto& [row, column, value] : system.entries)
        triplets.emplace_back(static_cast<Eigen::Index>(row), static_cast<Eigen::Index>(column), value);
    Eigen::SparseMatrix<double> a(n, n);
    a.setFromTriplets(triplets.begin(), triplets.end());
    const Eigen::VectorXd b = Eigen::Map<const Eigen::VectorXd>(system.rhs.data(), n);
    const auto start = Clock::now();
    Eigen::SparseLU<Eigen::SparseMatrix<double>, Eigen::COLAMDOrdering<int>> lu(a);
    const Eigen::VectorXd solution = lu.solve(b);
    ownMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    for (Eigen::Index i = 0; i < n; ++i) {
        const auto [y, x] = system.holes[static_cast<std::size_t>(i)];
        out[static_cast<std::size_t>(y) * columns + x] = static_cast<std::uint16_t>(
            std::llround(std::clamp(solution[i], system.lowest, system.highest)));
    }
}

// The colorization toolbox's own system, as its fill solves it: every pixel an
// unknown, weighed by its 3 x 3 window of the colour frame's grey (its luma, 0
// to 1; spread 0.6 times the window's variance, raised to where the closest
// neighbour weighs 0.01 and to 2e-6), the known pixels held to their values
// (scaled to 0 to 1) by a term of weight 1 beside the weighted mean, not fixed;
// solved by Eigen's sparse LU (in COLAMD order). Only the factoring and the
// solve are timed. The filled frame takes the solution in the hidden pixels.
void ToolboxSolve(const Frame& input, const Mask&, const DepthScene& scene, Frame& out)
{
    const int rows = scene.rows, columns = scene.columns;
    const auto at = [columns](int y, int x) { return static_cast<Eigen::Index>(y) * columns + x; };
    std::vector<double> grey(input.size());
    for (std::size_t i = 0; i < input.size(); ++i)
        grey[i] = (0.2989 * scene.colour[i * 3] + 0.5870 * scene.colour[i * 3 + 1] +
                   0.1140 * scene.colour[i * 3 + 2]) / 255.0;
    const double largest = *std::max_element(input.begin(), input.end());
    std::vector<Eigen::Triplet<double>> triplets;
    Eigen::VectorXd b = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(input.size()));
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const Eigen::Index i = at(y, x);
            double window[9], weights[8], mean = grey[static_cast<std::size_t>(i)], closest = 1e300;
            Eigen::Index neighbours[8];
            int n = 0;
            for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, rows - 1); ++ny)
                for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, columns - 1); ++nx)
                    if (ny != y || nx != x) {
                        neighbours[n] = at(ny, nx);
                        window[n] = grey[static_cast<std::size_t>(neighbours[n])];
                        mean += window[n];
                        closest = std::min(closest, std::pow(window[n] - grey[static_cast<std::size_t>(i)], 2));
                        ++n;
                    }
            window[n] = grey[static_cast<std::size_t>(i)];
            mean /= n + 1;
            double variance = 0;
            for (int k = 0; k <= n; ++k)
                variance += (window[k] - mean) * (window[k] - mean);
            const double spread = std::max({0.6 * variance / (n + 1), -closest / std::log(0.01), 2e-6});
            double total = 0;
            for (int k = 0; k < n; ++k)
                total += weights[k] = std::exp(-std::pow(window[k] - window[n], 2) / spread);
            for (int k = 0; k < n; ++k)
                triplets.emplace_back(i, neighbours[k], -weights[k] / total);
            const bool known = input[static_cast<std::size_t>(i)] != 0;
            triplets.emplace_back(i, i, known ? 2.0 : 1.0);
            if (known)
                b[i] = input[static_cast<std::size_t>(i)] / largest;
        }
    Eigen::SparseMatrix<double> a(b.size(), b.size());
    a.setFromTriplets(triplets.begin(), triplets.end());
    const auto start = Clock::now();
    Eigen::SparseLU<Eigen::SparseMatrix<double>, Eigen::COLAMDOrdering<int>> lu(a);
    const Eigen::VectorXd solution = lu.solve(b);
    ownMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    out = input;
    for (std::size_t i = 0; i < input.size(); ++i)
        if (input[i] == 0)
            out[i] = static_cast<std::uint16_t>(
                std::clamp(std::llround(solution[static_cast<Eigen::Index>(i)] * largest), 0LL, 65535LL));
}
#endif

// Every hidden pixel takes the value of the valid pixel nearest to it, searched
// in square rings of growing size until no nearer one can lie farther out; at
// equal distance the leftmost, then the uppermost.
void PlainNearest(const Frame& input, const Mask&, const DepthScene& scene, Frame& out)
{
    const int rows = scene.rows, columns = scene.columns;
    out = input;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            if (input[static_cast<std::size_t>(y) * columns + x] != 0)
                continue;
            long best = -1, bestX = 0, bestY = 0;
            for (int r = 1; r <= std::max(rows, columns) && (best < 0 || static_cast<long>(r) * r <= best); ++r)
                for (int dy = -r; dy <= r; ++dy)
                    for (int dx = -r; dx <= r; dx += (dy == -r || dy == r) ? 1 : 2 * r) {
                        const int sx = x + dx, sy = y + dy;
                        if (sx < 0 || sx >= columns || sy < 0 || sy >= rows ||
                            input[static_cast<std::size_t>(sy) * columns + sx] == 0)
                            continue;
                        const long d = static_cast<long>(dx) * dx + static_cast<long>(dy) * dy;
                        if (best < 0 || d < best || (d == best && (sx < bestX || (sx == bestX && sy < bestY)))) {
                            best = d;
                            bestX = sx;
                            bestY = sy;
                        }
                    }
            if (best >= 0)
                out[static_cast<std::size_t>(y) * columns + x] =
                    input[static_cast<std::size_t>(bestY) * columns + bestX];
        }
}

struct Method {
    const char* name;
    FillMethod fill;
    int repeats;  // fills of a frame timed, of which the median counts
    long long mostCells = 0;  // where above 0, larger frames are left out
};

const Method Methods[] = {
    {"darkfill rows-columns",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) { FillWithRule({}, in, s.rows, s.columns, out); },
     11},
    {"darkfill nearest",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) {
         FillWithRule({.rule = darkfill::FillRule::Nearest}, in, s.rows, s.columns, out);
     },
     11},
    {"darkfill background",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) {
         FillWithRule({.rule = darkfill::FillRule::Background}, in, s.rows, s.columns, out);
     },
     11},
    {"cv::inpaint Telea, radius 3",
     [](const Frame& in, const Mask& m, const DepthScene& s, Frame& out) {
         Inpaint(cv::INPAINT_TELEA, in, m, s.rows, s.columns, out);
     },
     1},
    {"cv::inpaint Navier-Stokes, radius 3",
     [](const Frame& in, const Mask& m, const DepthScene& s, Frame& out) {
         Inpaint(cv::INPAINT_NS, in, m, s.rows, s.columns, out);
     },
     1},
    {"plain Euclidean nearest", PlainNearest, 1},
    {"darkfill guided, colour frame",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) { FillGuided(in, s, s.colour, 0, false, out); },
     3},
    {"darkfill guided, textured colour frame",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) { FillGuided(in, s, s.textured, 0, false, out); },
     3},
    {"darkfill guided, colour 2 px off",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) { FillGuided(in, s, s.colour, 2, false, out); },
     3},
    {"darkfill guided, flat grey",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) { FillGuided(in, s, s.colour, 0, true, out); },
     3},
#if DARKFILL_WITH_XIMGPROC
    // The filters' constants, each the best on the rendered scenes' sensor-like
    // holes: of lambda 100, 1000, 8000 by sigma 1.5, 8, 30 (the fast global
    // smoother); of the spatial sigma 10 to 2000 by the colour sigma 10 to 500
    // (the domain transform); of the radius 4 to 128 by epsilon 3 to 10,000, in
    // grey levels squared (the guided filter). The last two leave pixels far into
    // a large hole at 0, where no known pixel is within their reach.
    {"cv::ximgproc fast global smoother, normalised",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) {
         Normalised(in, s, out, [](const cv::Mat& guide, const cv::Mat& src, cv::Mat& dst) {
             cv::ximgproc::fastGlobalSmootherFilter(guide, src, dst, 1000, 8);
         });
     },
     3},
    {"cv::ximgproc domain transform, normalised",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) {
         Normalised(in, s, out, [](const cv::Mat& guide, const cv::Mat& src, cv::Mat& dst) {
             cv::ximgproc::dtFilter(guide, src, dst, 600, 120);
         });
     },
     3},
    {"cv::ximgproc guided filter, normalised",
     [](const Frame& in, const Mask&, const DepthScene& s, Frame& out) {
         Normalised(in, s, out, [](const cv::Mat& guide, const cv::Mat& src, cv::Mat& dst) {
             cv::ximgproc::guidedFilter(guide, src, dst, 24, 10);
         });
     },
     3},
#endif
#if DARKFILL_WITH_EIGEN
    {"plain solve of the guided system (sparse LU), colour frame", PlainSolve, 1},
    {"the toolbox's system, every pixel (sparse LU), colour frame", ToolboxSolve, 1, 640 * 480},
#endif
};
constexpr int MethodCount = sizeof(Methods) / sizeof(Methods[0]);

struct Totals {
    double absolute = 0, squared = 0, relative = 0, ms = 0;
    long long hidden = 0, leftAtZero = 0;
    int frames = 0;
};

void Score(const Method& method, const DepthScene& scene, const Mask& mask, Totals& totals)
{
    if (method.mostCells > 0 && static_cast<long long>(mask.size()) > method.mostCells)
        return;
    Frame input = scene.depth, out(input.size());
    for (std::size_t i = 0; i < input.size(); ++i)
        if (mask[i])
            input[i] = 0;
    // Pixels whose truth is unknown (0) are holes of the input, and not scored.
    Mask scored = mask;
    for (std::size_t i = 0; i < input.size(); ++i)
        scored[i] = mask[i] && scene.depth[i] != 0;
    std::vector<double> ms;
    for (int i = 0; i < method.repeats; ++i) {
        const auto start = Clock::now();
        ownMs = -1;
        method.fill(input, mask, scene, out);
        ms.push_back(ownMs >= 0 ? ownMs : std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    double mean = 0, absolute = 0;
    long long hidden = 0;
    long long known = 0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        mean += scene.depth[i];
        known += scene.depth[i] != 0;
        if (!scored[i])
            continue;
        const double error = std::abs(static_cast<double>(out[i]) - scene.depth[i]);
        absolute += error;
        totals.squared += error * error;
        totals.leftAtZero += out[i] == 0;
        ++hidden;
    }
    mean /= static_cast<double>(std::max(known, 1LL));
    totals.absolute += absolute;
    totals.relative += hidden ? absolute / hidden / mean : 0;
    totals.hidden += hidden;
    totals.ms += Median(ms);
    ++totals.frames;
}

void Print(const Totals* totals);

// Every method on the k-th frame, into totals, the k-th method first so that the
// order turns from frame to frame; counts the frame's hidden pixels.
void ScoreFrame(const DepthScene& scene, const Mask& mask, int k, Totals* totals, long long& hidden, long long& cells)
{
    hidden += std::count(mask.begin(), mask.end(), 1);
    cells += static_cast<long long>(mask.size());
    for (int m = 0; m < MethodCount; ++m)
        Score(Methods[(m + k) % MethodCount], scene, mask, totals[(m + k) % MethodCount]);
}

enum class Holes { SensorLike, Camera, Shadows };

const char* NameOf(Holes holes)
{
    return holes == Holes::SensorLike ? "sensor-like holes"
           : holes == Holes::Camera   ? "holes of the depth camera's frames"
                                      : "occlusion shadows";
}

// The mask of the k-th of count frames: of the camera's frames (of the scene's
// size), one spread evenly over those there are, as the camera moves little
// from one to the next.
Mask MaskOf(Holes holes, const DepthScene& scene, const std::vector<Mask>& camera, int k, int count, unsigned seed)
{
    if (holes == Holes::Shadows)
        return scene.shadow;
    if (holes == Holes::SensorLike)
        return SensorHoles(scene.rows, scene.columns, seed);
    return camera[static_cast<std::size_t>(k) * camera.size() / static_cast<std::size_t>(count)];
}

// For the camera's holes, its frames' masks at rows x columns; where there are
// none, it says so. No masks for the other kinds.
std::vector<Mask> CameraMasks(Holes holes, int rows, int columns)
{
    if (holes != Holes::Camera)
        return {};
    std::vector<Mask> masks = CameraHoles(rows, columns);
    if (masks.empty())
        std::printf("\n(no depth camera's frames: visp-images-data gives them)\n");
    return masks;
}

void Measure(int rows, int columns, int scenes, Holes holes)
{
    Totals totals[MethodCount];
    long long hidden = 0, cells = 0;
    const std::vector<Mask> camera = CameraMasks(holes, rows, columns);
    if (holes == Holes::Camera && camera.empty())
        return;
    for (int s = 0; s < scenes; ++s) {
        const DepthScene scene = RenderDepthScene(rows, columns, 1000 + s);
        const Mask mask = MaskOf(holes, scene, camera, s, scenes, 2000 + s);
        ScoreFrame(scene, mask, s, totals, hidden, cells);
    }
    std::printf("\n%d x %d, %s: %d scenes, %.1f %% of the pixels hidden\n\n", columns, rows, NameOf(holes), scenes,
                100.0 * hidden / cells);
    Print(totals);
}

// The Aloe pair: its disparity (1 to 255, 0 unknown) as the depth, its left view
// as the colour frame.
void MeasureRealPair(int seeds, Holes holes)
{
    const std::string folder = "/usr/share/doc/opencv-doc/examples/data/";
    const cv::Mat truth = cv::imread(folder + "aloeGT.png", cv::IMREAD_UNCHANGED);
    const cv::Mat view = cv::imread(folder + "aloeL.jpg", cv::IMREAD_COLOR);
    if (truth.empty() || view.empty() || truth.type() != CV_8UC1 || truth.size() != view.size()) {
        std::printf("\n(no Aloe pair in %s: opencv-doc gives it)\n", folder.c_str());
        return;
    }
    DepthScene scene{truth.rows, truth.cols, {}, {}, {}, {}};
    scene.depth.assign(truth.begin<std::uint8_t>(), truth.end<std::uint8_t>());
    cv::Mat rgb;
    cv::cvtColor(view, rgb, cv::COLOR_BGR2RGB);
    scene.colour.assign(rgb.data, rgb.data + rgb.total() * 3);
    scene.textured = scene.colour;
    Totals totals[MethodCount];
    long long hidden = 0, cells = 0;
    const std::vector<Mask> camera = CameraMasks(holes, scene.rows, scene.columns);
    if (holes == Holes::Camera && camera.empty())
        return;
    for (int s = 0; s < seeds; ++s) {
        const Mask mask = MaskOf(holes, scene, camera, s, seeds, 3000 + s);
        ScoreFrame(scene, mask, s, totals, hidden, cells);
    }
    std::printf("\nAloe disparity with its left view, %d x %d, %s: %d masks, %.1f %% of the pixels hidden (MAE as "
                "a share of the mean disparity; RMSE in disparity levels)\n\n",
                scene.columns, scene.rows, NameOf(holes), seeds, 100.0 * hidden / cells);
    Print(totals);
}

void Print(const Totals* totals)
{
    std::printf("| method | MAE, %% of mean | RMSE, mm | left at 0 | ms a frame |\n|---|---:|---:|---:|---:|\n");
    for (int m = 0; m < MethodCount; ++m) {
        const Totals& t = totals[m];
        if (t.frames == 0)
            continue;
        std::printf("| %s | %.2f | %.0f | %.2f %% | %.2f |\n", Methods[m].name, 100 * t.relative / t.frames,
                    std::sqrt(t.squared / std::max(1LL, t.hidden)), 100.0 * t.leftAtZero / std::max(1LL, t.hidden),
                    t.ms / t.frames);
    }
    const double inpaint = std::min(totals[3].ms, totals[4].ms);
    std::printf("\nnearest: %.2f x the time of rows-columns; the faster inpainting takes %.0f x the time of nearest\n",
                totals[1].ms / totals[0].ms, inpaint / totals[1].ms);
    const auto named = [&](const char* name) {
        for (int m = 0; m < MethodCount; ++m)
            if (std::string(Methods[m].name) == name)
                return &totals[m];
        return static_cast<const Totals*>(nullptr);
    };
    const Totals* guided = named("darkfill guided, colour frame");
    const Totals* plain = named("plain solve of the guided system (sparse LU), colour frame");
    if (guided && plain)
        std::printf("guided, colour frame: %.2f x the error of nearest and %.3f x that of the plain solve, in %.2f x "
                    "its time\n",
                    guided->relative / totals[1].relative, guided->relative / plain->relative, guided->ms / plain->ms);
    const Totals* toolbox = named("the toolbox's system, every pixel (sparse LU), colour frame");
    if (guided && toolbox && toolbox->frames > 0)
        std::printf("guided, colour frame: %.2f x the error of the toolbox's system, in 1/%.0f of its time\n",
                    guided->relative / toolbox->relative, toolbox->ms / guided->ms);
}

}  // namespace

int main(int argc, char** argv)
{
    // One thread for every method, as darkfill's fills run.
    cv::setNumThreads(1);
    const int scenes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;
    for (const Holes holes : {Holes::SensorLike, Holes::Camera, Holes::Shadows}) {
        Measure(480, 640, scenes, holes);
        // The camera's frames are 640 x 480.
        if (holes != Holes::Camera)
            Measure(720, 1280, std::max(1, scenes / 2), holes);
    }
    MeasureRealPair(std::max(1, scenes / 2), Holes::SensorLike);
    MeasureRealPair(std::max(1, scenes / 2), Holes::Camera);
    return 0;
}
