#include "files/PictureWriter.h"

#include "files/FileError.h"
#include "files/FileNames.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

namespace darkfill::files {

namespace {

struct FormatInfo {
    FileFormat format;
    const char* name;        // as messages name it
    const char* extensions;  // the first one is written
    bool palette;            // holds colours
    bool types[4];           // holds U8, U16, I32, F32
};

const FormatInfo Formats[] = {
    {FileFormat::Png, "PNG pictures", "png", true, {true, true, false, false}},
    {FileFormat::Pgm, "portable grey maps", "pgm", false, {true, true, false, false}},
    {FileFormat::Ppm, "portable pixmaps", "ppm", true, {true, false, false, false}},
    {FileFormat::Bmp, "Bitmaps", "bmp", true, {true, false, false, false}},
    {FileFormat::Tiff, "TIFF pictures", "tif tiff", true, {true, true, true, true}},
    {FileFormat::Pfm, "PFM pictures", "pfm", false, {false, false, false, true}},
    {FileFormat::Npy, "NPY arrays", "npy", true, {true, true, true, true}},
};

const FormatInfo& InfoOf(FileFormat format)
{
    for (const FormatInfo& info : Formats)
        if (info.format == format)
            return info;
    return Formats[0];
}

std::string TypeWords(SampleType type)
{
    switch (type) {
    case SampleType::U8:
        return "8-bit values";
    case SampleType::U16:
        return "16-bit values";
    case SampleType::I32:
        return "32-bit integers";
    case SampleType::F32:
        return "32-bit floats";
    }
    return {};
}

// The formats that hold the type, for a message: "TIFF, PFM or NPY".
std::string FormatsHolding(SampleType type)
{
    std::string names;
    std::vector<std::string> found;  // each format's last extension, in capitals
    for (const FormatInfo& info : Formats)
        if (info.types[int(type)]) {
            const std::string extensions = info.extensions;
            std::string upper = extensions.substr(extensions.find_last_of(' ') + 1);
            for (char& c : upper)
                c = static_cast<char>(c - 'a' + 'A');
            found.push_back(upper);
        }
    for (std::size_t i = 0; i < found.size(); ++i)
        names += (i == 0 ? "" : i + 1 == found.size() ? " or " : ", ") + found[i];
    return names;
}

void Append(std::vector<std::uint8_t>& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
}

std::vector<std::uint8_t> EncodeNetpbm(const Picture& picture, std::span<const std::uint32_t> palette, bool colour)
{
    const bool deep = picture.type == SampleType::U16;
    std::vector<std::uint8_t> out;
    Append(out, std::string(colour ? "P6\n" : "P5\n") + std::to_string(picture.width) + ' ' +
                    std::to_string(picture.height) + (deep ? "\n65535\n" : "\n255\n"));
    const std::size_t header = out.size();
    const std::size_t samples = std::size_t(picture.width) * picture.height;
    out.resize(header + samples * (colour ? 3 : deep ? 2 : 1));
    std::uint8_t* to = out.data() + header;
    for (std::size_t i = 0; i < samples; ++i) {
        if (deep) {
            const std::uint16_t value = reinterpret_cast<const std::uint16_t*>(picture.bytes.data())[i];
            *to++ = static_cast<std::uint8_t>(value >> 8);
            *to++ = static_cast<std::uint8_t>(value);
        } else if (colour) {
            const std::uint8_t value = picture.bytes[i];
            const std::uint32_t rgb = palette.empty() ? value * 0x010101u : palette[value];
            *to++ = static_cast<std::uint8_t>(rgb >> 16);
            *to++ = static_cast<std::uint8_t>(rgb >> 8);
            *to++ = static_cast<std::uint8_t>(rgb);
        } else {
            *to++ = picture.bytes[i];
        }
    }
    return out;
}

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// An 8-bit BMP of 256 colours (the palette's, or greys), rows bottom to top.
std::vector<std::uint8_t> EncodeBmp(const Picture& picture, std::span<const std::uint32_t> palette)
{
    const std::size_t rowBytes = (std::size_t(picture.width) + 3) / 4 * 4;
    const std::uint32_t dataStart = 14 + 40 + 256 * 4;
    const std::size_t size = dataStart + rowBytes * picture.height;
    std::vector<std::uint8_t> out{'B', 'M'};
    out.reserve(size);
    PutLittle(out, static_cast<std::uint32_t>(size), 4);
    PutLittle(out, 0, 4);
    PutLittle(out, dataStart, 4);
    PutLittle(out, 40, 4);
    PutLittle(out, static_cast<std::uint32_t>(picture.width), 4);
    PutLittle(out, static_cast<std::uint32_t>(picture.height), 4);
    PutLittle(out, 1, 2);  // planes
    PutLittle(out, 8, 2);  // bits a pixel
    PutLittle(out, 0, 4);  // no compression
    PutLittle(out, static_cast<std::uint32_t>(rowBytes * picture.height), 4);
    PutLittle(out, 2835, 4);  // 72 dots an inch
    PutLittle(out, 2835, 4);
    PutLittle(out, 256, 4);
    PutLittle(out, 0, 4);
    for (std::uint32_t i = 0; i < 256; ++i)
        PutLittle(out, palette.empty() ? i * 0x010101u : i < palette.size() ? palette[i] : 0, 4);
    for (int y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* row = picture.Row<std::uint8_t>(y);
        out.insert(out.end(), row, row + picture.width);
        out.resize(out.size() + rowBytes - picture.width, 0);
    }
    return out;
}

std::vector<std::uint8_t> EncodePfm(const Picture& picture)
{
    std::vector<std::uint8_t> out;
    Append(out, "Pf\n" + std::to_string(picture.width) + ' ' + std::to_string(picture.height) + "\n-1.0\n");
    const std::size_t header = out.size(), rowBytes = picture.RowBytes();
    out.resize(header + rowBytes * picture.height);
    for (int y = picture.height - 1, at = 0; y >= 0; --y, ++at) {
        std::uint8_t* to = out.data() + header + rowBytes * at;
        std::memcpy(to, picture.Row<std::uint8_t>(y), rowBytes);
        if (std::endian::native == std::endian::big)
            for (std::size_t i = 0; i < rowBytes; i += 4)
                std::reverse(to + i, to + i + 4);
    }
    return out;
}

std::vector<std::uint8_t> EncodeNpy(const Picture& picture)
{
    const char* descr = picture.type == SampleType::U8    ? "|u1"
                        : picture.type == SampleType::U16 ? "<u2"
                        : picture.type == SampleType::I32 ? "<i4"
                                                          : "<f4";
    std::string header = std::string("{'descr': '") + descr + "', 'fortran_order': False, 'shape': (" +
                         std::to_string(picture.height) + ", " + std::to_string(picture.width) + "), }";
    // numpy pads the header with spaces so that the data begins on a multiple
    // of 64 bytes, and ends it with a newline.
    const std::size_t preamble = 10;
    header.append((64 - (preamble + header.size() + 1) % 64) % 64, ' ');
    header += '\n';
    std::vector<std::uint8_t> out{0x93, 'N', 'U', 'M', 'P', 'Y', 1, 0};
    PutLittle(out, static_cast<std::uint32_t>(header.size()), 2);
    Append(out, header);
    const std::size_t start = out.size();
    out.resize(start + picture.bytes.size());
    std::memcpy(out.data() + start, picture.bytes.data(), picture.bytes.size());
    if (std::endian::native == std::endian::big && BytesOf(picture.type) > 1)
        for (std::size_t i = start; i < out.size(); i += BytesOf(picture.type))
            std::reverse(out.begin() + i, out.begin() + i + BytesOf(picture.type));
    return out;
}

std::vector<std::uint8_t> Encode(const Picture& picture, std::span<const std::uint32_t> palette, FileFormat format,
                                 const WriteOptions& options, const std::string& name)
{
    switch (format) {
    case FileFormat::Png:
        return EncodePng(picture, palette, options.level);
    case FileFormat::Pgm:
    case FileFormat::Ppm:
        return EncodeNetpbm(picture, palette, format == FileFormat::Ppm);
    case FileFormat::Bmp:
        return EncodeBmp(picture, palette);
    case FileFormat::Tiff:
        return EncodeTiff(picture, palette, options.level, name);
    case FileFormat::Pfm:
        return EncodePfm(picture);
    case FileFormat::Npy:
        return EncodeNpy(picture);
    }
    return {};
}

}  // namespace

std::optional<FileFormat> FormatOfName(const std::string& name)
{
    const std::string extension = files::ExtensionOf(name);
    if (extension.empty())
        return std::nullopt;
    for (const FormatInfo& info : Formats) {
        const std::string all = std::string(" ") + info.extensions + ' ';
        if (all.find(' ' + extension + ' ') != std::string::npos)
            return info.format;
    }
    return std::nullopt;
}

std::string WritableExtensions()
{
    return "png, pgm, ppm, bmp, tif, tiff, pfm or npy";
}

const char* ExtensionOf(FileFormat format)
{
    static const char* const first[] = {"png", "pgm", "ppm", "bmp", "tif", "pfm", "npy"};
    return first[int(format)];
}

bool Holds(FileFormat format, SampleType type)
{
    return InfoOf(format).types[int(type)];
}

std::vector<std::uint8_t> EncodePicture(const Picture& picture, FileFormat format, const WriteOptions& options,
                                        const std::string& name)
{
    const FormatInfo& info = InfoOf(format);
    if (!Holds(format, picture.type)) {
        const bool eightBitFormat = info.types[0] && !info.types[1];
        if (picture.type == SampleType::U16 && eightBitFormat)
            throw FileError("Cannot write " + QuotedName(name) + ": " + info.name +
                            " hold 8 bits a value, and the picture has 16; PNG, PGM or TIFF keep them.");
        throw FileError("Cannot write " + QuotedName(name) + ": the picture holds " + TypeWords(picture.type) +
                            ", which " + info.name + " cannot hold; " + FormatsHolding(picture.type) + " keep them.",
                        FileError::Kind::Usage);
    }
    return Encode(picture, {}, format, options, name);
}

std::vector<std::uint8_t> EncodePalette(int width, int height, std::span<const std::uint8_t> indexes,
                                        std::span<const std::uint32_t> palette, FileFormat format,
                                        const WriteOptions& options, const std::string& name)
{
    const FormatInfo& info = InfoOf(format);
    if (!info.palette)
        throw FileError("Cannot write " + QuotedName(name) + ": " + info.name +
                        " hold grey only; PNG keeps the colours.");
    Picture picture(width, height, SampleType::U8);
    std::memcpy(picture.bytes.data(), indexes.data(), picture.bytes.size());
    return Encode(picture, format == FileFormat::Npy ? std::span<const std::uint32_t>() : palette, format, options,
                  name);
}

}  // namespace darkfill::files
