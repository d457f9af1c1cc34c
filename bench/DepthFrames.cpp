#include "bench/DepthFrames.h"

#include "testing/rasters/GeneratedRasters.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using darkfill::files::Picture;
using darkfill::files::SampleType;

const char* const Folders[] = {"/usr/share/visp-images-data/ViSP-images/mbt-depth/castel/castel",
                               "/usr/share/visp-images-data/ViSP-images/mbt-depth/Castle-simu/Depth"};

bool ReadFrame(const std::filesystem::path& path, Picture& picture)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::uint32_t size[2] = {};
    if (bytes.size() < 8)
        return false;
    std::memcpy(size, bytes.data(), 8);
    picture = Picture(static_cast<int>(size[1]), static_cast<int>(size[0]), SampleType::U16);
    if (bytes.size() != 8 + picture.bytes.size())
        return false;
    std::memcpy(picture.bytes.data(), bytes.data() + 8, picture.bytes.size());  // little-endian, as this machine
    return true;
}

Picture Mirrored(const Picture& picture)
{
    Picture mirror(picture.width, picture.height, picture.type);
    for (int y = 0; y < picture.height; ++y)
        std::reverse_copy(picture.Row<std::uint16_t>(y), picture.Row<std::uint16_t>(y) + picture.width,
                          mirror.Row<std::uint16_t>(y));
    return mirror;
}

}  // namespace

std::vector<Picture> DepthFrames(int count, bool& real)
{
    std::vector<Picture> frames;
    for (const char* folder : Folders) {
        std::vector<std::filesystem::path> paths;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            if (entry.path().extension() == ".bin")
                paths.push_back(entry.path());
        std::sort(paths.begin(), paths.end());
        for (const auto& path : paths)
            if (Picture picture; ReadFrame(path, picture) && picture.width == 640 && picture.height == 480)
                frames.push_back(std::move(picture));
    }
    real = !frames.empty();
    for (unsigned seed = 1; frames.empty() || int(frames.size()) < count / 2; ++seed) {
        const std::vector<std::int32_t> raster = DepthLikeRaster(480, 640, 15, seed, 65535);
        Picture picture(640, 480, SampleType::U16);
        std::copy(raster.begin(), raster.end(), reinterpret_cast<std::uint16_t*>(picture.bytes.data()));
        frames.push_back(std::move(picture));
    }
    for (std::size_t i = 0; int(frames.size()) < count; ++i)
        frames.push_back(Mirrored(frames[i]));
    frames.resize(count);
    return frames;
}
