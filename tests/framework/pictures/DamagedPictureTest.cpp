#include "framework/core/Exception.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/TBitmap.h"
#include "testing/pictures/TestPictures.h"

#include <QBuffer>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <malloc.h>

#include <chrono>
#include <vector>

// Damaged pictures of every format: each load ends in time, either in a picture
// or in an Exception that says why, and never shows memory it did not write.

namespace {

struct Outcome {
    bool loaded = false;
    std::string message;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    bool operator==(const Outcome&) const = default;
};

// Loads bytes with fresh memory filled with the given byte: pixels that the
// reader never wrote differ between two fillings.
Outcome Load(const QByteArray& bytes, int filling)
{
    mallopt(M_PERTURB, filling);
    Outcome outcome;
    try {
        TBitmap bitmap;
        DecodePicture(bytes, QStringLiteral("sample"), bitmap);
        outcome.loaded = true;
        outcome.width = bitmap.Width();
        outcome.height = bitmap.Height();
        for (int y = 0; y < bitmap.Height(); ++y)
            outcome.pixels.insert(outcome.pixels.end(), bitmap.GetScanline(y),
                                  bitmap.GetScanline(y) + 4 * bitmap.Width());
    } catch (const Exception& e) {
        outcome.message = e.Message;
    }
    mallopt(M_PERTURB, 0);
    return outcome;
}

bool SaysWhy(const std::string& message)
{
    for (const char* reason : {"is damaged", "is too large", "is not a picture", "is empty"})
        if (message.find(reason) != std::string::npos && message.find("\"sample\"") != std::string::npos)
            return true;
    return false;
}

struct Sample {
    std::string name;
    QByteArray bytes;
};

std::vector<Sample> Originals()
{
    const QImage colour = PatternImage(23, 17);
    return {
        {"bmp1", EncodeBmp(PalettePicture(23, 17, 2), 1)},
        {"bmp4", EncodeBmp(PalettePicture(23, 17, 16), 4)},
        {"bmp8", EncodeBmp(PalettePicture(23, 17, 200), 8)},
        {"bmp24", EncodeBmp(colour, 24)},
        {"bmp32", EncodeBmp(colour, 32)},
        {"rle4", EncodeBmp(PalettePicture(23, 17, 16), 4, true)},
        {"rle8", EncodeBmp(PalettePicture(23, 17, 100), 8, true)},
        {"png", Encode(colour, "png")},
        {"jpeg", Encode(colour, "jpg")},
        {"gif", EncodeGif(PalettePicture(23, 17, 200))},
        {"ico", Encode(colour, "ico")},
        {"ppm", Encode(colour, "ppm")},
        {"pgm", Encode(colour.convertToFormat(QImage::Format_Grayscale8), "pgm")},
    };
}

void ExpectSound(const std::string& name, const QByteArray& bytes, const Outcome* whole)
{
    const auto start = std::chrono::steady_clock::now();
    const Outcome first = Load(bytes, 0x55);
    const Outcome second = Load(bytes, 0xAA);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 4.0) << name << ": two loads took " << seconds << " s";
    EXPECT_TRUE(first == second) << name << ": the result depends on what memory held before";
    if (!first.loaded) {
        EXPECT_TRUE(SaysWhy(first.message)) << name << ": " << first.message;
    } else if (whole) {
        EXPECT_TRUE(first == *whole) << name << ": a cut file loaded as another picture";
    }
}

TEST(DamagedPictures, OriginalsLoad)
{
    for (const Sample& sample : Originals()) {
        const Outcome outcome = Load(sample.bytes, 0x55);
        EXPECT_TRUE(outcome.loaded) << sample.name << ": " << outcome.message;
        EXPECT_EQ(outcome.width, 23) << sample.name;
    }
}

TEST(DamagedPictures, TruncatedAtManyLengths)
{
    for (const Sample& sample : Originals()) {
        const Outcome whole = Load(sample.bytes, 0x55);
        const qsizetype size = sample.bytes.size();
        for (qsizetype length = 0; length < size; length += length < size - 16 ? std::max<qsizetype>(1, size / 50) : 1)
            ExpectSound(sample.name + " cut at " + std::to_string(length), sample.bytes.left(length), &whole);
    }
}

