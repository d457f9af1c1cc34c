#include "framework/pictures/PictureFile.h"

#include "framework/core/Exception.h"
#include "framework/pictures/BitmapImage.h"
#include "framework/pictures/DeepNetpbm.h"
#include "framework/pictures/PictureIntegrity.h"
#include "framework/pictures/SystemFileName.h"
#include "framework/pictures/TBitmap.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

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

bool ExceedsAllocationLimit(QSize size)
{
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    const int limitMegabytes = QImageReader::allocationLimit();
    return limitMegabytes > 0 && bytes > qint64(limitMegabytes) * 1024 * 1024;
}

}  // namespace

QImage DecodePictureImage(const QByteArray& bytes, const QString& name, qint64 pixelLimit)
{
    if (bytes.isEmpty())
        Fail(QCoreApplication::translate("PictureFile", "%1 is empty: it holds no picture.").arg(Quoted(name)));
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

    const auto requireComplete = [&] {
        const QString missing = FindMissingPictureData(bytes, format);
        if (!missing.isEmpty())
            Fail(QCoreApplication::translate("PictureFile", "%1 is damaged: %2.").arg(Quoted(name), missing));
    };
    // A PNG's structure is checked before its reader reads the header, where
    // libpng would tell of the damage on standard error in its own words; the
    // others' after their size, so that a huge claim is told as such.
    const bool png = format == "png";
    if (png)
        requireComplete();
    QSize size = reader.size();
    if (!size.isValid())
        size = ClaimedPictureSize(bytes, format);
    RefuseBeyond(name, size, pixelLimit);
    if (size.isValid() && ExceedsAllocationLimit(size))
        FailTooLarge(name, size);
    if (!png)
        requireComplete();

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

namespace {

[[noreturn]] void FailUnreadable(const QString& name, const QString& reason)
{
    Fail(QCoreApplication::translate("PictureFile", "Cannot open %1: the file cannot be read (%2).").arg(Quoted(name), reason));
}

[[noreturn]] void FailFileTooLarge(const QString& name, qint64 limit)
{
    Fail(QCoreApplication::translate("PictureFile", "%1 is too large to open: it holds more than %2 bytes.").arg(Quoted(name)).arg(limit));
}

// Reads up to the end, but never more than the limit and one byte, by which a
// stream too large is told.
// Enough of a stream for its format and, in the formats with a header of fixed
// layout, its size.
constexpr qsizetype StreamStartBytes = 4096;

// A stream's first bytes, as the start of a picture: a format that the reader
// knows, and no more pixels than the limit where the header tells them.
void RequirePictureStart(const QByteArray& start, const QString& name, qint64 pixelLimit)
{
    if (const QSize deep = DeepNetpbmSize(start); deep.isValid()) {
        RefuseBeyond(name, deep, pixelLimit);
        return;
    }
    QByteArray data = start;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (!ReadableFormats.contains(format))
        FailUnknownFormat(name);
    RefuseBeyond(name, ClaimedPictureSize(start, format), pixelLimit);
}

QByteArray ReadBounded(QIODevice& device, const QString& name, qint64 limit, qint64 pixelLimit = 0)
{
    QByteArray bytes;
    char chunk[64 * 1024];
    bool started = pixelLimit <= 0;
    for (;;) {
        const qint64 read = device.read(chunk, sizeof chunk);
        if (read < 0)
            FailUnreadable(name, device.errorString());
        if (read == 0 && (device.atEnd() || !device.waitForReadyRead(-1)))
            break;
        if (bytes.size() + read > limit)
            FailFileTooLarge(name, limit);
        bytes.append(chunk, static_cast<qsizetype>(read));
        if (!started && bytes.size() >= StreamStartBytes) {
            RequirePictureStart(bytes, name, pixelLimit);
            started = true;
        }
    }
    return bytes;
}

[[noreturn]] void FailSpecialFile(const QString& name, mode_t mode);

const char* KindOfSpecialFile(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a pipe (FIFO)";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    return "not a regular file";
}

void FailSpecialFile(const QString& name, mode_t mode)
{
    Fail(QCoreApplication::translate("PictureFile", "%1 is %2, not a picture file.").arg(Quoted(name), QLatin1String(KindOfSpecialFile(mode))));
}

}  // namespace

QByteArray ReadPictureFileBytes(const QString& name)
{
    // A name that leads nowhere says why (no such file, a loop of symbolic
    // links, a folder that may not be searched). What is not a regular file is
    // refused before it is opened (a socket cannot be); the file is opened
    // without waiting, so that a pipe put in its place meanwhile cannot hold the
    // program, and checked again once open.
    const QByteArray path = SystemFileName(name);
    struct stat status {};
    if (::stat(path.constData(), &status) != 0) {
        if (errno == ENOENT)
            Fail(QCoreApplication::translate("PictureFile", "Cannot open %1: the file does not exist.").arg(Quoted(name)));
        FailUnreadable(name, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (S_ISDIR(status.st_mode))
        Fail(QCoreApplication::translate("PictureFile", "%1 is a folder, not a picture file.").arg(Quoted(name)));
    if (!S_ISREG(status.st_mode))
        FailSpecialFile(name, status.st_mode);
    const int descriptor = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        FailUnreadable(name, QString::fromLocal8Bit(std::strerror(errno)));
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        FailUnreadable(name, file.errorString());
    }
    if (::fstat(descriptor, &status) != 0)
        FailUnreadable(name, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(status.st_mode))
        FailSpecialFile(name, status.st_mode);
    if (status.st_size > MaximumPictureFileBytes)
        FailFileTooLarge(name, MaximumPictureFileBytes);
    return ReadBounded(file, name, MaximumPictureFileBytes);
}

QByteArray ReadPictureStream(QIODevice& device, const QString& name, qint64 limit, qint64 pixelLimit)
{
    return ReadBounded(device, name, limit, pixelLimit);
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
