// Picture files at the speed of the fill: the file library's PNG reader and
// writer beside OpenCV's (libpng and zlib) on real 640 x 480 16-bit depth
// frames, and the float formats' costs. Each figure is the median of the
// rounds' per-frame means, the peers measured in turn within each round.
//   build/bench/file_bench [ROUNDS]        the tables
//   build/bench/file_bench --write FOLDER  the frames as PNG files, written by
//                                          OpenCV at its defaults, for
//                                          bench/file_batch.py

#include "bench/DepthFrames.h"
#include "bench/Median.h"
#include "files/ByteSource.h"
#include "files/PictureReader.h"
#include "files/PictureWriter.h"

#include <opencv2/imgcodecs.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace darkfill::files;
using Clock = std::chrono::steady_clock;
constexpr int FrameCount = 120;

cv::Mat MatOf(const Picture& picture)
{
    return cv::Mat(picture.height, picture.width, picture.type == SampleType::F32 ? CV_32F : CV_16U,
                   const_cast<std::uint8_t*>(picture.bytes.data()));
}

// The mean milliseconds a frame of one pass of `work` over the frames.
double PassMilliseconds(std::size_t frames, const std::function<void(std::size_t)>& work)
{
    const auto start = Clock::now();
    for (std::size_t i = 0; i < frames; ++i)
        work(i);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / double(frames);
}

struct Peer {
    const char* name;
    std::function<void(std::size_t)> work;
    std::vector<double> rounds;
    std::size_t bytes = 0;  // what a pass wrote, where it writes
};

void Measure(std::vector<Peer>& peers, std::size_t frames, int rounds)
{
    for (int round = 0; round < rounds; ++round)
        for (Peer& peer : peers)
            peer.rounds.push_back(PassMilliseconds(frames, peer.work));
}

int WriteFrames(const char* folder)
{
    bool real = false;
    const std::vector<Picture> frames = DepthFrames(FrameCount, real);
    std::filesystem::create_directories(folder);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame%03zu.png", i);
        if (!cv::imwrite(folder + std::string(name), MatOf(frames[i])))
            return 1;
    }
    std::printf("%zu %s 640 x 480 16-bit depth frames in %s\n", frames.size(), real ? "real" : "generated", folder);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--write")
        return WriteFrames(argv[2]);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    bool real = false;
    const std::vector<Picture> frames = DepthFrames(FrameCount, real);
    const std::size_t n = frames.size();
    std::vector<std::vector<std::uint8_t>> pngs(n);  // as OpenCV writes them at its defaults
    for (std::size_t i = 0; i < n; ++i)
        cv::imencode(".png", MatOf(frames[i]), pngs[i]);
    std::printf("%zu %s 640 x 480 16-bit depth frames, %d rounds\n\n", n, real ? "real" : "generated", rounds);

    std::vector<Peer> reading = {
        {"darkfill (libspng)", [&](std::size_t i) { ByteSource s(pngs[i], "f"); ReadPicture(s); }, {}},
        {"OpenCV imdecode (libpng)", [&](std::size_t i) { cv::imdecode(pngs[i], cv::IMREAD_UNCHANGED); }, {}},
    };
    Measure(reading, n, rounds);
    std::printf("| reading a PNG | ms a frame | against OpenCV |\n|---|---:|---:|\n");
    for (const Peer& peer : reading)
        std::printf("| %s | %.2f | %.2f |\n", peer.name, Median(peer.rounds), Median(peer.rounds) / Median(reading[1].rounds));

    std::vector<Peer> writing;
    for (const auto& [name, level] : {std::pair{"darkfill, fast (default)", FastLevel}, {"darkfill, small", SmallLevel}})
        writing.push_back({name, [&, level = level, at = writing.size()](std::size_t i) {
                               writing[at].bytes += EncodePicture(frames[i], FileFormat::Png, {.level = level}, "f").size();
                           },
                           {}});
    for (const auto& [name, level] : {std::pair{"OpenCV, default (level 1)", -1}, {"OpenCV, level 6", 6}})
        writing.push_back({name, [&, level = level, at = writing.size()](std::size_t i) {
                               std::vector<uchar> out;
                               std::vector<int> options;
                               if (level >= 0)
                                   options = {cv::IMWRITE_PNG_COMPRESSION, level};
                               cv::imencode(".png", MatOf(frames[i]), out, options);
                               writing[at].bytes += out.size();
                           },
                           {}});
    Measure(writing, n, rounds);
    const double level6 = double(writing[3].bytes);
    std::printf("\n| encoding a PNG | ms a frame | against OpenCV's default | bytes a frame | against OpenCV's level 6 |\n"
                "|---|---:|---:|---:|---:|\n");
    for (const Peer& peer : writing)
        std::printf("| %s | %.2f | %.2f | %.0f | %.3f |\n", peer.name, Median(peer.rounds),
                    Median(peer.rounds) / Median(writing[2].rounds), double(peer.bytes) / double(rounds * n),
                    double(peer.bytes) / level6);

    // Depth in metres as float32, 0 where unknown, in each format that holds it.
    std::vector<Picture> metres;
    for (const Picture& frame : frames) {
        Picture m(frame.width, frame.height, SampleType::F32);
        const auto* mm = reinterpret_cast<const std::uint16_t*>(frame.bytes.data());
        auto* to = reinterpret_cast<float*>(m.bytes.data());
        for (std::size_t i = 0; i < std::size_t(frame.Pixels()); ++i)
            to[i] = float(mm[i]) / 1000.0f;
        metres.push_back(std::move(m));
    }
    std::printf("\n| float32 depth | writing, ms a frame | reading, ms a frame | bytes a frame |\n|---|---:|---:|---:|\n");
    for (const FileFormat format : {FileFormat::Pfm, FileFormat::Tiff, FileFormat::Npy}) {
        std::vector<std::vector<std::uint8_t>> files(n);
        std::vector<Peer> work = {
            {"write", [&](std::size_t i) { files[i] = EncodePicture(metres[i], format, {}, "f"); }, {}},
            {"read", [&](std::size_t i) { ByteSource s(files[i], "f"); ReadPicture(s); }, {}},
        };
        Measure(work, n, rounds);
        std::size_t bytes = 0;
        for (const auto& file : files)
            bytes += file.size();
        std::printf("| %s | %.2f | %.2f | %zu |\n", ExtensionOf(format), Median(work[0].rounds), Median(work[1].rounds),
                    bytes / n);
    }
    return 0;
}
