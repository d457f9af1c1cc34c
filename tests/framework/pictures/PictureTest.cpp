#include "framework/core/Exception.h"
#include "framework/pictures/TBitmap.h"
#include "framework/pictures/TPicture.h"
#include "testing/pictures/TestPictures.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

struct Colour {
    int red, green, blue;
};

// The colour the loader must give for pixel (x, y) of a picture.
using Expected = std::function<Colour(int x, int y)>;

Colour Rgb(QRgb c)
{
    return {qRed(c), qGreen(c), qBlue(c)};
}

int Mismatches(const TBitmap& bitmap, int width, int height, const Expected& expected, int tolerance)
{
    if (bitmap.Width() != width || bitmap.Height() != height)
        return -1;
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* pixel = bitmap.GetScanline(y) + bitmap.BytesPerPixel() * x;
            const Colour c = expected(x, y);
            wrong += std::abs(pixel[0] - c.blue) > tolerance || std::abs(pixel[1] - c.green) > tolerance ||
                     std::abs(pixel[2] - c.red) > tolerance;
        }
    return wrong;
}

QImage Palette8(int width, int height)
{
    QImage image(width, height, QImage::Format_Indexed8);
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.append(qRgb(i, 255 - i, (i * 7) & 255));
    image.setColorTable(palette);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, (x * 3 + y * 5) & 255);
    return image;
}

QImage Grey16(int width, int height)
{
    QImage image(width, height, QImage::Format_Grayscale16);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<quint16*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<quint16>(x * 4099 + y * 131 + 255);
    }
    return image;
}

QImage Translucent(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba(x * 20, 200 - y * 10, 90, (x + y) % 2 ? 0 : 128));
    return image;
}

QImage Mono(int width, int height)
{
    QImage image(width, height, QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, (x + 2 * y) % 3 == 0);
    return image;
}

// The image's own colours, with its palette or alpha as stored.
Expected ColoursOf(const QImage& image)
{
    return [image](int x, int y) { return Rgb(image.pixel(x, y)); };
}

struct LoadCase {
    const char* name;
    QByteArray bytes;
    int width, height;
    Expected expected;
    int tolerance;
};

TEST(Picture, LoadsEveryFormatWithItsColours)
{
    const QImage pattern = PatternImage(13, 7);
    const QImage palette = Palette8(11, 6);
    const QImage grey16 = Grey16(9, 5);
    const QImage translucent = Translucent(6, 4);
    const QImage mono = Mono(10, 3);
    QImage flat(16, 16, QImage::Format_RGB32);
    flat.fill(qRgb(40, 120, 200));

    const LoadCase table[] = {
        {"Bmp24", Encode(pattern, "bmp"), 13, 7, ColoursOf(pattern), 0},
        {"Bmp8Palette", Encode(palette, "bmp"), 11, 6, ColoursOf(palette), 0},
        {"Bmp1", Encode(mono, "bmp"), 10, 3, ColoursOf(mono), 0},
        {"Png", Encode(pattern, "png"), 13, 7, ColoursOf(pattern), 0},
        {"PngPalette", Encode(palette, "png"), 11, 6, ColoursOf(palette), 0},
        {"PngTransparencyDropped", Encode(translucent, "png"), 6, 4,
         [&](int x, int y) { return Colour{x * 20, 200 - y * 10, 90}; }, 0},
        {"PngGrey16TakesHighByteAtLeastOne", Encode(grey16, "png"), 9, 5,
         [](int x, int y) {
             const int value = (x * 4099 + y * 131 + 255) & 0xFFFF;
             const int eight = value == 0 ? 0 : std::max(1, value >> 8);
             return Colour{eight, eight, eight};
         },
         0},
        {"Jpeg", Encode(flat, "jpg"), 16, 16, ColoursOf(flat), 2},
        {"Gif", EncodeGif(palette), 11, 6, ColoursOf(palette), 0},
        {"Ico", Encode(pattern, "ico"), 13, 7, ColoursOf(pattern), 0},
        {"Ppm", Encode(pattern, "ppm"), 13, 7, ColoursOf(pattern), 0},
        {"Pgm", Encode(palette.convertToFormat(QImage::Format_Grayscale8), "pgm"), 11, 6,
         ColoursOf(palette.convertToFormat(QImage::Format_Grayscale8)), 0},
        {"Pbm", Encode(mono, "pbm"), 10, 3, ColoursOf(mono), 0},
        {"Xbm", Encode(mono, "xbm"), 10, 3, ColoursOf(mono), 0},
        {"Xpm", Encode(palette, "xpm"), 11, 6, ColoursOf(palette), 0},
    };
    for (const LoadCase& c : table) {
        // A misleading extension shows that the format is told by content.
        const QString path = WriteTempFile(QStringLiteral("picture-%1.dat").arg(c.name), c.bytes);
        TPicture picture;
        int changes = 0;
        picture.OnChange = [&] { ++changes; };
        ASSERT_NO_THROW(picture.LoadFromFile(path.toStdString())) << c.name;
        EXPECT_EQ(Mismatches(*picture.GetBitmap(), c.width, c.height, c.expected, c.tolerance), 0) << c.name;
        EXPECT_EQ(changes, 1) << c.name;
    }
}

