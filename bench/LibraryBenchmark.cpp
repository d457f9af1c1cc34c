// The public interface on a stream of 640 x 480 16-bit depth frames: a Filler
// kept from frame to frame (the steady state), FillHoles alone (working memory
// of its own each call), the first two frames of a new Filler, and the first
// fills in a fresh process against the tenth, for the frame and for a 512 x 384
// 8-bit scanned picture as the window fills. Each figure is a median over
// interleaved passes or fresh processes.
//   build/bench/library_bench [PASSES]   the table
//   build/bench/library_bench --write FILE
//                                       the frames, raw native uint16, one after
//                                       another, for the Python benchmark
//   build/bench/library_bench --steady PASSES
//                                       the steady state alone: ns a frame
//   build/bench/library_bench --fresh [picture]
//                                       (the table's child) one fresh process:
//                                       ms of calls 1, 2 and 10 on the frame or
//                                       the picture

#include "darkfill/darkfill.h"
#include "testing/rasters/GeneratedRasters.h"
#include "bench/Median.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int Rows = 480;
constexpr int Columns = 640;
constexpr int Frames = 200;
constexpr std::size_t Cells = static_cast<std::size_t>(Rows) * Columns;

using Frame = std::vector<std::uint16_t>;

Frame DepthFrame(unsigned seed)
{
    const std::vector<std::int32_t> raster = DepthLikeRaster(Rows, Columns, 15, seed, 65535);
    return Frame(raster.begin(), raster.end());
}

std::vector<Frame> DepthFrames()
{
    std::vector<Frame> frames;
    for (int i = 0; i < Frames; ++i)
        frames.push_back(DepthFrame(1000 + i));
    return frames;
}

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

darkfill::RasterView<const std::uint16_t> In(const Frame& frame)
{
    return {frame.data(), Rows, Columns};
}

darkfill::RasterView<std::uint16_t> Out(Frame& frame)
{
    return {frame.data(), Rows, Columns};
}

// One pass over every frame; ms a frame.
double SteadyPass(darkfill::Filler& filler, const std::vector<Frame>& frames, Frame& out)
{
    const auto start = Clock::now();
    for (const Frame& frame : frames)
        filler.Fill(In(frame), Out(out));
    return Milliseconds(start) / static_cast<double>(frames.size());
}

double AlonePass(const std::vector<Frame>& frames, Frame& out)
{
    const auto start = Clock::now();
    for (const Frame& frame : frames)
        darkfill::FillHoles(In(frame), Out(out));
    return Milliseconds(start) / static_cast<double>(frames.size());
}

// Calls 1, 2 and 10 of a Filler in this process, on one raster made beforehand.
template <class Value>
int TimeCalls(const std::vector<Value>& raster, int rows, int columns)
{
    std::vector<Value> out(raster.size());
    darkfill::Filler filler;
    double calls[10];
    for (double& ms : calls) {
        const auto start = Clock::now();
        filler.Fill(darkfill::RasterView<const Value>(raster.data(), rows, columns),
                    darkfill::RasterView<Value>(out.data(), rows, columns));
        ms = Milliseconds(start);
    }
    std::printf("%.4f %.4f %.4f\n", calls[0], calls[1], calls[9]);
    return 0;
}

int Fresh(bool picture)
{
    if (!picture)
        return TimeCalls(DepthFrame(7), Rows, Columns);
    const std::vector<std::int32_t> scan = ScannedTextRaster(384, 512, 7);
    return TimeCalls(std::vector<std::uint8_t>(scan.begin(), scan.end()), 384, 512);
}

bool RunFresh(const char* self, bool picture, double& first, double& second, double& tenth)
{
    const std::string command = std::string(self) + " --fresh" + (picture ? " picture" : "");
    std::FILE* child = ::popen(command.c_str(), "r");
    if (!child)
        return false;
    const int read = std::fscanf(child, "%lf %lf %lf", &first, &second, &tenth);
    return ::pclose(child) == 0 && read == 3;
}

int Write(const char* path)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return 1;
    for (const Frame& frame : DepthFrames())
        std::fwrite(frame.data(), sizeof(std::uint16_t), frame.size(), file);
    return std::fclose(file) == 0 ? 0 : 1;
}

int Steady(int passes)
{
    const std::vector<Frame> frames = DepthFrames();
    Frame out(Cells);
    darkfill::Filler filler;
    SteadyPass(filler, frames, out);
    std::vector<double> ms;
    for (int p = 0; p < passes; ++p)
        ms.push_back(SteadyPass(filler, frames, out));
    std::printf("%.0f\n", Median(ms) * 1e6);
    return 0;
}

int Table(const char* self, int passes)
{
    const std::vector<Frame> frames = DepthFrames();
    Frame out(Cells);
    darkfill::Filler filler;
    SteadyPass(filler, frames, out);
    std::vector<double> steady, alone, newFirst, newSecond, first, second, tenth, pictureFirst, pictureTenth;
    for (int p = 0; p < passes; ++p) {
        steady.push_back(SteadyPass(filler, frames, out));
        alone.push_back(AlonePass(frames, out));
        darkfill::Filler fresh;
        for (std::vector<double>* calls : {&newFirst, &newSecond}) {
            const auto start = Clock::now();
            fresh.Fill(In(frames[calls == &newFirst ? p : p + 1]), Out(out));
            calls->push_back(Milliseconds(start));
        }
        double a = 0, b = 0, c = 0, pa = 0, pb = 0, pc = 0;
        if (!RunFresh(self, false, a, b, c) || !RunFresh(self, true, pa, pb, pc)) {
            std::fprintf(stderr, "library_bench: the fresh process failed\n");
            return 1;
        }
        first.push_back(a);
        second.push_back(b);
        tenth.push_back(c);
        pictureFirst.push_back(pa);
        pictureTenth.push_back(pc);
    }
    const double s = Median(steady);
    std::printf("640 x 480 uint16 depth frames, %d frames, medians of %d interleaved passes\n", Frames, passes);
    std::printf("%-44s %9s %9s\n", "", "ms", "x steady");
    const auto row = [s](const char* name, double ms) { std::printf("%-44s %9.3f %9.2f\n", name, ms, ms / s); };
    row("Filler, steady state", s);
    row("FillHoles alone (own working memory)", Median(alone));
    row("a new Filler: first frame", Median(newFirst));
    row("a new Filler: second frame", Median(newSecond));
    row("fresh process: first call", Median(first));
    row("fresh process: second call", Median(second));
    row("fresh process: tenth call", Median(tenth));
    std::printf("first call / tenth call in a fresh process: %.2f\n", Median(first) / Median(tenth));
    std::printf("512 x 384 8-bit scanned picture, fresh process: first call %.3f ms, tenth %.3f ms, ratio %.2f\n",
                Median(pictureFirst), Median(pictureTenth), Median(pictureFirst) / Median(pictureTenth));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--fresh") == 0)
        return Fresh(argc >= 3 && std::strcmp(argv[2], "picture") == 0);
    if (argc >= 3 && std::strcmp(argv[1], "--write") == 0)
        return Write(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "--steady") == 0)
        return Steady(std::max(1, std::atoi(argv[2])));
    return Table(argv[0], argc >= 2 ? std::max(1, std::atoi(argv[1])) : 15);
}
