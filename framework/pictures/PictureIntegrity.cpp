#include "framework/pictures/PictureIntegrity.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

QString Truncated()
{
    return QCoreApplication::translate("PictureIntegrity", "the picture data ends before the picture is complete");
}

// A little-endian number; bytes past the end read as 0, so that a header can be
// read whole and its fields checked against the file's length where they matter.
std::uint32_t Little(const QByteArray& b, qsizetype at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | (at + i < b.size() ? static_cast<std::uint8_t>(b[at + i]) : 0u);
    return value;
}

// Walks an RLE4 or RLE8 stream and requires its end-of-bitmap mark.
bool RleStreamIsComplete(const QByteArray& b, qsizetype at, bool fourBit)
{
    while (at + 2 <= b.size()) {
        const int count = static_cast<std::uint8_t>(b[at]);
        const int value = static_cast<std::uint8_t>(b[at + 1]);
        at += 2;
        if (count != 0)
            continue;
        if (value == 1)
            return true;
        if (value == 2) {
            at += 2;
        } else if (value > 2) {
            const qsizetype bytes = fourBit ? (value + 1) / 2 : value;
            at += (bytes + 1) / 2 * 2;
        }
    }
    return false;
}

// Where a BMP keeps what the checks need: the file header's offset of the pixel
// data, then the info header, in one of two layouts told apart by its size.
constexpr qsizetype BmpDataOffsetAt = 10;
constexpr qsizetype BmpInfoHeaderAt = 14;  // the info header's own size, 4 bytes
constexpr qsizetype BmpCoreHeaderSize = 12;  // the oldest layout: 2-byte fields
constexpr qsizetype BmpCoreWidthAt = 18, BmpCoreHeightAt = 20, BmpCoreBitsAt = 24;
constexpr qsizetype BmpWidthAt = 18, BmpHeightAt = 22, BmpBitsAt = 28, BmpCompressionAt = 30;
constexpr qsizetype BmpInfoHeaderSize = 40;  // the common layout and its extensions
constexpr std::uint32_t BmpRle8 = 1, BmpRle4 = 2, BmpBitFields = 3, BmpAlphaBitFields = 6;

struct BmpHeader {
    qsizetype dataStart = 0;
    qsizetype infoHeaderSize = 0;
    long long width = 0;  // signed: a negative height means rows top-down
    long long height = 0;
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
};

BmpHeader ReadBmpHeader(const QByteArray& b)
{
    BmpHeader header;
    header.dataStart = Little(b, BmpDataOffsetAt, 4);
    header.infoHeaderSize = Little(b, BmpInfoHeaderAt, 4);
    if (header.infoHeaderSize == BmpCoreHeaderSize) {
        header.width = Little(b, BmpCoreWidthAt, 2);
        header.height = Little(b, BmpCoreHeightAt, 2);
        header.bitsPerPixel = static_cast<int>(Little(b, BmpCoreBitsAt, 2));
    } else {
        header.width = static_cast<std::int32_t>(Little(b, BmpWidthAt, 4));
        header.height = static_cast<std::int32_t>(Little(b, BmpHeightAt, 4));
        header.bitsPerPixel = static_cast<int>(Little(b, BmpBitsAt, 2));
        header.compression = Little(b, BmpCompressionAt, 4);
    }
    return header;
}

QString CheckBmp(const QByteArray& b)
{
    if (b.size() < BmpInfoHeaderAt + 4)
        return Truncated();
    const BmpHeader header = ReadBmpHeader(b);
    const qsizetype headerSize = header.infoHeaderSize;
    if (headerSize < BmpCoreHeaderSize || b.size() < BmpInfoHeaderAt + headerSize)
        return Truncated();
    if (headerSize != BmpCoreHeaderSize && headerSize < BmpCompressionAt + 4 - BmpInfoHeaderAt)
        return Truncated();
    if (header.dataStart > b.size())
        return Truncated();
    const std::uint32_t compression = header.compression;
    if (compression == BmpRle8 || compression == BmpRle4)
        return RleStreamIsComplete(b, header.dataStart, compression == BmpRle4) ? QString() : Truncated();
    if (compression != 0 && compression != BmpBitFields && compression != BmpAlphaBitFields)
        return {};
    // Rows of up to 2^47 bytes: their number is compared by division, which
    // no header's claim can make overflow.
    const long long rowBytes = (std::abs(header.width) * header.bitsPerPixel + 31) / 32 * 4;
    if (rowBytes > 0 && std::abs(header.height) > (b.size() - header.dataStart) / rowBytes)
        return Truncated();
    return {};
}

