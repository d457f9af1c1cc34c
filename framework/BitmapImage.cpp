#include "BitmapImage.h"

#include "TBitmap.h"

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
