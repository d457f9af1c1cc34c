#include "framework/pictures/GreyPicture.h"

#include <algorithm>
#include <cstddef>

namespace {

bool HasDeepChannels(QImage::Format format)
{
    switch (format) {
    case QImage::Format_Grayscale16:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        return true;
    default:
        return false;
    }
}

}  // namespace

GreyPicture GreyPictureOfImage(const QImage& image)
{
    GreyPicture picture;
    picture.width = image.width();
    picture.height = image.height();
    picture.bitsPerValue = HasDeepChannels(image.format()) ? 16 : 8;
    picture.values.resize(static_cast<std::size_t>(picture.width) * picture.height);
    std::uint16_t* to = picture.values.data();
    if (image.format() == QImage::Format_Grayscale16 || image.format() == QImage::Format_Grayscale8) {
        for (int y = 0; y < image.height(); ++y, to += picture.width) {
            if (image.format() == QImage::Format_Grayscale16) {
                const auto* from = reinterpret_cast<const quint16*>(image.constScanLine(y));
                std::copy(from, from + picture.width, to);
            } else {
                const uchar* from = image.constScanLine(y);
                std::copy(from, from + picture.width, to);
            }
        }
    } else if (picture.bitsPerValue == 16) {
        const QImage deep = image.convertToFormat(QImage::Format_RGBA64);
        for (int y = 0; y < deep.height(); ++y, to += picture.width) {
            const auto* from = reinterpret_cast<const QRgba64*>(deep.constScanLine(y));
            for (int x = 0; x < picture.width; ++x)
                to[x] = from[x].blue();
        }
    } else {
        const QImage colour = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < colour.height(); ++y, to += picture.width) {
            const auto* from = reinterpret_cast<const QRgb*>(colour.constScanLine(y));
            for (int x = 0; x < picture.width; ++x)
                to[x] = static_cast<std::uint16_t>(qBlue(from[x]));
        }
    }
    return picture;
}

QImage ImageOfGreyPicture(const GreyPicture& picture)
{
    const bool deep = picture.bitsPerValue > 8;
    QImage image(picture.width, picture.height, deep ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8);
    const std::uint16_t* from = picture.values.data();
    for (int y = 0; y < picture.height; ++y, from += picture.width) {
        if (deep) {
            std::copy(from, from + picture.width, reinterpret_cast<quint16*>(image.scanLine(y)));
        } else {
            uchar* to = image.scanLine(y);
            for (int x = 0; x < picture.width; ++x)
                to[x] = static_cast<uchar>(from[x]);
        }
    }
    return image;
}
