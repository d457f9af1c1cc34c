#include "PictureIntegrity.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

const QString Truncated = QStringLiteral("the picture data ends before the picture is complete");

std::uint32_t Little(const QByteArray& b, qsizetype at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(b[at + i]);
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

QString CheckBmp(const QByteArray& b)
{
    if (b.size() < 18)
        return Truncated;
    const qsizetype headerSize = Little(b, 14, 4);
    if (b.size() < 14 + headerSize || headerSize < 12)
        return Truncated;
    const qsizetype dataStart = Little(b, 10, 4);
    long long width;
    long long height;
    int bitsPerPixel;
    std::uint32_t compression = 0;
    if (headerSize == 12) {
        width = Little(b, 18, 2);
        height = Little(b, 20, 2);
        bitsPerPixel = Little(b, 24, 2);
    } else {
        if (headerSize < 20)
            return Truncated;
        width = static_cast<std::int32_t>(Little(b, 18, 4));
        height = static_cast<std::int32_t>(Little(b, 22, 4));
        bitsPerPixel = Little(b, 28, 2);
        compression = Little(b, 30, 4);
    }
    if (dataStart > b.size())
        return Truncated;
    if (compression == 1 || compression == 2)
        return RleStreamIsComplete(b, dataStart, compression == 2) ? QString() : Truncated;
    if (compression != 0 && compression != 3 && compression != 6)
        return {};
    if (width < 0)
        width = -width;
    if (height < 0)
        height = -height;
    const long long rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    if (dataStart + rowBytes * height > b.size())
        return Truncated;
    return {};
}

// A JPEG is complete when its end-of-image mark follows the scans. Markers are
// walked segment by segment; inside entropy-coded data 0xFF is followed by 0x00 or
// a restart mark, so the first other marker there ends the scan.
QString CheckJpeg(const QByteArray& b)
{
    qsizetype at = 2;
    while (at + 2 <= b.size()) {
        if (static_cast<std::uint8_t>(b[at]) != 0xFF)
            return QStringLiteral("the picture data is corrupt (a marker is missing)");
        const int marker = static_cast<std::uint8_t>(b[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xD9)
            return {};
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
        while (at + 1 < b.size()) {
            const int next = static_cast<std::uint8_t>(b[at + 1]);
            if (static_cast<std::uint8_t>(b[at]) == 0xFF && next != 0x00 && !(next >= 0xD0 && next <= 0xD7))
                break;
            ++at;
        }
    }
    return Truncated;
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
        return Truncated;
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
            return SkipSubBlocks(b, at + 1) < 0 ? Truncated : QString();
        } else {
            return QStringLiteral("the picture data is corrupt (a block of unknown kind)");
        }
        if (at < 0)
            break;
    }
    return Truncated;
}

// An XBM's bits end with the closing brace of their initialiser.
QString CheckXbm(const QByteArray& b)
{
    return b.contains('}') ? QString() : Truncated;
}

}  // namespace

QSize ClaimedPictureSize(const QByteArray& bytes, const QByteArray& format)
{
    if (format != "bmp" || bytes.size() < 26 || Little(bytes, 14, 4) < 40)
        return {};
    const long long width = static_cast<std::int32_t>(Little(bytes, 18, 4));
    const long long height = static_cast<std::int32_t>(Little(bytes, 22, 4));
    return QSize(static_cast<int>(std::min(std::abs(width), 1LL << 30)),
                 static_cast<int>(std::min(std::abs(height), 1LL << 30)));
}

QString FindMissingPictureData(const QByteArray& bytes, const QByteArray& format)
{
    if (format == "bmp")
        return CheckBmp(bytes);
    if (format == "jpeg" || format == "jpg")
        return CheckJpeg(bytes);
    if (format == "gif")
        return CheckGif(bytes);
    if (format == "xbm")
        return CheckXbm(bytes);
    return {};
}
