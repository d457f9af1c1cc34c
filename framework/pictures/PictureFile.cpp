#include "framework/pictures/PictureFile.h"

#include "framework/core/Exception.h"
#include "framework/pictures/BitmapImage.h"
#include "framework/pictures/DeepNetpbm.h"
#include "framework/pictures/PictureIntegrity.h"
#include "framework/pictures/SystemFileName.h"
#include "framework/pictures/TBitmap.h"
#include "files/ByteSource.h"
#include "files/FileError.h"
#include "files/PictureReader.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace {

[[noreturn]] void Fail(const QString& message)
{
    throw Exception(message.toStdString());
}

QString Quoted(const QString& name)
{
    return QuotedFileName(name);
}

[[noreturn]] void FailTooLarge(const QString& name, QSize size)
{
    Fail(QCoreApplication::translate("PictureFile", "%1 is too large to open: the picture is %2 x %3 pixels.")
             .arg(Quoted(name))
             .arg(size.width())
             .arg(size.height()));
}

[[noreturn]] void FailUnknownFormat(const QString& name)
{
    Fail(QCoreApplication::translate("PictureFile", "%1 is not a picture in a format that can be read here.").arg(Quoted(name)));
}

// The formats read, by the names that Qt's reader gives them. Others that plugins
// bring (TGA, WBMP, ...) recognise too little of their content to be told from
// damaged or foreign bytes.
const QList<QByteArray> ReadableFormats = {"bmp", "png", "jpeg", "jpg", "gif", "ico", "cur", "pbm", "pgm",
                                          "ppm", "xbm", "xpm", "tiff", "tif", "webp"};

// A size beyond the pixel limit (where there is one) is refused before anything
// is decoded.
void RefuseBeyond(const QString& name, QSize size, qint64 pixelLimit)
{
    if (pixelLimit > 0 && size.isValid() && qint64(size.width()) * size.height() > pixelLimit)
        Fail(QCoreApplication::translate("PictureFile", "%1 is %2 x %3 pixels; pictures of at most %4 pixels can be read here.")
                 .arg(Quoted(name))
                 .arg(size.width())
                 .arg(size.height())
                 .arg(pixelLimit));
}

// The most pixels that Qt's allocation limit lets a reader take, at 4 bytes a
// pixel; 0 where it sets none.
qint64 AllocationLimitPixels()
{
    return qint64(QImageReader::allocationLimit()) * 1024 * 1024 / 4;
}

bool ExceedsAllocationLimit(QSize size)
{
    const qint64 limit = AllocationLimitPixels();
    return limit > 0 && qint64(size.width()) * size.height() > limit;
}

// A picture whose decoding would cost far more than its pixels: a progressive
// JPEG of more scans than encoders write (each a pass over the whole picture).
void RefuseCostlyPicture(const QByteArray& bytes, const QByteArray& format, const QString& name)
{
    if (format != "jpeg" && format != "jpg")
        return;
    if (const int scans = CountJpegScans(bytes); scans > MostJpegScans)
        Fail(QCoreApplication::translate("PictureFile", "%1 is a JPEG picture of %2 scans; pictures of at most %3 "
                                                        "scans are read here, as encoders write a few dozen at most.")
                 .arg(Quoted(name))
                 .arg(scans)
                 .arg(MostJpegScans));
}

bool IsPng(const QByteArray& bytes)
{
    return bytes.startsWith("\x89PNG\r\n\x1a\n");
}

// A picture read by the file library as Qt's readers give it: grey, RGB or RGBA,
// at 8 or 16 bits a channel, the colours as stored.
QImage ImageOfPicture(const darkfill::files::Picture& picture)
{
    const bool deep = picture.type == darkfill::files::SampleType::U16;
    QImage::Format format = deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
    if (picture.channels == 1)
        format = deep ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
    else if (picture.channels == 3)
        format = deep ? QImage::Format_RGBX64 : QImage::Format_RGB888;
    QImage image(picture.width, picture.height, format);
    if (image.isNull())
        throw std::bad_alloc();
    const std::size_t rowBytes = picture.RowBytes();
    for (int y = 0; y < picture.height; ++y) {
        if (!(deep && picture.channels == 3)) {
            std::memcpy(image.scanLine(y), picture.Row<std::uint8_t>(y), rowBytes);
            continue;
        }
        const std::uint16_t* from = picture.Row<std::uint16_t>(y);
        auto* to = reinterpret_cast<quint16*>(image.scanLine(y));
        for (int x = 0; x < picture.width; ++x, from += 3, to += 4) {
            std::copy(from, from + 3, to);
            to[3] = 0xffff;
        }
    }
    return image;
}

