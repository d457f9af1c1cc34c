// TIFF written through libtiff into memory: one directory, strips of about 64
// KiB, Deflate with the horizontal predictor (floating-point for floats).

#include "files/FileError.h"
#include "files/FileNames.h"
#include "files/PictureWriter.h"
#include "files/TiffOptions.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace darkfill::files {

namespace {

struct TiffOutput {
    std::vector<std::uint8_t> bytes;
    toff_t at = 0;
};

tmsize_t ReadOutput(thandle_t handle, void* to, tmsize_t count)
{
    auto& output = *static_cast<TiffOutput*>(handle);
    const toff_t available = output.at < output.bytes.size() ? output.bytes.size() - output.at : 0;
    const std::size_t got = std::min<toff_t>(available, static_cast<toff_t>(count));
    std::memcpy(to, output.bytes.data() + output.at, got);
    output.at += got;
    return static_cast<tmsize_t>(got);
}

tmsize_t WriteOutput(thandle_t handle, void* from, tmsize_t count)
{
    auto& output = *static_cast<TiffOutput*>(handle);
    const std::size_t end = output.at + static_cast<std::size_t>(count);
    if (end > output.bytes.size())
        output.bytes.resize(end);
    std::memcpy(output.bytes.data() + output.at, from, static_cast<std::size_t>(count));
    output.at = end;
    return count;
}

toff_t SeekOutput(thandle_t handle, toff_t offset, int whence)
{
    auto& output = *static_cast<TiffOutput*>(handle);
    const toff_t base = whence == SEEK_CUR ? output.at : whence == SEEK_END ? output.bytes.size() : 0;
    output.at = base + offset;
    return output.at;
}

toff_t SizeOfOutput(thandle_t handle)
{
    return static_cast<TiffOutput*>(handle)->bytes.size();
}

}  // namespace

std::vector<std::uint8_t> EncodeTiff(const Picture& picture, std::span<const std::uint32_t> palette, int level,
                                     const std::string& name)
{
    TiffOutput output;
    std::string error;
    const TiffOpenOptions options = KeepingFirstError(error);
    const bool big = picture.bytes.size() > (std::size_t(1) << 31);
    std::unique_ptr<TIFF, decltype(&TIFFClose)> tiff(
        TIFFClientOpenExt(name.c_str(), big ? "w8" : "w", &output, ReadOutput, WriteOutput, SeekOutput, CloseNothing,
                          SizeOfOutput, NoMapping, NoUnmapping, options.get()),
        TIFFClose);
    const auto fail = [&] {
        throw FileError("Cannot write " + QuotedName(name) + ": " + (error.empty() ? "the TIFF encoder failed" : error) +
                        ".");
    };
    if (!tiff)
        fail();
    TIFF* t = tiff.get();
    const int bits = BytesOf(picture.type) * 8;
    const int format = picture.type == SampleType::F32   ? SAMPLEFORMAT_IEEEFP
                       : picture.type == SampleType::I32 ? SAMPLEFORMAT_INT
                                                         : SAMPLEFORMAT_UINT;
    const std::size_t rowBytes = picture.RowBytes();
    const std::uint32_t rowsPerStrip = static_cast<std::uint32_t>(std::max<std::size_t>(1, (64 << 10) / rowBytes));
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(picture.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(picture.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, palette.empty() ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    TIFFSetField(t, TIFFTAG_COMPRESSION, level == 0 ? COMPRESSION_NONE : COMPRESSION_ADOBE_DEFLATE);
    if (level != 0) {
        TIFFSetField(t, TIFFTAG_PREDICTOR, picture.type == SampleType::F32 ? PREDICTOR_FLOATINGPOINT : PREDICTOR_HORIZONTAL);
        TIFFSetField(t, TIFFTAG_ZIPQUALITY, level < 0 ? 2 : level);
    }
    std::vector<std::uint16_t> red(256), green(256), blue(256);
    if (!palette.empty()) {
        for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
            red[i] = static_cast<std::uint16_t>((palette[i] >> 16 & 0xff) * 257);
            green[i] = static_cast<std::uint16_t>((palette[i] >> 8 & 0xff) * 257);
            blue[i] = static_cast<std::uint16_t>((palette[i] & 0xff) * 257);
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    std::vector<std::uint8_t> strip;
    for (std::uint32_t top = 0, index = 0; top < std::uint32_t(picture.height); top += rowsPerStrip, ++index) {
        const std::uint32_t rows = std::min<std::uint32_t>(rowsPerStrip, picture.height - top);
        // libtiff's predictors change the data they are given: a copy.
        strip.assign(picture.Row<std::uint8_t>(int(top)), picture.Row<std::uint8_t>(int(top)) + rowBytes * rows);
        if (TIFFWriteEncodedStrip(t, index, strip.data(), static_cast<tmsize_t>(strip.size())) < 0)
            fail();
    }
    if (!TIFFWriteDirectory(t))
        fail();
    tiff.reset();
    if (!error.empty())
        fail();
    return std::move(output.bytes);
}

}  // namespace darkfill::files
