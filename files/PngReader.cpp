// PNG through libspng, read as a stream: the header first (a size beyond the
// limit is refused there), then the rows, inflated once and no further than
// they need; the rest of the file is only checksummed, up to its end mark.

#include "files/FileError.h"
#include "files/FileNames.h"
#include "files/PictureReader.h"

#include <libdeflate.h>
#include <spng.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

namespace darkfill::files {

namespace {

bool IsChunkType(const std::uint8_t* type)
{
    for (int i = 0; i < 4; ++i)
        if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z')))
            return false;
    return true;
}

// What all ancillary chunks together may hold once inflated (text, colour
// profile, ...): the fill needs none of it, and a file must not make the reader
// inflate more than its pixels.
constexpr std::size_t AncillaryBytes = 4u << 20;

// The file as libspng reads it, and the chunk it is in: enough to tell, where
// the image data turns out corrupt, whether the file was damaged after it was
// written (its chunk's checksum fails) or written so.
struct Stream {
    ByteSource& source;
    std::exception_ptr failure;  // what the source raised, carried past libspng's C
    char chunkType[5] = {};      // the chunk being read
    std::uint32_t chunkLeft = 0; // its bytes not yet read
    std::uint32_t checksum = 0;  // of its type and the bytes read so far

    void Note(const std::uint8_t* bytes, std::size_t length)
    {
        // In a stream libspng reads each chunk's length and type in one read of
        // 8 bytes, its data in reads within it, its checksum in one of 4.
        if (chunkLeft == 0 && length == 8 && IsChunkType(bytes + 4)) {
            std::memcpy(chunkType, bytes + 4, 4);
            chunkLeft = std::uint32_t(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
            checksum = static_cast<std::uint32_t>(libdeflate_crc32(0, bytes + 4, 4));
        } else if (length <= chunkLeft) {
            checksum = static_cast<std::uint32_t>(libdeflate_crc32(checksum, bytes, length));
            chunkLeft -= static_cast<std::uint32_t>(length);
        }
    }

    // Reads the rest of the chunk being read and its checksum: whether they
    // disagree.
    bool ChunkChecksumFails()
    {
        try {
            std::uint8_t part[4096];
            while (chunkLeft > 0) {
                const std::size_t length = std::min<std::size_t>(chunkLeft, sizeof part);
                source.ReadExactly(part, length);
                Note(part, length);
            }
            source.ReadExactly(part, 4);
            return (std::uint32_t(part[0]) << 24 | part[1] << 16 | part[2] << 8 | part[3]) != checksum;
        } catch (const FileError&) {
            return false;
        }
    }
};


int ReadStream(spng_ctx*, void* user, void* to, std::size_t length)
{
    auto& stream = *static_cast<Stream*>(user);
    try {
        if (stream.source.Read(to, length) != length)
            return SPNG_IO_EOF;
    } catch (...) {
        stream.failure = std::current_exception();
        return SPNG_IO_ERROR;
    }
    stream.Note(static_cast<const std::uint8_t*>(to), length);
    return 0;
}

[[noreturn]] void Fail(Stream& stream, int error)
{
    if (stream.failure)
        std::rethrow_exception(stream.failure);
    const std::string& name = stream.source.Name();
    switch (error) {
    case SPNG_IO_EOF:
    case SPNG_EIDAT_TOO_SHORT:
        FailTruncated(name);
    case SPNG_EMEM:
        throw std::bad_alloc();
    case SPNG_ECHUNK_CRC:
        FailDamaged(name, std::string("its ") + stream.chunkType + " chunk does not match its checksum");
    case SPNG_EZLIB:
    case SPNG_EIDAT_STREAM:
    case SPNG_EFILTER:
        if (stream.ChunkChecksumFails())
            FailDamaged(name, std::string("its ") + stream.chunkType + " chunk does not match its checksum");
        FailDamaged(name, std::string("its image data is corrupt (") + spng_strerror(error) + ")");
    case SPNG_ECHUNK_LIMITS:
        throw FileError(QuotedName(name) + " carries more than " + std::to_string(AncillaryBytes >> 20) +
                        " MiB of text or other data beside its picture, or more than 1000 such chunks; "
                        "such a file is refused.");
    default:
        FailDamaged(name, spng_strerror(error));
    }
}

struct Layout {
    int format;          // libspng's output format
    int channels;        // in the decoded rows
    SampleType type;
    int keptChannels;    // in the picture given back
};

Layout LayoutOf(const spng_ihdr& header, ReadAs as)
{
    const bool deep = header.bit_depth == 16;
    const SampleType type = deep ? SampleType::U16 : SampleType::U8;
    const bool grey = as == ReadAs::Grey;
    // The file's own layout wherever it is whole bytes (libspng gives 16-bit
    // samples in the machine's order); palettes and grey below 8 bits widened.
    switch (header.color_type) {
    case SPNG_COLOR_TYPE_GRAYSCALE:
        return {deep ? SPNG_FMT_PNG : SPNG_FMT_G8, 1, type, 1};
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
        return {SPNG_FMT_PNG, 2, type, grey ? 1 : 4};
    case SPNG_COLOR_TYPE_TRUECOLOR:
        return {SPNG_FMT_PNG, 3, type, grey ? 1 : 3};
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
        return {SPNG_FMT_PNG, 4, type, grey ? 1 : 4};
    default:  // a palette
        return {SPNG_FMT_RGBA8, 4, SampleType::U8, grey ? 1 : 4};
    }
}

// Grey with alpha spread over RGBA, in place, back to front.
template <class Sample>
void SpreadGreyOverColour(Picture& picture)
{
    const std::size_t pixels = std::size_t(picture.width) * std::size_t(picture.height);
    auto* cells = reinterpret_cast<Sample*>(picture.bytes.data());
    for (std::size_t i = pixels; i-- > 0;) {
        const Sample grey = cells[i * 2], alpha = cells[i * 2 + 1];
        cells[i * 4] = cells[i * 4 + 1] = cells[i * 4 + 2] = grey;
        cells[i * 4 + 3] = alpha;
    }
    picture.channels = 4;
}

}  // namespace

Picture ReadPng(ByteSource& source, const ReadLimits& limits, ReadAs as)
{
    const std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> context(spng_ctx_new(0), spng_ctx_free);
    if (!context)
        throw std::bad_alloc();
    spng_ctx* ctx = context.get();
    Stream stream{source, nullptr, {}};
    constexpr std::uint32_t LargestSide = 0x7fffffff;  // PNG's own limit: the size is ours to refuse
    spng_set_png_stream(ctx, ReadStream, &stream);
    spng_set_image_limits(ctx, LargestSide, LargestSide);
    spng_set_chunk_limits(ctx, AncillaryBytes, AncillaryBytes);
    spng_set_crc_action(ctx, SPNG_CRC_ERROR, SPNG_CRC_DISCARD);

    spng_ihdr header{};
    if (const int error = spng_get_ihdr(ctx, &header))
        Fail(stream, error);
    if (static_cast<long long>(header.width) * header.height > limits.maximumPixels)
        FailTooManyPixels(source.Name(), header.width, header.height, limits, header.bit_depth > 8 ? 2 : 1);

    const Layout layout = LayoutOf(header, as);
    Picture picture(static_cast<int>(header.width), static_cast<int>(header.height), layout.type, layout.channels);
    if (layout.keptChannels > layout.channels)  // grey and alpha made RGBA: room for it
        picture.bytes.resize(picture.bytes.size() * 2);
    const std::size_t decoded = picture.RowBytes() * std::size_t(picture.height);
    const int flags = as == ReadAs::Colour ? SPNG_DECODE_TRNS : 0;
    if (const int error = spng_decode_image(ctx, picture.bytes.data(), decoded, layout.format, flags))
        Fail(stream, error);
    if (const int error = spng_decode_chunks(ctx))
        Fail(stream, error);

    if (layout.keptChannels == 1)
        KeepBlueChannel(picture);
    else if (layout.keptChannels > layout.channels && layout.type == SampleType::U16)
        SpreadGreyOverColour<std::uint16_t>(picture);
    else if (layout.keptChannels > layout.channels)
        SpreadGreyOverColour<std::uint8_t>(picture);
    return picture;
}

}  // namespace darkfill::files
