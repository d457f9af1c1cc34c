// TIFF through libtiff, which reads what a picture needs and no more: the first
// directory, then its strips or tiles. Its messages are kept, never printed.

#include "files/PictureReader.h"
#include "files/TiffOptions.h"

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace darkfill::files {

namespace {

// The file, at its place on disk or in memory, as libtiff's procedures see it.
struct TiffInput {
    int descriptor = -1;
    std::vector<std::uint8_t> bytes;  // where there is no descriptor
    toff_t size = 0;
    toff_t at = 0;
};

tmsize_t ReadInput(thandle_t handle, void* to, tmsize_t count)
{
    auto& input = *static_cast<TiffInput*>(handle);
    if (count <= 0 || input.at >= input.size)
        return 0;
    const std::size_t wanted = std::min<toff_t>(static_cast<toff_t>(count), input.size - input.at);
    ssize_t got = 0;
    if (input.descriptor >= 0) {
        do
            got = ::pread(input.descriptor, to, wanted, static_cast<off_t>(input.at));
        while (got < 0 && errno == EINTR);
        if (got < 0)
            return -1;
    } else {
        std::memcpy(to, input.bytes.data() + input.at, wanted);
        got = static_cast<ssize_t>(wanted);
    }
    input.at += static_cast<toff_t>(got);
    return got;
}

tmsize_t RefuseWriting(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t SeekInput(thandle_t handle, toff_t offset, int whence)
{
    auto& input = *static_cast<TiffInput*>(handle);
    const toff_t base = whence == SEEK_CUR ? input.at : whence == SEEK_END ? input.size : 0;
    input.at = base + offset;
    return input.at;
}

toff_t SizeOfInput(thandle_t handle)
{
    return static_cast<TiffInput*>(handle)->size;
}

struct Layout {
    SampleType type;
    int bits;           // bits a sample in the file
    int samples;        // a pixel's
    bool separate;      // planes one after another
    bool whiteIsZero;
    std::vector<int> wanted;  // the samples kept, in order (blue alone, grey, or R G B)
    bool palette;
};

// The layouts read here; others are no TIFF that this reader takes.
std::optional<Layout> LayoutOf(TIFF* tiff, ReadAs as)
{
    std::uint16_t bits = 1, samples = 1, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_MINISBLACK,
                  planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;

    Layout layout{SampleType::U8, bits, samples, planar == PLANARCONFIG_SEPARATE, false, {}, false};
    const bool whole = format == SAMPLEFORMAT_UINT || format == SAMPLEFORMAT_VOID;
    if (bits == 1 && whole)
        layout.type = SampleType::U8;
    else if (bits == 8 && whole)
        layout.type = SampleType::U8;
    else if (bits == 16 && whole)
        layout.type = SampleType::U16;
    else if (bits == 32 && format == SAMPLEFORMAT_INT)
        layout.type = SampleType::I32;
    else if (bits == 32 && format == SAMPLEFORMAT_IEEEFP)
        layout.type = SampleType::F32;
    else
        return std::nullopt;

    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        layout.whiteIsZero = photometric == PHOTOMETRIC_MINISWHITE && layout.type != SampleType::F32;
        layout.wanted = {0};
        return samples >= 1 ? std::optional(layout) : std::nullopt;
    case PHOTOMETRIC_RGB:
        if (samples < 3 || bits == 1)
            return std::nullopt;
        layout.wanted = as == ReadAs::Grey ? std::vector<int>{2} : std::vector<int>{0, 1, 2};
        return layout;
    case PHOTOMETRIC_PALETTE:
        if (bits != 8 || samples != 1)
            return std::nullopt;
        layout.palette = true;
        layout.wanted = {0};
        return layout;
    default:
        return std::nullopt;
    }
}

// One row of samples of one plane (or all, interleaved), as the file has them,
// into the picture's row: the wanted samples, widened from bits where needed.
void TakeRow(const Layout& layout, const std::uint8_t* from, int firstPixel, int pixels, int plane,
             Picture& picture, int y)
{
    const int size = BytesOf(layout.type);
    const int stride = layout.separate ? 1 : layout.samples;
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    if (stride == 1 && picture.channels == 1 && layout.bits != 1 && !layout.whiteIsZero) {  // grey as it is
        std::memcpy(row + std::size_t(firstPixel) * size, from, std::size_t(pixels) * size);
        return;
    }
    for (std::size_t k = 0; k < layout.wanted.size(); ++k) {
        const int sample = layout.wanted[k];
        if (layout.separate && sample != plane)
            continue;
        const int offset = layout.separate ? 0 : sample;
        for (int x = 0; x < pixels; ++x) {
            std::uint8_t* to = row + (std::size_t(firstPixel + x) * picture.channels + k) * size;
            if (layout.bits == 1) {
                const int bit = from[x / 8] >> (7 - x % 8) & 1;
                *to = (bit != 0) != layout.whiteIsZero ? 255 : 0;
                continue;
            }
            std::memcpy(to, from + (std::size_t(x) * stride + offset) * size, size);
            if (layout.whiteIsZero && size == 1)
                *to = static_cast<std::uint8_t>(255 - *to);
            else if (layout.whiteIsZero && size == 2)
                *reinterpret_cast<std::uint16_t*>(to) = static_cast<std::uint16_t>(65535 - *reinterpret_cast<std::uint16_t*>(to));
        }
    }
}

using TiffHandle = std::unique_ptr<TIFF, decltype(&TIFFClose)>;

// Whole strips at a time, which libtiff inflates in one call (with libdeflate):
// on float depth frames a third of the time that row after row took.
void ReadStrips(TIFF* tiff, const Layout& layout, Picture& picture, std::size_t largest,
                const std::function<void(const char*)>& fail)
{
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, std::uint32_t(picture.height));
    const std::size_t rowBytes = static_cast<std::size_t>(TIFFScanlineSize64(tiff));
    if (rowBytes == 0)
        fail(nullptr);
    // A header may claim thousands of samples a pixel: the strip it implies is
    // refused before it is allocated, as libtiff's own buffers are.
    if (rowBytes > largest / rowsPerStrip)
        fail("its strips are larger than any picture read here needs");
    std::vector<std::uint8_t> strip(rowBytes * rowsPerStrip);
    const int planes = layout.separate ? layout.samples : 1;
    for (int plane = 0; plane < planes; ++plane) {
        if (layout.separate && std::find(layout.wanted.begin(), layout.wanted.end(), plane) == layout.wanted.end())
            continue;
        for (std::uint32_t top = 0; top < std::uint32_t(picture.height); top += rowsPerStrip) {
            const std::uint32_t rows = std::min<std::uint32_t>(rowsPerStrip, picture.height - top);
            const tmsize_t wanted = static_cast<tmsize_t>(rowBytes * rows);
            if (TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, top, static_cast<std::uint16_t>(plane)), strip.data(),
                                     wanted) < wanted)
                fail(nullptr);
            for (std::uint32_t y = 0; y < rows; ++y)
                TakeRow(layout, strip.data() + rowBytes * y, 0, picture.width, plane, picture, static_cast<int>(top + y));
        }
    }
}

