#include "files/PictureReader.h"

#include "files/FileError.h"
#include "files/FileNames.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace darkfill::files {

void FailTooManyPixels(const std::string& name, long long width, long long height, const ReadLimits& limits,
                       int sampleBytes)
{
    const std::string beyond = limits.beyondLimit ? limits.beyondLimit(width * height, sampleBytes) : "";
    throw FileError(QuotedName(name) + " is " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels; pictures of at most " + std::to_string(limits.maximumPixels) +
                    " pixels can be read here: it is too large" + (beyond.empty() ? "." : "; " + beyond));
}

const char* DtypeName(SampleType type)
{
    switch (type) {
    case SampleType::U8:
        return "uint8";
    case SampleType::U16:
        return "uint16";
    case SampleType::I32:
        return "int32";
    case SampleType::F32:
        return "float32";
    }
    return "";
}

Picture::Picture(int width, int height, SampleType type, int channels)
    : width(width), height(height), channels(channels), type(type)
{
    bytes.resize(RowBytes() * std::size_t(height));
}

namespace {

std::atomic<const ForeignReader* (*)()> foreignGetter{nullptr};

bool Starts(std::span<const std::uint8_t> start, const char* magic, std::size_t length)
{
    return start.size() >= length && std::memcmp(start.data(), magic, length) == 0;
}

bool IsSpace(std::uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

[[noreturn]] void FailUnknown(const std::string& name)
{
    throw FileError(QuotedName(name) + " is not a picture in a format that can be read here.");
}

const ForeignReader* Foreign()
{
    const auto getter = foreignGetter.load();
    return getter ? getter() : nullptr;
}

// Standard input that shows no picture in its first bytes is refused then, not
// once it ends (/dev/zero never does).
Picture ReadForeign(ByteSource& source, const ReadLimits& limits, ReadAs as)
{
    const ForeignReader* reader = Foreign();
    if (!reader || !reader->Recognises(source.Peek(4096), source.Name(), limits))
        FailUnknown(source.Name());
    return reader->Decode(source.ReadRest(), source.Name(), limits, as);
}

}  // namespace

Picture ReadForeignBytes(const std::vector<std::uint8_t>& bytes, const std::string& name, const ReadLimits& limits,
                         ReadAs as)
{
    const ForeignReader* reader = Foreign();
    const std::size_t start = std::min<std::size_t>(bytes.size(), 4096);
    if (!reader || !reader->Recognises({bytes.data(), start}, name, limits))
        throw FileError(QuotedName(name) + " is a TIFF picture in a layout that cannot be read here.");
    return reader->Decode(bytes, name, limits, as);
}

PictureFormat FormatOfStart(std::span<const std::uint8_t> start)
{
    if (Starts(start, "\x89PNG\r\n\x1a\n", 8))
        return PictureFormat::Png;
    if (Starts(start, "\x93NUMPY", 6))
        return PictureFormat::Npy;
    if (Starts(start, "II*\0", 4) || Starts(start, "MM\0*", 4) || Starts(start, "II+\0", 4) ||
        Starts(start, "MM\0+", 4))
        return PictureFormat::Tiff;
    if (start.size() >= 3 && start[0] == 'P' && IsSpace(start[2])) {
        if (start[1] >= '1' && start[1] <= '6')
            return PictureFormat::Netpbm;
        if (start[1] == 'f' || start[1] == 'F')
            return PictureFormat::Pfm;
    }
    return PictureFormat::Foreign;
}

void SetForeignReader(const ForeignReader* (*getter)())
{
    foreignGetter = getter;
}

Picture ReadPicture(ByteSource& source, const ReadLimits& limits, ReadAs as)
{
    try {
        const std::span<const std::uint8_t> start = source.Peek(16);
        if (start.empty())
            throw FileError(QuotedName(source.Name()) + " is empty: it holds no picture.");
        switch (FormatOfStart(start)) {
        case PictureFormat::Png:
            return ReadPng(source, limits, as);
        case PictureFormat::Netpbm:
            return ReadNetpbm(source, limits, as);
        case PictureFormat::Pfm:
            return ReadPfm(source, limits, as);
        case PictureFormat::Tiff:
            return ReadTiff(source, limits, as);
        case PictureFormat::Npy:
            return ReadNpy(source, limits);
        case PictureFormat::Foreign:
            break;
        }
        return ReadForeign(source, limits, as);
    } catch (const std::bad_alloc&) {
        throw FileError(QuotedName(source.Name()) + ": there is not enough memory to read it.");
    }
}

namespace {

template <class Sample>
void MoveBlueForward(Sample* cells, std::size_t pixels, int channels)
{
    // Front to back: each pixel's blue (grey and alpha: its grey) moves to a
    // place at or before its own.
    const int blue = channels == 2 ? 0 : 2;
    for (std::size_t i = 0; i < pixels; ++i)
        cells[i] = cells[i * channels + blue];
}

}  // namespace

void KeepBlueChannel(Picture& picture)
{
    if (picture.channels == 1)
        return;
    const std::size_t pixels = std::size_t(picture.width) * std::size_t(picture.height);
    std::uint8_t* cells = picture.bytes.data();
    switch (BytesOf(picture.type)) {
    case 1:
        MoveBlueForward(cells, pixels, picture.channels);
        break;
    case 2:
        MoveBlueForward(reinterpret_cast<std::uint16_t*>(cells), pixels, picture.channels);
        break;
    default:
        MoveBlueForward(reinterpret_cast<std::uint32_t*>(cells), pixels, picture.channels);
        break;
    }
    picture.channels = 1;
    picture.bytes.resize(pixels * BytesOf(picture.type));
}

}  // namespace darkfill::files