// A JPEG walked marker by marker: complete when its end-of-image mark follows
// the scans. Inside entropy-coded data 0xFF is followed by 0x00 or a restart
// mark, so the first other marker there ends the scan.
struct JpegWalk {
    QString fault;  // empty when complete
    int scans = 0;
};

JpegWalk WalkJpeg(const QByteArray& b)
{
    JpegWalk walk;
    qsizetype at = 2;
    while (at + 2 <= b.size()) {
        if (static_cast<std::uint8_t>(b[at]) != 0xFF) {
            walk.fault = QCoreApplication::translate("PictureIntegrity", "the picture data is corrupt (a marker is missing)");
            return walk;
        }
        const int marker = static_cast<std::uint8_t>(b[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xD9)
            return walk;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            at += 2;
            continue;
        }
        if (at + 4 > b.size())
            break;
        const qsizetype length = static_cast<std::uint8_t>(b[at + 2]) << 8 | static_cast<std::uint8_t>(b[at + 3]);
        at += 2 + length;
        if (marker != 0xDA)
            continue;
        ++walk.scans;
        while (at + 1 < b.size()) {
            const int next = static_cast<std::uint8_t>(b[at + 1]);
            if (static_cast<std::uint8_t>(b[at]) == 0xFF && next != 0x00 && !(next >= 0xD0 && next <= 0xD7))
                break;
            ++at;
        }
    }
    walk.fault = Truncated();
    return walk;
}

qsizetype SkipSubBlocks(const QByteArray& b, qsizetype at)
{
    while (at < b.size()) {
        const int length = static_cast<std::uint8_t>(b[at]);
        ++at;
        if (length == 0)
            return at;
        at += length;
    }
    return -1;
}

// A GIF is complete enough once its first image's data has ended.
QString CheckGif(const QByteArray& b)
{
    if (b.size() < 13)
        return Truncated();
    qsizetype at = 13;
    const int flags = static_cast<std::uint8_t>(b[10]);
    if (flags & 0x80)
        at += 3 * (2 << (flags & 7));
    while (at < b.size()) {
        const int block = static_cast<std::uint8_t>(b[at]);
        if (block == 0x21) {
            at = SkipSubBlocks(b, at + 2);
        } else if (block == 0x2C) {
            if (at + 10 > b.size())
                break;
            const int local = static_cast<std::uint8_t>(b[at + 9]);
            at += 10;
            if (local & 0x80)
                at += 3 * (2 << (local & 7));
            return SkipSubBlocks(b, at + 1) < 0 ? Truncated() : QString();
        } else {
            return QCoreApplication::translate("PictureIntegrity", "the picture data is corrupt (a block of unknown kind)");
        }
        if (at < 0)
            break;
    }
    return Truncated();
}

// An XBM's bits end with the closing brace of their initialiser.
QString CheckXbm(const QByteArray& b)
{
    return b.contains('}') ? QString() : Truncated();
}

}  // namespace

QSize ClaimedPictureSize(const QByteArray& bytes, const QByteArray& format)
{
    if (format != "bmp" || bytes.size() < BmpHeightAt + 4)
        return {};
    const BmpHeader header = ReadBmpHeader(bytes);
    if (header.infoHeaderSize < BmpInfoHeaderSize)
        return {};
    return QSize(static_cast<int>(std::min(std::abs(header.width), 1LL << 30)),
                 static_cast<int>(std::min(std::abs(header.height), 1LL << 30)));
}


QString FindMissingPictureData(const QByteArray& bytes, const QByteArray& format)
{
    if (format == "bmp")
        return CheckBmp(bytes);
    if (format == "jpeg" || format == "jpg")
        return WalkJpeg(bytes).fault;
    if (format == "gif")
        return CheckGif(bytes);
    if (format == "xbm")
        return CheckXbm(bytes);
    return {};
}

int CountJpegScans(const QByteArray& bytes)
{
    return WalkJpeg(bytes).scans;
}
