#include "framework/core/Exception.h"
#include "framework/pictures/GreyPicture.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/TBitmap.h"
#include "testing/pictures/TestPictures.h"

#include <QImageWriter>

#include <gtest/gtest.h>

#include <vector>

// Pictures with more than 8 bits a channel: the window reduces them to 8 bits
// without turning a reading into a hole; grey pictures keep every bit.

namespace {

const std::vector<quint16> Values = {0, 1, 255, 256, 65535};
const std::vector<int> EightBits = {0, 1, 1, 1, 255};

QImage Grey16Row()
{
    QImage image(static_cast<int>(Values.size()), 1, QImage::Format_Grayscale16);
    for (int x = 0; x < image.width(); ++x)
        reinterpret_cast<quint16*>(image.scanLine(0))[x] = Values[x];
    return image;
}

// Blue carries the values; red and green other ones, so that a mix-up shows.
QImage Colour16Row()
{
    QImage image(static_cast<int>(Values.size()), 1, QImage::Format_RGBX64);
    for (int x = 0; x < image.width(); ++x)
        reinterpret_cast<QRgba64*>(image.scanLine(0))[x] = QRgba64::fromRgba64(40000, 700, Values[x], 65535);
    return image;
}

QByteArray Netpbm16(char kind)
{
    const bool colour = kind == '6';
    QByteArray bytes = QByteArray("P") + kind + "\n# values\n5 1\n65535\n";
    for (const quint16 value : Values)
        for (const quint16 sample : colour ? std::vector<quint16>{40000, 700, value} : std::vector<quint16>{value}) {
            bytes.append(static_cast<char>(sample >> 8));
            bytes.append(static_cast<char>(sample & 0xFF));
        }
    return bytes;
}

QByteArray Encoded(const QImage& image, const char* format)
{
    return QImageWriter::supportedImageFormats().contains(format) ? Encode(image, format) : QByteArray();
}

struct DeepCase {
    const char* name;
    QByteArray bytes;  // empty where the system cannot write the format
    bool colour;
};

std::vector<DeepCase> DeepCases()
{
    return {
        {"Png16Grey", Encoded(Grey16Row(), "png"), false},
        {"Png16Colour", Encoded(Colour16Row(), "png"), true},
        {"Tiff16Grey", Encoded(Grey16Row(), "tiff"), false},
        {"Pgm16Binary", Netpbm16('5'), false},
        {"Ppm16Binary", Netpbm16('6'), true},
        {"Pgm16Text", "P2 5 1 65535 0 1 255 256 65535", false},
    };
}

TEST(DeepPicture, ReducedToEightBitsNoReadingBecomesAHole)
{
    for (const DeepCase& c : DeepCases()) {
        if (c.bytes.isEmpty())
            continue;
        TBitmap bitmap;
        ASSERT_NO_THROW(DecodePicture(c.bytes, c.name, bitmap)) << c.name;
        ASSERT_EQ(bitmap.Width(), 5) << c.name;
        for (int x = 0; x < 5; ++x) {
            const std::uint8_t* pixel = bitmap.GetScanline(0) + bitmap.BytesPerPixel() * x;
            EXPECT_EQ(pixel[0], EightBits[x]) << c.name << " value " << Values[x];
            if (c.colour) {
                EXPECT_EQ(pixel[1], 2) << c.name;    // 700: high byte 2
                EXPECT_EQ(pixel[2], 156) << c.name;  // 40000: high byte 156
            }
        }
    }
}

TEST(DeepPicture, GreyValuesKeepEverySixteenBits)
{
    for (const DeepCase& c : DeepCases()) {
        if (c.bytes.isEmpty())
            continue;
        const GreyPicture grey = GreyPictureOfImage(DecodePictureImage(c.bytes, c.name));
        EXPECT_EQ(grey.bitsPerValue, 16) << c.name;
        EXPECT_EQ(grey.values, std::vector<std::uint16_t>(Values.begin(), Values.end())) << c.name;
    }
}

TEST(DeepPicture, DamagedDeepNetpbmSaysWhy)
{
    struct Row {
        const char* name;
        QByteArray bytes;
        const char* reason;
    };
    const Row table[] = {
        {"EndsEarly", Netpbm16('5').chopped(3), "ends before the picture is complete"},
        {"ValueAboveMaximum", "P2 2 1 1000 5 1001", "above the file's maximum 1000"},
        {"MaximumTooLarge", "P5 2 1 70000\n", "header is not valid"},
        {"ZeroWidth", "P5 0 1 65535\n", "header is not valid"},
        {"Huge", "P5 100000 100000 65535\n", "too large"},
        {"SizeBeyondAnyNumber", "P5\n5555555555 5555555555 65535\n", "header is not valid"},
    };
    for (const Row& row : table) {
        try {
            DecodePictureImage(row.bytes, row.name);
            ADD_FAILURE() << row.name << ": read";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message.find(row.reason), std::string::npos) << row.name << ": " << e.Message;
        }
    }
}

}  // namespace
