#pragma once

#include "files/ByteSource.h"
#include "files/Picture.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// Reading pictures without a window system, safely: any failure raises FileError
// naming the file and saying why (damaged, too large, not enough memory, not a
// picture), and a picture's size is refused from its header, before its data is
// decoded.
//
// Limitations
// - Formats, told by their content: PNG (libspng); PGM, PPM and PBM, 8 or 16 bits
//   a value, binary or text; PFM, grey or colour, either byte order; TIFF
//   (libtiff) of 1, 8 or 16-bit integers, 32-bit integers or 32-bit floats, grey,
//   palette or RGB(A), in strips or tiles; numpy's NPY, 2-D uint8, uint16, int32
//   or float32 in either byte order, C or Fortran order. Other formats go to the
//   foreign reader, where one is set (SetForeignReader).
// - Grey, the blue channel: a colour picture's grey is its blue sample, as
//   stored (transparency does not change it); a palette picture's, its colours'
//   blue. Values are kept as stored, never scaled to a maximum (a PGM's maximum,
//   a PNG's significant bits), except that PNG's and PBM's values below 8 bits
//   widen to 8 (1 becomes 255) and a white-is-zero TIFF turns over.
// - Cost: decoding takes time and memory in proportion to the pixels that the
//   header claims; the rest of a file is read at most once without decoding (a
//   PNG's after its last row is only checksummed, its text within 1 MiB in all).
//   Files of more than MaximumFileBytes are refused.

namespace darkfill::files {

struct ReadLimits {
    // Pictures of more pixels are refused from their header.
    long long maximumPixels = 1LL << 28;
    // What the refusal of a picture beyond maximumPixels adds, given its pixels and
    // its bytes a sample (1, 2 or 4): the memory that its use would take, say, and
    // how to raise the limit. Nothing where empty.
    std::function<std::string(long long pixels, int sampleBytes)> beyondLimit = {};
};

// Refuses a picture whose header gives more pixels than the limits allow, naming
// the file, its size and the limit.
[[noreturn]] void FailTooManyPixels(const std::string& name, long long width, long long height,
                                    const ReadLimits& limits, int sampleBytes);

// How a picture is taken: as grey (one channel, by the blue-channel rule), or as
// colour (grey stays one channel; colour becomes RGB, or RGBA where the file has
// transparency).
enum class ReadAs { Grey, Colour };

// The formats of this library's own readers.
enum class PictureFormat { Png, Netpbm, Pfm, Tiff, Npy, Foreign };

// The format that a file's first bytes (up to 16) show: Foreign for others.
PictureFormat FormatOfStart(std::span<const std::uint8_t> start);

// Reads the picture that the source holds.
Picture ReadPicture(ByteSource& source, const ReadLimits& limits = {}, ReadAs as = ReadAs::Grey);

// A reader for formats that this library does not read itself (BMP, JPEG, GIF,
// ...), set by a program that has one.
class ForeignReader
{
public:
    virtual ~ForeignReader() = default;
    // Whether the bytes begin as a picture that it reads; where they do, and the
    // size shows in them, a picture of more pixels than the limit is refused.
    virtual bool Recognises(std::span<const std::uint8_t> start, const std::string& name,
                            const ReadLimits& limits) const = 0;
    // The picture that the bytes of a whole file hold.
    virtual Picture Decode(const std::vector<std::uint8_t>& bytes, const std::string& name, const ReadLimits& limits,
                           ReadAs as) const = 0;
};

// The foreign reader that ReadPicture hands other formats to; null: none, and
// such files are refused as no picture that can be read here. The reader must
// outlive its use; a getter may load it when it is first asked for.
void SetForeignReader(const ForeignReader* (*getter)());

// The picture that a whole file's bytes hold, by the foreign reader; FileError
// where there is none or it does not read them.
Picture ReadForeignBytes(const std::vector<std::uint8_t>& bytes, const std::string& name, const ReadLimits& limits,
                         ReadAs as);

// The decoders, for those who know the format.
Picture ReadPng(ByteSource& source, const ReadLimits& limits, ReadAs as);
Picture ReadNetpbm(ByteSource& source, const ReadLimits& limits, ReadAs as);
Picture ReadPfm(ByteSource& source, const ReadLimits& limits, ReadAs as);
Picture ReadTiff(ByteSource& source, const ReadLimits& limits, ReadAs as);
Picture ReadNpy(ByteSource& source, const ReadLimits& limits);

// The blue channel of a colour picture as a grey one, in place; grey with alpha
// keeps its grey, grey stays.
void KeepBlueChannel(Picture& picture);

}  // namespace darkfill::files
