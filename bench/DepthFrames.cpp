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

std::vector<std::filesystem::path> FramePaths(const char* folder)
{
    std::vector<std::filesystem::path> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".bin")
            paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The frame's 0 pixels but its largest group, with the border's columns of 0.
std::vector<std::uint8_t> HolesInRange(const Picture& frame)
{
    const int rows = frame.height, columns = frame.width;
    const auto zero = [&](int y, int x) { return frame.Row<std::uint16_t>(y)[x] == 0; };
    std::vector<int> group(static_cast<std::size_t>(rows) * columns, -1);
    std::vector<std::size_t> sizes;
    std::vector<std::size_t> stack;
    for (std::size_t start = 0; start < group.size(); ++start) {
        if (group[start] >= 0 || !zero(static_cast<int>(start / columns), static_cast<int>(start % columns)))
            continue;
        const int id = static_cast<int>(sizes.size());
        sizes.push_back(0);
        group[start] = id;
        stack.assign(1, start);
        while (!stack.empty()) {
            const std::size_t at = stack.back();
            stack.pop_back();
            ++sizes[id];
            const int y = static_cast<int>(at / columns), x = static_cast<int>(at % columns);
            for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, rows - 1); ++ny)
                for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, columns - 1); ++nx) {
                    const std::size_t n = static_cast<std::size_t>(ny) * columns + nx;
                    if (group[n] < 0 && zero(ny, nx)) {
                        group[n] = id;
                        stack.push_back(n);
                    }
                }
        }
    }
    const int largest = static_cast<int>(std::max_element(sizes.begin(), sizes.end()) - sizes.begin());
    const auto allZero = [&](int x) {
        for (int y = 0; y < rows; ++y)
            if (!zero(y, x))
                return false;
        return true;
    };
    std::vector<bool> band(static_cast<std::size_t>(columns), false);
    for (int x = 0; x < columns && allZero(x); ++x)
        band[x] = true;
    for (int x = columns - 1; x >= 0 && allZero(x); --x)
        band[x] = true;
    std::vector<std::uint8_t> holes(group.size());
    for (std::size_t i = 0; i < holes.size(); ++i)
        holes[i] = group[i] >= 0 && (group[i] != largest || band[i % columns]);
    return holes;
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
        for (const auto& path : FramePaths(folder))
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

std::vector<std::vector<std::uint8_t>> CameraHoles(int rows, int columns)
{
    std::vector<std::vector<std::uint8_t>> masks;
    for (const auto& path : FramePaths(Folders[0])) {
        Picture frame;
        if (!ReadFrame(path, frame) || frame.width < 1 || frame.height < 1)
            continue;
        const std::vector<std::uint8_t> holes = HolesInRange(frame);
        std::vector<std::uint8_t>& mask = masks.emplace_back(static_cast<std::size_t>(rows) * columns);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                mask[static_cast<std::size_t>(y) * columns + x] =
                    holes[static_cast<std::size_t>(y * frame.height / rows) * frame.width + x * frame.width / columns];
    }
    return masks;
}