void ReadTiles(TIFF* tiff, const Layout& layout, Picture& picture, std::size_t largest,
               const std::function<void(const char*)>& fail)
{
    std::uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    const tmsize_t tileBytes = TIFFTileSize(tiff);
    if (tileWidth == 0 || tileHeight == 0 || tileBytes <= 0)
        fail(nullptr);
    if (static_cast<std::size_t>(tileBytes) > largest)
        fail("its tiles are larger than any picture read here needs");
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(tileBytes));
    const std::size_t rowBytes = static_cast<std::size_t>(TIFFTileRowSize(tiff));
    const int planes = layout.separate ? layout.samples : 1;
    for (int plane = 0; plane < planes; ++plane) {
        if (layout.separate && std::find(layout.wanted.begin(), layout.wanted.end(), plane) == layout.wanted.end())
            continue;
        for (std::uint32_t top = 0; top < std::uint32_t(picture.height); top += tileHeight)
            for (std::uint32_t left = 0; left < std::uint32_t(picture.width); left += tileWidth) {
                if (TIFFReadTile(tiff, tile.data(), left, top, 0, static_cast<std::uint16_t>(plane)) < 0)
                    fail(nullptr);
                const int across = static_cast<int>(std::min<std::uint32_t>(tileWidth, picture.width - left));
                const int down = static_cast<int>(std::min<std::uint32_t>(tileHeight, picture.height - top));
                for (int y = 0; y < down; ++y)
                    TakeRow(layout, tile.data() + rowBytes * y, static_cast<int>(left), across, plane, picture,
                            static_cast<int>(top) + y);
            }
    }
}

