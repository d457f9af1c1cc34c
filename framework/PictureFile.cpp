#include "PictureFile.h"

#include "Exception.h"
#include "PictureIntegrity.h"
#include "TBitmap.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace {

// Files beyond this are not read into memory at all.
constexpr qint64 MaximumFileBytes = 1LL << 30;

[[noreturn]] void Fail(const QString& message)
{
    throw Exception(message.toStdString());
}

QString Quoted(const QString& name)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(name) + QLatin1Char('"');
}

[[noreturn]] void FailTooLarge(const QString& name, QSize size)
{
    Fail(QStringLiteral("%1 is too large to open: the picture is %2 x %3 pixels.")
             .arg(Quoted(name))
             .arg(size.width())
             .arg(size.height()));
}

[[noreturn]] void FailUnknownFormat(const QString& name)
{
    Fail(QStringLiteral("%1 is not a picture in a format that can be read here.").arg(Quoted(name)));
}

bool ExceedsAllocationLimit(QSize size)
{
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    const int limitMegabytes = QImageReader::allocationLimit();
    return limitMegabytes > 0 && bytes > qint64(limitMegabytes) * 1024 * 1024;
}

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

// Sixteen bits a channel keep their high byte.
void CopyDeep(const QImage& image, TBitmap& bitmap)
{
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = bitmap.GetScanline(y);
        if (image.format() == QImage::Format_Grayscale16) {
            const auto* grey = reinterpret_cast<const quint16*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                WritePixel(row + 4 * x, grey[x] >> 8, grey[x] >> 8, grey[x] >> 8);
        } else {
            const auto* colour = reinterpret_cast<const QRgba64*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                WritePixel(row + 4 * x, colour[x].red() >> 8, colour[x].green() >> 8, colour[x].blue() >> 8);
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

void CopyImage(const QImage& image, TBitmap& bitmap)
{
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
}

}  // namespace

void DecodePicture(const QByteArray& bytes, const QString& name, TBitmap& bitmap)
{
    if (bytes.isEmpty())
        Fail(QStringLiteral("%1 is empty: it holds no picture.").arg(Quoted(name)));

    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        FailUnknownFormat(name);

    QSize size = reader.size();
    if (!size.isValid())
        size = ClaimedPictureSize(bytes, format);
    if (size.isValid() && ExceedsAllocationLimit(size))
        FailTooLarge(name, size);

    const QString missing = FindMissingPictureData(bytes, format);
    if (!missing.isEmpty())
        Fail(QStringLiteral("%1 is damaged: %2.").arg(Quoted(name), missing));

    // Readers that reuse an image of the right size and format leave the pixels
    // that a damaged file does not cover as they found them: black, here, never
    // whatever the memory held before.
    QImage image;
    const QImage::Format layout = reader.imageFormat();
    if (size.isValid() && layout != QImage::Format_Invalid) {
        image = QImage(size, layout);
        image.fill(0);
    }
    if (!reader.read(&image) || image.isNull()) {
        if (reader.error() == QImageReader::UnsupportedFormatError)
            FailUnknownFormat(name);
        Fail(QStringLiteral("%1 is damaged: the picture data is corrupt (%2).")
                 .arg(Quoted(name), reader.errorString()));
    }

    TBitmap decoded;
    CopyImage(image, decoded);
    bitmap.Assign(&decoded);
}

void ReadPictureFile(const AnsiString& fileName, TBitmap& bitmap)
{
    const QString name = QString::fromStdString(fileName);
    const QFileInfo info(name);
    if (!info.exists())
        Fail(QStringLiteral("Cannot open %1: the file does not exist.").arg(Quoted(name)));
    if (info.isDir())
        Fail(QStringLiteral("%1 is a folder, not a picture file.").arg(Quoted(name)));

    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("Cannot open %1: the file cannot be read (%2).").arg(Quoted(name), file.errorString()));
    if (file.size() > MaximumFileBytes)
        Fail(QStringLiteral("%1 is too large to open: the file holds %2 MB.")
                 .arg(Quoted(name))
                 .arg(file.size() / (1024 * 1024)));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail(QStringLiteral("Cannot open %1: the file cannot be read (%2).").arg(Quoted(name), file.errorString()));
    DecodePicture(bytes, name, bitmap);
}