QByteArray BmpClaiming(int width, int height)
{
    QByteArray bytes = Encode(PatternImage(4, 4), "bmp");
    for (int i = 0; i < 4; ++i) {
        bytes[18 + i] = static_cast<char>(width >> (8 * i));
        bytes[22 + i] = static_cast<char>(height >> (8 * i));
    }
    return bytes;
}

struct BadFileCase {
    std::string name;
    QString path;
    const char* reason;
};

TEST(Picture, RefusesBadFilesAndKeepsTheEarlierPicture)
{
    const QImage pattern = PatternImage(40, 30);
    const QByteArray bmp = Encode(pattern, "bmp");
    const QByteArray png = Encode(pattern, "png");
    const QByteArray ico = Encode(pattern, "ico");
    const QByteArray ppm = Encode(pattern, "ppm");
    const QByteArray jpeg = Encode(pattern, "jpg");
    const QByteArray gif = EncodeGif(Palette8(40, 30));

    std::vector<BadFileCase> table = {
        {"Missing", QStringLiteral("/nonexistent/picture.bmp"), "does not exist"},
        {"Folder", WriteTempFile("dummy", "x").section('/', 0, -2), "is a folder"},
        {"ZeroBytes", WriteTempFile("empty.bmp", ""), "is empty"},
        {"TextNamedBmp", WriteTempFile("text.bmp", "This is not a picture.\n"), "not a picture"},
        {"BmpHuge", WriteTempFile("huge.bmp", BmpClaiming(100000, 100000)), "too large"},
        {"BmpHugeMentionsSize", WriteTempFile("huge2.bmp", BmpClaiming(100000, 100000)), "100000 x 100000"},
    };
    const std::pair<const char*, const QByteArray*> formats[] = {
        {"bmp", &bmp}, {"png", &png}, {"ico", &ico}, {"ppm", &ppm}, {"jpg", &jpeg}, {"gif", &gif}};
    for (const auto& [format, bytes] : formats)
        for (const double part : {0.05, 0.3, 0.6, 0.9, 0.99}) {
            const qsizetype length = static_cast<qsizetype>(bytes->size() * part);
            const std::string name = std::string(format) + " cut at " + std::to_string(length);
            table.push_back(
                {name, WriteTempFile(QString::fromStdString(name), bytes->left(length)), "damaged"});
        }

    for (const BadFileCase& c : table) {
        TPicture picture;
        picture.Assign(nullptr);
        TBitmap earlier;
        earlier.SetSize(3, 2);
        earlier.GetScanline(1)[4] = 77;
        picture.Assign(&earlier);
        int changes = 0;
        picture.OnChange = [&] { ++changes; };
        try {
            picture.LoadFromFile(c.path.toStdString());
            ADD_FAILURE() << c.name << ": loaded";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message.find(c.reason), std::string::npos) << c.name << ": " << e.Message;
        }
        EXPECT_EQ(changes, 0) << c.name;
        EXPECT_EQ(picture.GetBitmap()->Width(), 3) << c.name;
        EXPECT_EQ(picture.GetBitmap()->GetScanline(1)[4], 77) << c.name;
    }
}

TEST(Picture, UnreadableFileSaysSo)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const QString path = WriteTempFile("locked.png", Encode(PatternImage(2, 2), "png"));
    QFile::setPermissions(path, QFileDevice::Permissions());
    TPicture picture;
    try {
        picture.LoadFromFile(path.toStdString());
        ADD_FAILURE() << "loaded";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message.find("cannot be read"), std::string::npos) << e.Message;
    }
}

}  // namespace