// PNG through the file library, which tells every fault in its own words and
// inflates no more than the picture needs.
QImage DecodePng(const QByteArray& bytes, const QString& name, qint64 pixelLimit)
{
    const QByteArray spelt = SystemFileName(name);
    darkfill::files::ByteSource source(
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())},
        spelt.toStdString());
    const qint64 limit = pixelLimit > 0 ? pixelLimit : AllocationLimitPixels();
    try {
        return ImageOfPicture(darkfill::files::ReadPng(source, {.maximumPixels = limit > 0 ? limit : INT64_MAX},
                                                        darkfill::files::ReadAs::Colour));
    } catch (const darkfill::files::FileError& e) {
        throw Exception(e.what());
    }
}

}  // namespace

QImage DecodePictureImage(const QByteArray& bytes, const QString& name, qint64 pixelLimit)
{
    if (bytes.isEmpty())
        Fail(QCoreApplication::translate("PictureFile", "%1 is empty: it holds no picture.").arg(Quoted(name)));
    if (IsPng(bytes))
        return DecodePng(bytes, name, pixelLimit);
    RefuseBeyond(name, DeepNetpbmSize(bytes), pixelLimit);

    QString damage;
    if (const std::optional<QImage> deep = DecodeDeepNetpbm(bytes, damage)) {
        if (deep->isNull())
            Fail(QCoreApplication::translate("PictureFile", "%1 is damaged: %2.").arg(Quoted(name), damage));
        return *deep;
    }

    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (!ReadableFormats.contains(format))
        FailUnknownFormat(name);

    // The structure is checked after the size, so that a huge claim is told as
    // such, and before decoding, which would take made-up data for missing data.
    QSize size = reader.size();
    if (!size.isValid())
        size = ClaimedPictureSize(bytes, format);
    RefuseBeyond(name, size, pixelLimit);
    if (size.isValid() && ExceedsAllocationLimit(size))
        FailTooLarge(name, size);
    const QString missing = FindMissingPictureData(bytes, format);
    if (!missing.isEmpty())
        Fail(QCoreApplication::translate("PictureFile", "%1 is damaged: %2.").arg(Quoted(name), missing));
    RefuseCostlyPicture(bytes, format, name);

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
        Fail(QCoreApplication::translate("PictureFile", "%1 is damaged: the picture data is corrupt (%2).")
                 .arg(Quoted(name), reader.errorString()));
    }

    return image;
}

void DecodePicture(const QByteArray& bytes, const QString& name, TBitmap& bitmap)
{
    const TBitmap decoded = BitmapOfImage(DecodePictureImage(bytes, name));
    bitmap.Assign(&decoded);
}

QByteArray ReadPictureFileBytes(const QString& name)
{
    // What leads nowhere, is no regular file or is too large is refused by the
    // file library before anything reads from it, in its words.
    try {
        darkfill::files::ByteSource source = darkfill::files::ByteSource::OpenFile(SystemFileName(name).toStdString());
        const std::vector<std::uint8_t> bytes = source.ReadRest(MaximumPictureFileBytes);
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    } catch (const darkfill::files::FileError& e) {
        throw Exception(e.what());
    }
}

bool BeginsPicture(const QByteArray& start, const QString& name, qint64 pixelLimit)
{
    if (IsPng(start))
        return true;
    if (const QSize deep = DeepNetpbmSize(start); deep.isValid()) {
        RefuseBeyond(name, deep, pixelLimit);
        return true;
    }
    QByteArray data = start;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (!ReadableFormats.contains(format))
        return false;
    RefuseBeyond(name, ClaimedPictureSize(start, format), pixelLimit);
    return true;
}

void ReadPictureFile(const AnsiString& fileName, TBitmap& bitmap)
{
    const QString name = QString::fromStdString(fileName);
    DecodePicture(ReadPictureFileBytes(name), name, bitmap);
}

QString QuotedFileName(const QString& name)
{
    return QLatin1Char('"') + PrintableFileName(QDir::toNativeSeparators(name)) + QLatin1Char('"');
}

QString PrintableFileName(const QString& name)
{
    QString printable;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (const int byte = EscapedByteAt(name, i); byte >= 0)
            printable += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        else if (u == u'\n')
            printable += QStringLiteral("\\n");
        else if (u == u'\t')
            printable += QStringLiteral("\\t");
        else if (u == u'\r')
            printable += QStringLiteral("\\r");
        else if (u < 0x20 || u == 0x7f)
            printable += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            printable += name[i];
    }
    return printable;
}
