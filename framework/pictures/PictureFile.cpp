#include "framework/pictures/PictureFile.h"

#include "framework/core/Exception.h"
#include "framework/pictures/BitmapImage.h"
#include "framework/pictures/PictureIntegrity.h"
#include "framework/pictures/TBitmap.h"

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

    const TBitmap decoded = BitmapOfImage(image);
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
