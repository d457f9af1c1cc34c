#include "files/ByteSource.h"
#include "files/FileError.h"
#include "files/PictureReader.h"
#include "files/PictureWriter.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <bit>
#include <fstream>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

// The picture files as other programs write them and as ours are read back:
// every format and type exactly, the layouts that other writers choose, and
// files that must be refused, with the reason and the file's name.

namespace {

using namespace darkfill::files;
using Bytes = std::vector<std::uint8_t>;

Picture RandomPicture(int width, int height, SampleType type, unsigned seed)
{
    Picture picture(width, height, type);
    std::mt19937 random(seed);
    for (std::uint8_t& byte : picture.bytes)
        byte = static_cast<std::uint8_t>(random());
    if (type == SampleType::F32)  // any bits but NaN's, whose payload a float copy need not keep
        for (std::size_t i = 0; i < picture.bytes.size(); i += 4)
            picture.bytes[i + 3] &= 0x7e;
    return picture;
}

Picture Read(const Bytes& bytes, ReadAs as = ReadAs::Grey, long long limit = 1LL << 24)
{
    ByteSource source(bytes, "sample");
    return ReadPicture(source, {.maximumPixels = limit}, as);
}

// The message that reading the bytes raises; empty where they read.
std::string Refusal(const Bytes& bytes, long long limit = 1LL << 24)
{
    try {
        Read(bytes, ReadAs::Grey, limit);
    } catch (const FileError& e) {
        return e.what();
    }
    return {};
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Joined(Bytes head, const Bytes& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

template <class Sample>
Bytes BigEndian(const std::vector<Sample>& values)
{
    Bytes bytes;
    for (const Sample value : values) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof value);
        for (int shift = 8 * int(sizeof value) - 8; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    return bytes;
}

template <class Sample>
std::vector<Sample> Samples(const Picture& picture)
{
    std::vector<Sample> samples(picture.bytes.size() / sizeof(Sample));
    std::memcpy(samples.data(), picture.bytes.data(), picture.bytes.size());
    return samples;
}

// An NPY file as numpy writes it: the header padded to 64 bytes with blanks.
Bytes Npy(const std::string& descr, const std::string& fortran, const std::string& shape, const Bytes& data,
          int version = 1)
{
    std::string header = "{'descr': " + descr + ", 'fortran_order': " + fortran + ", 'shape': " + shape + ", }";
    const std::size_t preamble = version == 1 ? 10 : 12;
    header.append((64 - (preamble + header.size() + 1) % 64) % 64, ' ');
    header += '\n';
    Bytes bytes = {0x93, 'N', 'U', 'M', 'P', 'Y', static_cast<std::uint8_t>(version), 0};
    for (int i = 0; i < (version == 1 ? 2 : 4); ++i)
        bytes.push_back(static_cast<std::uint8_t>(header.size() >> (8 * i)));
    return Joined(Joined(bytes, Text(header)), data);
}

Bytes QtEncoded(const QImage& image, const char* format, bool interlaced = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(interlaced);
    writer.write(image);
    return Bytes(bytes.begin(), bytes.end());
}

TEST(PictureFormats, EveryFormatAndTypeReadsBackExactly)
{
    struct Row {
        FileFormat format;
        SampleType type;
    } const rows[] = {
        {FileFormat::Png, SampleType::U8},   {FileFormat::Png, SampleType::U16}, {FileFormat::Pgm, SampleType::U8},
        {FileFormat::Pgm, SampleType::U16},  {FileFormat::Ppm, SampleType::U8},  {FileFormat::Tiff, SampleType::U8},
        {FileFormat::Tiff, SampleType::U16}, {FileFormat::Tiff, SampleType::I32}, {FileFormat::Tiff, SampleType::F32},
        {FileFormat::Pfm, SampleType::F32},  {FileFormat::Npy, SampleType::U8},  {FileFormat::Npy, SampleType::U16},
        {FileFormat::Npy, SampleType::I32},  {FileFormat::Npy, SampleType::F32},
    };
    const int sizes[][2] = {{1, 1}, {7, 3}, {5, 17}, {300, 2}};
    for (const Row& row : rows)
        for (const auto& size : sizes)
            for (const int level : {FastLevel, 0, 9}) {
                SCOPED_TRACE(std::string(ExtensionOf(row.format)) + " " + DtypeName(row.type) + " " +
                             std::to_string(size[0]) + "x" + std::to_string(size[1]) + " level " + std::to_string(level));
                const Picture picture = RandomPicture(size[0], size[1], row.type, size[0] * 31 + level);
                const Picture back = Read(EncodePicture(picture, row.format, {.level = level}, "sample"));
                EXPECT_EQ(back.width, picture.width);
                EXPECT_EQ(back.height, picture.height);
                EXPECT_EQ(back.type, picture.type);
                EXPECT_EQ(back.channels, 1);
                EXPECT_TRUE(back.bytes == picture.bytes);
            }
}

// The ways other writers lay a file out, each read to the same values.
TEST(PictureFormats, OtherWritersLayoutsReadAsTheirValues)
{
    const std::vector<std::uint16_t> deep = {0, 1, 255, 256, 65535, 4660};  // 3 x 2
    const std::vector<float> floats = {0.5f, -0.0f, INFINITY, -INFINITY, 1e-30f, 3.25f};
    Bytes littleFloats(24), bigDeep = BigEndian(deep);
    std::memcpy(littleFloats.data(), floats.data(), 24);
    // PFM's rows run bottom to top: the file's first row is the picture's last.
    const std::vector<float> bottomUp = {floats[3], floats[4], floats[5], floats[0], floats[1], floats[2]};
    struct Row {
        const char* name;
        Bytes bytes;
        SampleType type;
        Bytes expected;  // the samples in the machine's order, row 0 first
    };
    const auto samples = [](const auto& values) {
        Bytes bytes(values.size() * sizeof(values[0]));
        std::memcpy(bytes.data(), values.data(), bytes.size());
        return bytes;
    };
    const Row rows[] = {
        {"PGM 16-bit", Joined(Text("P5\n# a comment\n3 2\n65535\n"), bigDeep), SampleType::U16, samples(deep)},
        {"PGM text", Text("P2 3 2 65535\n0 1 255 # comment\n256 65535 4660\n"), SampleType::U16, samples(deep)},
        {"PGM 8-bit, maximum kept", Joined(Text("P5 3 1 15\n"), {0, 7, 15}), SampleType::U8, {0, 7, 15}},
        {"PPM's blue", Joined(Text("P6 2 1 255\n"), {1, 2, 3, 4, 5, 6}), SampleType::U8, {3, 6}},
        {"PPM text 16-bit's blue", Text("P3 1 2 65535 1 2 300 4 5 60000"), SampleType::U16, samples(std::vector<std::uint16_t>{300, 60000})},
        {"PBM: 1 black", Text("P1 3 1\n1 0 1"), SampleType::U8, {0, 255, 0}},
        {"PBM binary", Joined(Text("P4 9 1\n"), {0x80, 0x80}), SampleType::U8, {0, 255, 255, 255, 255, 255, 255, 255, 0}},
        {"PFM little-endian, bottom up", Joined(Text("Pf\n3 2\n-1.0\n"), samples(bottomUp)), SampleType::F32, samples(floats)},
        {"PFM big-endian", Joined(Text("Pf 3 2 1.0\n"), BigEndian(bottomUp)), SampleType::F32, samples(floats)},
        {"PFM colour's blue", Joined(Text("PF 1 1 -1\n"), samples(std::vector<float>{1, 2, 3.5f})), SampleType::F32, samples(std::vector<float>{3.5f})},
        {"NPY big-endian", Npy("'>u2'", "False", "(2, 3)", bigDeep), SampleType::U16, samples(deep)},
        {"NPY Fortran order", Npy("'<u2'", "True", "(2, 3)", samples(std::vector<std::uint16_t>{0, 256, 1, 65535, 255, 4660})),
         SampleType::U16, samples(deep)},
        {"NPY version 2", Npy("'<f4'", "False", "(2, 3)", littleFloats, 2), SampleType::F32, samples(floats)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Picture picture = Read(row.bytes);
        EXPECT_EQ(picture.type, row.type);
        EXPECT_TRUE(picture.bytes == ByteBuffer(row.expected.begin(), row.expected.end()));
    }
}

// PNG of every kind that Qt writes: grey is its blue, as Qt reads it; colour
// keeps red, green and blue.
TEST(PictureFormats, PngOfEveryKindReadsAsQtReadsIt)
{
    QImage pattern(13, 5, QImage::Format_RGBA64);
    for (int y = 0; y < pattern.height(); ++y)
        for (int x = 0; x < pattern.width(); ++x)
            pattern.setPixelColor(x, y, QColor::fromRgba64(x * 5000, y * 9000, (x * 7 + y * 11) * 600, 30000 + x * 100));
    struct Row {
        const char* name;
        QImage image;
        bool interlaced;
    } const rows[] = {
        {"1-bit grey", pattern.convertToFormat(QImage::Format_Mono), false},
        {"8-bit grey", pattern.convertToFormat(QImage::Format_Grayscale8), false},
        {"16-bit grey", pattern.convertToFormat(QImage::Format_Grayscale16), false},
        {"8-bit colour", pattern.convertToFormat(QImage::Format_RGB32), false},
        {"8-bit colour with alpha", pattern.convertToFormat(QImage::Format_ARGB32), false},
        {"palette", pattern.convertToFormat(QImage::Format_Indexed8), false},
        {"16-bit colour with alpha", pattern, false},
        {"interlaced", pattern.convertToFormat(QImage::Format_RGB32), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes png = QtEncoded(row.image, "png", row.interlaced);
        QImage reference;
        ASSERT_TRUE(reference.loadFromData(png.data(), static_cast<int>(png.size()), "png"));
        const bool deep = reference.depth() > 32 || reference.format() == QImage::Format_Grayscale16;
        const Picture grey = Read(png);
        const Picture colour = Read(png, ReadAs::Colour);
        ASSERT_EQ(grey.type, deep ? SampleType::U16 : SampleType::U8);
        for (int y = 0; y < reference.height(); ++y)
            for (int x = 0; x < reference.width(); ++x) {
                const QRgba64 expected = reference.pixelColor(x, y).rgba64();
                const int at = y * grey.width + x;
                const int blue = deep ? Samples<std::uint16_t>(grey)[at] : grey.bytes[at];
                ASSERT_EQ(blue, deep ? expected.blue() : expected.blue8()) << x << ", " << y;
                if (colour.channels >= 3) {
                    const int c = colour.channels;
                    const int red = deep ? Samples<std::uint16_t>(colour)[at * c] : colour.bytes[at * c];
                    ASSERT_EQ(red, deep ? expected.red() : expected.red8()) << x << ", " << y;
                }
            }
    }
}

// Our PNGs as libpng reads them (Qt's reader is libpng's): grey at 8 and 16 bits,
// and a fill map's palette.
TEST(PictureFormats, OurPngsReadInLibpng)
{
    const std::uint32_t palette[] = {0x404040, 0x009E73, 0xE69F00};
    for (const int level : {FastLevel, SmallLevel, 0})
        for (const SampleType type : {SampleType::U8, SampleType::U16}) {
            SCOPED_TRACE(std::string(DtypeName(type)) + " level " + std::to_string(level));
            const Picture picture = RandomPicture(37, 11, type, 5);
            const Bytes png = EncodePicture(picture, FileFormat::Png, {.level = level}, "out");
            QImage image;
            ASSERT_TRUE(image.loadFromData(png.data(), static_cast<int>(png.size()), "png"));
            ASSERT_EQ(image.format(), type == SampleType::U16 ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8);
            for (int y = 0; y < picture.height; ++y)
                ASSERT_EQ(std::memcmp(image.constScanLine(y), picture.Row<std::uint8_t>(y), picture.RowBytes()), 0) << y;
        }
    Bytes indexes(9 * 4);
    for (std::size_t i = 0; i < indexes.size(); ++i)
        indexes[i] = static_cast<std::uint8_t>(i % 3);
    const Bytes map = EncodePalette(9, 4, indexes, palette, FileFormat::Png, {}, "map");
    QImage image;
    ASSERT_TRUE(image.loadFromData(map.data(), static_cast<int>(map.size()), "png"));
    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(image.pixel(i % 9, i / 9) & 0xffffff, palette[indexes[i]]) << i;
}

// A TIFF written by libtiff in the given layout.
struct TiffLayout {
    int bits = 8, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, format = SAMPLEFORMAT_UINT;
    bool separate = false, tiled = false;
    int compression = COMPRESSION_NONE;
};

Bytes Tiff(const TiffLayout& layout, int width, int height, const Bytes& samples)
{
    char name[] = "/tmp/tiff-test-XXXXXX";
    const int descriptor = ::mkstemp(name);
    ::close(descriptor);
    TIFF* tiff = TIFFOpen(name, "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, layout.format);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, layout.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    std::vector<std::uint16_t> map(256);
    for (int i = 0; i < 256; ++i)
        map[i] = static_cast<std::uint16_t>((255 - i) * 257);
    if (layout.photometric == PHOTOMETRIC_PALETTE)
        TIFFSetField(tiff, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
    const std::size_t bytesPerSample = std::max(1, layout.bits / 8);
    if (layout.tiled) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
        std::vector<std::uint8_t> tile(16 * 16 * bytesPerSample * layout.samples);
        for (int top = 0; top < height; top += 16)
            for (int left = 0; left < width; left += 16) {
                std::fill(tile.begin(), tile.end(), 0);
                for (int y = top; y < std::min(height, top + 16); ++y)
                    std::memcpy(tile.data() + (y - top) * 16 * bytesPerSample * layout.samples,
                                samples.data() + (std::size_t(y) * width + left) * bytesPerSample * layout.samples,
                                std::min(16, width - left) * bytesPerSample * layout.samples);
                TIFFWriteTile(tiff, tile.data(), left, top, 0, 0);
            }
    } else {
        const std::size_t row = layout.bits == 1 ? (width + 7) / 8 : width * bytesPerSample * (layout.separate ? 1 : layout.samples);
        const int planes = layout.separate ? layout.samples : 1;
        for (int plane = 0; plane < planes; ++plane)
            for (int y = 0; y < height; ++y) {
                std::vector<std::uint8_t> line(samples.begin() + (std::size_t(plane) * height + y) * row,
                                               samples.begin() + (std::size_t(plane) * height + y + 1) * row);
                TIFFWriteScanline(tiff, line.data(), y, static_cast<std::uint16_t>(plane));
            }
    }
    TIFFClose(tiff);
    FILE* file = std::fopen(name, "rb");
    Bytes bytes;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(file);
    std::remove(name);
    return bytes;
}

TEST(PictureFormats, TiffLayoutsReadAsTheirGrey)
{
    Bytes ramp(40 * 20);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::uint8_t>(i * 7);
    Bytes inverted(ramp.size()), paletteBlue(ramp.size());
    for (std::size_t i = 0; i < ramp.size(); ++i)
        inverted[i] = static_cast<std::uint8_t>(255 - ramp[i]), paletteBlue[i] = static_cast<std::uint8_t>(255 - ramp[i]);
    Bytes deep(40 * 20 * 2);
    for (std::size_t i = 0; i < deep.size(); ++i)
        deep[i] = static_cast<std::uint8_t>(i * 13);
    // Three planes of 16 bits, one after another: the blue is the third.
    Bytes planes = Joined(Joined(Bytes(deep.size(), 9), Bytes(deep.size(), 3)), deep);
    Bytes bits(5 * 20, 0xA5);
    Bytes unpacked;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            unpacked.push_back((0xA5 >> (7 - x % 8) & 1) ? 255 : 0);
    struct Row {
        const char* name;
        TiffLayout layout;
        Bytes samples;
        Bytes expected;
    } const rows[] = {
        {"grey, deflate", {.compression = COMPRESSION_ADOBE_DEFLATE}, ramp, ramp},
        {"white is zero", {.photometric = PHOTOMETRIC_MINISWHITE}, ramp, inverted},
        {"palette", {.photometric = PHOTOMETRIC_PALETTE}, ramp, paletteBlue},
        {"16-bit tiles", {.bits = 16, .tiled = true}, deep, deep},
        {"16-bit RGB in planes", {.bits = 16, .samples = 3, .photometric = PHOTOMETRIC_RGB, .separate = true}, planes,
         deep},
        {"1-bit, LZW", {.bits = 1, .compression = COMPRESSION_LZW}, bits, unpacked},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Picture picture = Read(Tiff(row.layout, 40, 20, row.samples));
        EXPECT_EQ(picture.width, 40);
        EXPECT_TRUE(picture.bytes == ByteBuffer(row.expected.begin(), row.expected.end()));
    }
}

// A PNG put together chunk by chunk, as a hostile or broken writer would.
class PngBuilder
{
public:
    PngBuilder(std::uint32_t width, std::uint32_t height, int bits = 8)
    {
        bytes_ = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        Bytes header;
        Put32(header, width);
        Put32(header, height);
        header.insert(header.end(), {static_cast<std::uint8_t>(bits), 0, 0, 0, 0});
        Chunk("IHDR", header);
    }
    PngBuilder& Chunk(const char* type, const Bytes& data)
    {
        Put32(bytes_, static_cast<std::uint32_t>(data.size()));
        Bytes typed(type, type + 4);
        typed.insert(typed.end(), data.begin(), data.end());
        bytes_.insert(bytes_.end(), typed.begin(), typed.end());
        Put32(bytes_, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
        return *this;
    }
    Bytes End() { return Chunk("IEND", {}).bytes_; }

    // `length` zeros, deflated.
    static Bytes Zeros(std::size_t length)
    {
        z_stream stream{};
        deflateInit2(&stream, 1, Z_DEFLATED, 15, 9, Z_RLE);
        Bytes out(length / 500 + 1024), zeros(1 << 20, 0);
        std::size_t done = 0;
        int status = Z_OK;
        while (status != Z_STREAM_END) {
            const std::size_t part = std::min(zeros.size(), length - done);
            stream.next_in = zeros.data();
            stream.avail_in = static_cast<uInt>(part);
            done += part;
            do {
                if (stream.total_out + 65536 > out.size())
                    out.resize(out.size() * 2);
                stream.next_out = out.data() + stream.total_out;
                stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
                status = deflate(&stream, done == length ? Z_FINISH : Z_NO_FLUSH);
            } while (stream.avail_out == 0 || (done == length && status != Z_STREAM_END));
        }
        out.resize(stream.total_out);
        deflateEnd(&stream);
        return out;
    }

private:
    static void Put32(Bytes& out, std::uint32_t value)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    Bytes bytes_;
};

// A little-endian TIFF header of the given entries (tag, type, value), sorted
// by tag, its one strip of zeros after them: what a header claims, with no
// writer's checks of whether it is sensible.
Bytes ClaimingTiff(const std::vector<std::array<std::uint32_t, 3>>& entries)
{
    Bytes out = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const auto put = [&out](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::uint8_t>(value >> 8 * i));
    };
    const auto data = static_cast<std::uint32_t>(8 + 2 + 12 * entries.size() + 4);
    put(static_cast<std::uint32_t>(entries.size()), 2);
    for (const auto& [tag, type, value] : entries) {
        put(tag, 2);
        put(type, 2);
        put(1, 4);
        put(tag == TIFFTAG_STRIPOFFSETS ? data : value, 4);
    }
    put(0, 4);
    out.resize(out.size() + 64, 0);
    return out;
}

double SecondsToRead(const Bytes& bytes, std::string& message)
{
    const auto start = std::chrono::steady_clock::now();
    message = Refusal(bytes);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Files that claim a few pixels and carry much else cost no more than their
// pixels: the image data is inflated no further than the rows need, and text
// beside the picture within a small budget, or the file is refused.
TEST(PictureFormats, FilesCostWhatTheirPixelsCost)
{
    Bytes text = Text("Comment");
    text.insert(text.end(), {0, 0});
    const Bytes zipped = PngBuilder::Zeros(1 << 20);
    Bytes zText = Joined(text, zipped);
    PngBuilder manyTexts(64, 48);
    for (int i = 0; i < 1000; ++i)
        manyTexts.Chunk("zTXt", zText);
    struct Row {
        const char* name;
        Bytes bytes;
        const char* message;  // empty: read
        double seconds;
    } const rows[] = {
        {"1 x 1 over 256 MiB of zeros", PngBuilder(1, 1).Chunk("IDAT", PngBuilder::Zeros(256 << 20)).End(), "", 0.5},
        {"100,000 x 100,000 over 8 MiB", PngBuilder(100000, 100000).Chunk("IDAT", Bytes(8 << 20, 0x55)).End(),
         "\"sample\" is 100000 x 100000 pixels; pictures of at most 16777216 pixels can be read here: it is too large",
         0.2},
        {"1,000 texts of 1 MiB each", manyTexts.Chunk("IDAT", PngBuilder::Zeros(64 * 49)).End(),
         "\"sample\" carries more than 4 MiB of text", 1.0},
        {"7 x 65,284 pixels of 62,977 samples each",
         ClaimingTiff({{TIFFTAG_IMAGEWIDTH, TIFF_SHORT, 7}, {TIFFTAG_IMAGELENGTH, TIFF_SHORT, 65284},
                       {TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, 8}, {TIFFTAG_COMPRESSION, TIFF_SHORT, COMPRESSION_NONE},
                       {TIFFTAG_PHOTOMETRIC, TIFF_SHORT, PHOTOMETRIC_MINISBLACK}, {TIFFTAG_STRIPOFFSETS, TIFF_LONG, 0},
                       {TIFFTAG_SAMPLESPERPIXEL, TIFF_SHORT, 62977}, {TIFFTAG_ROWSPERSTRIP, TIFF_SHORT, 9362},
                       {TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG, 64}}),
         "\"sample\" is damaged: its strips are larger than any picture read here needs", 0.2},
        {"a text of 256 MiB", PngBuilder(1, 1).Chunk("zTXt", Joined(text, PngBuilder::Zeros(256 << 20)))
                                   .Chunk("IDAT", PngBuilder::Zeros(2)).End(),
         "\"sample\" carries more than 4 MiB of text", 0.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string message;
        EXPECT_LT(SecondsToRead(row.bytes, message), row.seconds);
        EXPECT_NE(message.find(row.message), std::string::npos) << message;
        EXPECT_EQ(message.empty(), std::string(row.message).empty()) << message;
    }
}

TEST(PictureFormats, DamagedAndForeignFilesAreRefusedNamingTheFile)
{
    Picture small = RandomPicture(20, 10, SampleType::U16, 1);
    const Bytes png = EncodePicture(small, FileFormat::Png, {}, "sample");
    Bytes flipped = png;
    flipped[png.size() / 2] ^= 0x10;
    const Bytes tiff = EncodePicture(small, FileFormat::Tiff, {}, "sample");
    struct Row {
        const char* name;
        Bytes bytes;
        const char* message;
    } const rows[] = {
        {"empty", {}, "\"sample\" is empty"},
        {"text", Text("hello, this is no picture at all"), "\"sample\" is not a picture in a format"},
        {"PNG cut short", Bytes(png.begin(), png.begin() + png.size() / 2), "\"sample\" is damaged: the picture data ends before"},
        {"PNG with a byte flipped", flipped, "\"sample\" is damaged: its IDAT chunk does not match its checksum"},
        {"PNG of 2^25 pixels", PngBuilder(8192, 4096).End(), "8192 x 4096 pixels; pictures of at most 16777216"},
        {"PGM of 2^25 pixels", Text("P5 8192 4096 255\n"), "8192 x 4096 pixels; pictures of at most 16777216"},
        {"PGM cut short", Text("P5 4 4 255\n\x01\x02"), "\"sample\" is damaged: the picture data ends before"},
        {"PGM above its maximum", Joined(Text("P5 2 1 10\n"), {3, 12}), "a value lies above the file's maximum 10"},
        {"PGM text of a long number", Text("P2 2 1 255\n1 " + std::string(40, '3')), "its picture data is not valid"},
        {"PGM of no size", Text("P5 0 4 255\n"), "\"sample\" is damaged: its header is not valid"},
        {"PFM of no scale", Joined(Text("Pf 1 1 0\n"), Bytes(4, 0)), "\"sample\" is damaged: its header is not valid"},
        {"NPY of int16", Npy("'<i2'", "False", "(2, 2)", Bytes(8, 0)), "holds an array of '<i2' values"},
        {"NPY of float64", Npy("'<f8'", "False", "(2, 2)", Bytes(32, 0)), "holds an array of '<f8' values"},
        {"NPY of 3 dimensions", Npy("'|u1'", "False", "(2, 4, 4)", Bytes(32, 0)), "shape (2, 4, 4), 3 dimensions"},
        {"NPY of 2^25 values", Npy("'|u1'", "False", "(4096, 8192)", {}), "8192 x 4096 pixels; pictures of at most"},
        {"NPY cut short", Npy("'<u2'", "False", "(4, 4)", Bytes(5, 0)), "\"sample\" is damaged: the picture data ends before"},
        {"TIFF cut short", Bytes(tiff.begin(), tiff.begin() + 40), "\"sample\" is damaged"},
        {"TIFF of CMYK", Tiff({.samples = 4, .photometric = PHOTOMETRIC_SEPARATED}, 16, 16, Bytes(16 * 16 * 4, 128)),
         "\"sample\" is a TIFF picture in a layout that cannot be read here"},
    };
    for (const Row& row : rows) {
        const std::string message = Refusal(row.bytes);
        EXPECT_NE(message.find(row.message), std::string::npos) << row.name << ": " << message;
    }
}

// A TIFF of a layout read elsewhere goes whole to the foreign reader, from a
// file read in place as from bytes in memory.
TEST(PictureFormats, OtherTiffLayoutsGoWholeToTheForeignReader)
{
    static Bytes handed;
    struct Recorder : ForeignReader {
        bool Recognises(std::span<const std::uint8_t>, const std::string&, const ReadLimits&) const override
        {
            return true;
        }
        Picture Decode(const std::vector<std::uint8_t>& bytes, const std::string&, const ReadLimits&,
                       ReadAs) const override
        {
            handed = bytes;
            return Picture(1, 1, SampleType::U8);
        }
    };
    static const Recorder recorder;
    SetForeignReader([]() -> const ForeignReader* { return &recorder; });
    const Bytes cmyk = Tiff({.samples = 4, .photometric = PHOTOMETRIC_SEPARATED}, 300, 100, Bytes(300 * 100 * 4, 7));
    char name[] = "/tmp/cmyk-XXXXXX";
    ::close(::mkstemp(name));
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(cmyk.data()), std::streamsize(cmyk.size()));
    ByteSource file = ByteSource::OpenFile(name);
    ReadPicture(file);
    EXPECT_TRUE(handed == cmyk) << "from the file";
    handed.clear();
    Read(cmyk);
    EXPECT_TRUE(handed == cmyk) << "from memory";
    SetForeignReader(nullptr);
    std::remove(name);
}

// What other formats' limits or Qt's once called damaged reads: a row of a
// million pixels, a PGM wider than 32,767.
TEST(PictureFormats, LargeValidPicturesRead)
{
    const Picture wide = RandomPicture(1000001, 2, SampleType::U8, 2);
    EXPECT_TRUE(Read(EncodePicture(wide, FileFormat::Png, {}, "sample")).bytes == wide.bytes);
    const Picture pgm = RandomPicture(40000, 3, SampleType::U8, 3);
    EXPECT_TRUE(Read(EncodePicture(pgm, FileFormat::Pgm, {}, "sample")).bytes == pgm.bytes);
}

TEST(PictureFormats, FormatsRefuseWhatTheyCannotHold)
{
    struct Row {
        FileFormat format;
        SampleType type;
        FileError::Kind kind;
        const char* message;
    } const rows[] = {
        {FileFormat::Png, SampleType::F32, FileError::Kind::Usage, "32-bit floats, which PNG pictures cannot hold; TIFF, PFM or NPY"},
        {FileFormat::Pgm, SampleType::I32, FileError::Kind::Usage, "32-bit integers, which portable grey maps cannot hold; TIFF or NPY"},
        {FileFormat::Bmp, SampleType::U16, FileError::Kind::Failure, "Bitmaps hold 8 bits a value, and the picture has 16"},
        {FileFormat::Pfm, SampleType::U8, FileError::Kind::Usage, "8-bit values, which PFM pictures cannot hold"},
    };
    for (const Row& row : rows) {
        try {
            EncodePicture(RandomPicture(2, 2, row.type, 0), row.format, {}, "out");
            ADD_FAILURE() << row.message;
        } catch (const FileError& e) {
            EXPECT_EQ(e.kind(), row.kind) << row.message;
            EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("Cannot write \"out\"", 0), 0u) << e.what();
        }
    }
}

}  // namespace
