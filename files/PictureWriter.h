#pragma once

#include "files/Picture.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Encoding grey pictures and fill maps without a window system. A picture is
// refused (FileError naming the file) where the format cannot hold its values.
//
// Limitations
// - PNG and PGM hold 8 or 16-bit integers, BMP and PPM 8 bits, PFM 32-bit floats;
//   TIFF and NPY hold all four types of Picture. A float or int32 picture into a
//   format without them is a usage error; a 16-bit one into an 8-bit format a
//   plain failure (as with any picture that a format cannot hold).
// - PNG is written with each row's difference from the row above and libdeflate:
//   at the default level 2 about twice as fast as zlib's fastest level, whose
//   files it makes 15 % smaller on depth maps; WriteOptions gives other levels.
// - TIFF is written with Deflate and the matching predictor; PFM little-endian,
//   rows bottom to top; NPY version 1.0, C order, little-endian.

namespace darkfill::files {

enum class FileFormat { Png, Pgm, Ppm, Bmp, Tiff, Pfm, Npy };

// The format that a name's extension asks for (any case); nothing for a name
// without an extension or with one that names no format written here.
std::optional<FileFormat> FormatOfName(const std::string& name);

// The formats by name, "png, pgm, ppm, bmp, tif, tiff, pfm or npy", for messages.
std::string WritableExtensions();

// The format's first extension ("png", "tif", ...).
const char* ExtensionOf(FileFormat format);

// Whether the format holds pictures of the type.
bool Holds(FileFormat format, SampleType type);

// How hard PNG and TIFF are compressed: a level from 0 (none) to 12; -1 is the
// fast default (2). "Small" is 10, where libdeflate begins its near-optimal
// parsing: on real depth frames 0.86 times the bytes of zlib's level 6 in 3.6
// times its time, where 12 gained 1 % more for 2.5 times as long again.
struct WriteOptions {
    int level = -1;
};
inline constexpr int FastLevel = -1;
inline constexpr int SmallLevel = 10;

// A grey picture (one channel) as the bytes of a file of the format; name
// stands for the file in messages.
std::vector<std::uint8_t> EncodePicture(const Picture& picture, FileFormat format, const WriteOptions& options,
                                        const std::string& name);

// A picture of a few colours: each cell an index into the palette (0xRRGGBB),
// row after row. PGM and PFM, which hold no colours, are refused; NPY keeps the
// indexes.
std::vector<std::uint8_t> EncodePalette(int width, int height, std::span<const std::uint8_t> indexes,
                                        std::span<const std::uint32_t> palette, FileFormat format,
                                        const WriteOptions& options, const std::string& name);

// The encoders, by format.
std::vector<std::uint8_t> EncodePng(const Picture& picture, std::span<const std::uint32_t> palette, int level);
std::vector<std::uint8_t> EncodeTiff(const Picture& picture, std::span<const std::uint32_t> palette, int level,
                                     const std::string& name);

}  // namespace darkfill::files