TEST(DamagedPictures, FlippedBytes)
{
    for (const Sample& sample : Originals()) {
        const qsizetype size = sample.bytes.size();
        for (qsizetype at = 0; at < size; at += at < 64 ? 1 : std::max<qsizetype>(1, size / 40))
            for (const char flip : {'\xFF', '\x80', '\x01'}) {
                QByteArray bytes = sample.bytes;
                bytes[at] = static_cast<char>(bytes[at] ^ flip);
                ExpectSound(sample.name + " flipped at " + std::to_string(at), bytes, nullptr);
            }
    }
}

void PutLong(QByteArray& bytes, qsizetype at, qint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(static_cast<quint32>(value) >> (8 * i));
}

// The first RLE pair of the bitmap's data, found after the header and palette.
qsizetype RleStart(const QByteArray& bmp)
{
    return static_cast<quint8>(bmp[10]) | static_cast<quint8>(bmp[11]) << 8;
}

TEST(DamagedPictures, HostileHeaders)
{
    const QByteArray bmp24 = EncodeBmp(PatternImage(23, 17), 24);
    const QByteArray bmp4 = EncodeBmp(PalettePicture(23, 17, 16), 4);
    const QByteArray rle8 = EncodeBmp(PalettePicture(23, 17, 100), 8, true);
    const QByteArray ico = Encode(PatternImage(23, 17), "ico");
    struct Row {
        const char* name;
        QByteArray bytes;
        const char* expected;  // in the message; empty when the file may load
    };
    std::vector<Row> table;
    const auto bmpWith = [&](const QByteArray& base, qsizetype at, qint32 value) {
        QByteArray bytes = base;
        PutLong(bytes, at, value);
        return bytes;
    };
    table.push_back({"BmpHugeSize", bmpWith(bmpWith(bmp24, 18, 100000), 22, 100000), "too large"});
    table.push_back({"BmpNegativeWidth", bmpWith(bmp24, 18, -23), ""});
    table.push_back({"BmpZeroWidth", bmpWith(bmp24, 18, 0), ""});
    table.push_back({"BmpTopDown", bmpWith(bmp24, 22, -17), ""});
    table.push_back({"BmpDataOffsetPastEnd", bmpWith(bmp24, 10, 1 << 30), ""});
    table.push_back({"BmpHugeHeaderSize", bmpWith(bmp24, 14, 1 << 30), ""});
    table.push_back({"BmpPaletteShorterThanIndexes", bmpWith(bmp4, 46, 4), ""});
    {
        QByteArray bytes = rle8;
        bytes[RleStart(rle8)] = static_cast<char>(200);
        table.push_back({"RleRunPastRowEnd", bytes, ""});
    }
    {
        QByteArray bytes = rle8;
        const qsizetype at = RleStart(rle8);
        bytes.insert(at, QByteArray("\x00\x02\x7F\x7F", 4));
        table.push_back({"RleDeltaPastPicture", bytes, ""});
    }
    {
        QByteArray bytes = rle8;
        bytes.chop(2);
        table.push_back({"RleWithoutEnd", bytes, "damaged"});
    }
    for (const int bits : {3, 64, 0}) {
        QByteArray bytes = ico;
        bytes[6 + 6] = static_cast<char>(bits);
        bytes[6 + 16 + 14] = static_cast<char>(bits);
        table.push_back({"IcoBadBitDepth", bytes, ""});
    }
    table.push_back({"PpmHugeSize", QByteArray("P6\n100000 100000\n255\n") + QByteArray(64, 'x'), ""});
    // An older header whose size Qt will not tell, claiming rows beyond any
    // file: the check of its length once overflowed.
    table.push_back({"BmpRowsBeyondAnyFile",
                     QByteArray::fromBase64("Qk3iAAAAAHYAAAAAAAAjAAAADQBSAP//X3AAJOJwAwAAAGwAYAcYAAcATaoAAACADAENAAEEAAE="),
                     ""});
    {
        QByteArray gif = EncodeGif(PalettePicture(23, 17, 200));
        gif[6] = gif[7] = gif[8] = gif[9] = '\xFF';
        table.push_back({"GifHugeScreen", gif, ""});
    }
    for (const Row& row : table) {
        ExpectSound(row.name, row.bytes, nullptr);
        const Outcome outcome = Load(row.bytes, 0);
        if (*row.expected) {
            EXPECT_NE(outcome.message.find(row.expected), std::string::npos) << row.name << ": " << outcome.message;
        }
    }
}

}  // namespace