// A palette picture's colours: each index becomes its colour's blue (grey) or
// its red, green and blue (colour), 8 bits of each.
void ApplyPalette(TIFF* tiff, Picture& picture, ReadAs as, const std::function<void(const char*)>& fail)
{
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue))
        fail(nullptr);
    const std::size_t pixels = std::size_t(picture.width) * picture.height;
    if (as == ReadAs::Grey) {
        for (std::size_t i = 0; i < pixels; ++i)
            picture.bytes[i] = static_cast<std::uint8_t>(blue[picture.bytes[i]] >> 8);
        return;
    }
    Picture colour(picture.width, picture.height, SampleType::U8, 3);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t index = picture.bytes[i];
        colour.bytes[3 * i] = static_cast<std::uint8_t>(red[index] >> 8);
        colour.bytes[3 * i + 1] = static_cast<std::uint8_t>(green[index] >> 8);
        colour.bytes[3 * i + 2] = static_cast<std::uint8_t>(blue[index] >> 8);
    }
    picture = std::move(colour);
}

}  // namespace

Picture ReadTiff(ByteSource& source, const ReadLimits& limits, ReadAs as)
{
    const std::string& name = source.Name();
    TiffInput input;
    // A regular file is read in place at the offsets libtiff asks for, which
    // leaves the source where it was: the foreign reader can still take it all.
    input.descriptor = source.SeekableDescriptor();
    struct stat status {};
    if (input.descriptor >= 0 && ::fstat(input.descriptor, &status) == 0) {
        input.size = static_cast<toff_t>(status.st_size);
    } else {
        input.descriptor = -1;
        input.bytes = source.ReadRest();
        input.size = input.bytes.size();
    }

    std::string error;
    const TiffOpenOptions options = KeepingFirstError(error);
    // No single allocation, libtiff's or ours, beyond what the largest
    // picture's strip could need (four samples of four bytes a pixel).
    const std::size_t largest = std::max<std::size_t>(64 << 20, static_cast<std::size_t>(limits.maximumPixels) * 16);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(largest));
    const TiffHandle tiff(TIFFClientOpenExt(name.c_str(), "rm", &input, ReadInput, RefuseWriting, SeekInput,
                                            CloseNothing, SizeOfInput, NoMapping, NoUnmapping, options.get()),
                          TIFFClose);
    const auto fail = [&](const char* why) {
        FailDamaged(name, why ? why : error.empty() ? "its picture data cannot be read" : error);
    };
    if (!tiff)
        fail(nullptr);

    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) ||
        width == 0 || height == 0)
        FailDamaged(name, "its header is not valid");
    if (static_cast<long long>(width) * height > limits.maximumPixels) {
        std::uint16_t bits = 8;
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
        FailTooManyPixels(name, width, height, limits, std::max(1, (bits + 7) / 8));
    }
    const std::optional<Layout> layout = LayoutOf(tiff.get(), as);
    if (!layout)  // JPEG-compressed, CMYK, ...: the foreign reader's, where there is one
        return ReadForeignBytes(input.descriptor >= 0 ? source.ReadRest() : input.bytes, name, limits, as);

    Picture picture(static_cast<int>(width), static_cast<int>(height), layout->type,
                    static_cast<int>(layout->wanted.size()));
    if (TIFFIsTiled(tiff.get()))
        ReadTiles(tiff.get(), *layout, picture, largest, fail);
    else
        ReadStrips(tiff.get(), *layout, picture, largest, fail);
    if (layout->palette)
        ApplyPalette(tiff.get(), picture, as, fail);
    return picture;
}

}  // namespace darkfill::files
