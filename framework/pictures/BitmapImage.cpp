#include "framework/pictures/BitmapImage.h"

#include <algorithm>


QImage ImageOfBitmap(const TBitmap& bitmap)
{
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    const int bytes = bitmap.BytesPerPixel();
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* from = bitmap.GetScanline(y);
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x)
            to[x] = qRgb(from[bytes * x + 2], from[bytes * x + 1], from[bytes * x]);
    }
    return image;
}

namespace {

void WritePixel(std::uint8_t* pixel, int red, int green, int blue)
{
    pixel[0] = static_cast<std::uint8_t>(blue);
    pixel[1] = static_cast<std::uint8_t>(green);
    pixel[2] = static_cast<std::uint8_t>(red);
    pixel[3] = 0;
}

// Palette pictures give their palette colours; an index beyond the palette is black.
void CopyIndexed(const QImage& image, TBitmap& bitmap)
{
    const QList<QRgb> palette = image.colorTable();
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = bitmap.GetScanline(y);
        for (int x = 0; x < image.width(); ++x) {
            const int index = image.pixelIndex(x, y);
            const QRgb colour = index < palette.size() ? palette[index] : 0;
            WritePixel(row + 4 * x, qRed(colour), qGreen(colour), qBlue(colour));
        }
    }
}

// Sixteen bits a channel become eight: 0 stays 0, every other value takes its
// high byte, raised to 1 where that is 0, so that no reading turns into a hole.
int EightBitsOf(quint16 value)
{
    return value == 0 ? 0 : std::max(1, value >> 8);
}

void CopyDeep(const QImage& image, TBitmap& bitmap)
{
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = bitmap.GetScanline(y);
        if (image.format() == QImage::Format_Grayscale16) {
            const auto* grey = reinterpret_cast<const quint16*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                WritePixel(row + 4 * x, EightBitsOf(grey[x]), EightBitsOf(grey[x]), EightBitsOf(grey[x]));
        } else {
            const auto* colour = reinterpret_cast<const QRgba64*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                WritePixel(row + 4 * x, EightBitsOf(colour[x].red()), EightBitsOf(colour[x].green()),
                           EightBitsOf(colour[x].blue()));
        }
    }
}

void CopyColours(const QImage& image, TBitmap& bitmap)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        std::uint8_t* row = bitmap.GetScanline(y);
        const auto* colour = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            WritePixel(row + 4 * x, qRed(colour[x]), qGreen(colour[x]), qBlue(colour[x]));
    }
}

}  // namespace

TBitmap BitmapOfImage(const QImage& image)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(image.width(), image.height());
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        CopyIndexed(image, bitmap);
        break;
    case QImage::Format_Grayscale16:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
        CopyDeep(image, bitmap);
        break;
    default:
        CopyColours(image, bitmap);
        break;
    }
    return bitmap;
}
