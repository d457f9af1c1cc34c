#include "framework/pictures/PictureWriter.h"

#include "framework/core/Exception.h"
#include "framework/pictures/DeepNetpbm.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/SystemFileName.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FormatInfo {
    PictureFormat format;
    const char* name;
    const char* writer;  // the format's name in Qt's image writer
    const char* patterns;
    bool deep;           // holds 16 bits a value
};

const FormatInfo Formats[] = {
    {PictureFormat::Png, QT_TRANSLATE_NOOP("PictureWriter", "PNG pictures"), "png", "*.png", true},
    {PictureFormat::Bmp, QT_TRANSLATE_NOOP("PictureWriter", "Bitmaps"), "bmp", "*.bmp", false},
    {PictureFormat::Pgm, QT_TRANSLATE_NOOP("PictureWriter", "Portable grey maps"), "pgm", "*.pgm", true},
    {PictureFormat::Ppm, QT_TRANSLATE_NOOP("PictureWriter", "Portable pixmaps"), "ppm", "*.ppm", false},
    {PictureFormat::Tiff, QT_TRANSLATE_NOOP("PictureWriter", "TIFF pictures"), "tiff", "*.tif *.tiff", true},
};

const FormatInfo& InfoOf(PictureFormat format)
{
    for (const FormatInfo& info : Formats)
        if (info.format == format)
            return info;
    return Formats[0];
}

bool Writable(const FormatInfo& info)
{
    return info.format == PictureFormat::Pgm || QImageWriter::supportedImageFormats().contains(info.writer);
}

[[noreturn]] void Fail(const QString& message)
{
    throw Exception(message.toStdString());
}

QByteArray Encode(const QImage& image, const FormatInfo& info, const QString& fileName)
{
    if (!Writable(info))
        Fail(QCoreApplication::translate("PictureWriter", "Cannot write %1: %2 cannot be written on this system.")
                 .arg(QuotedFileName(fileName), QCoreApplication::translate("PictureWriter", info.name)));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, info.writer);
    if (!writer.write(image))
        Fail(QCoreApplication::translate("PictureWriter", "Cannot write %1: %2.").arg(QuotedFileName(fileName), writer.errorString()));
    return bytes;
}

}  // namespace

std::optional<PictureFormat> FormatOfFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix.isEmpty())
        return std::nullopt;
    for (const FormatInfo& info : Formats)
        if (QString::fromLatin1(info.patterns).split(QLatin1Char(' ')).contains(QStringLiteral("*.") + suffix))
            return info.format;
    return std::nullopt;
}

PictureFormat RequireFormatOf(const QString& fileName)
{
    const std::optional<PictureFormat> format = FormatOfFileName(fileName);
    if (!format)
        Fail(QCoreApplication::translate("PictureWriter", "Cannot write %1: its extension names no format that can be written here "
                            "(PNG, BMP, PGM, PPM or TIFF).")
                 .arg(QuotedFileName(fileName)));
    return *format;
}

QStringList WritableFormatFilters()
{
    QStringList filters;
    for (const FormatInfo& info : Formats)
        if (Writable(info))
            filters << QStringLiteral("%1 (%2)").arg(QCoreApplication::translate("PictureWriter", info.name), QLatin1String(info.patterns));
    return filters;
}

QString ExtensionOf(PictureFormat format)
{
    return QString::fromLatin1(InfoOf(format).patterns).section(QLatin1Char(' '), 0, 0).mid(2);
}

QByteArray EncodeGreyPicture(const GreyPicture& picture, PictureFormat format, const QString& fileName)
{
    const FormatInfo& info = InfoOf(format);
    const bool deep = picture.bitsPerValue > 8;
    if (deep && !info.deep)
        Fail(QCoreApplication::translate("PictureWriter", "Cannot write %1: %2 hold 8 bits a value, and the picture has 16; "
                            "PNG, PGM or TIFF keep them.")
                 .arg(QuotedFileName(fileName), QCoreApplication::translate("PictureWriter", info.name)));
    const QImage image = ImageOfGreyPicture(picture);
    if (deep && format == PictureFormat::Pgm)
        return EncodeDeepPgm(image, 65535);
    return Encode(image, info, fileName);
}

QByteArray EncodePalettePicture(int width, int height, const std::vector<std::uint8_t>& indexes,
                                const std::vector<std::uint32_t>& palette, const QString& fileName)
{
    const PictureFormat format = RequireFormatOf(fileName);
    if (format == PictureFormat::Pgm)
        Fail(QCoreApplication::translate("PictureWriter", "Cannot write %1: portable grey maps hold grey only; PNG keeps the colours.")
                 .arg(QuotedFileName(fileName)));
    QImage image(width, height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (const std::uint32_t colour : palette)
        colours << (0xFF000000u | colour);
    image.setColorTable(colours);
    for (int y = 0; y < height; ++y)
        std::copy_n(indexes.data() + static_cast<std::size_t>(y) * width, width, image.scanLine(y));
    // Formats without palettes take the colours themselves.
    const QImage written = format == PictureFormat::Ppm ? image.convertToFormat(QImage::Format_RGB32) : image;
    return Encode(written, InfoOf(format), fileName);
}

void WritePalettePicture(int width, int height, const std::vector<std::uint8_t>& indexes,
                         const std::vector<std::uint32_t>& palette, const QString& fileName)
{
    WriteFileAtomically(fileName, EncodePalettePicture(width, height, indexes, palette, fileName));
}

namespace {

[[noreturn]] void FailWriting(const QString& fileName, int error)
{
    Fail(QCoreApplication::translate("PictureWriter", "Cannot write %1: %2.")
             .arg(QuotedFileName(fileName), qt_error_string(error)));
}

// A new file beside the one of that name, created with the permissions that a
// new file of the name would have; its name is returned with the open descriptor.
int CreateNeighbour(const QByteArray& name, QByteArray& neighbour)
{
    for (;;) {
        neighbour = name + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".new";
        const int fd = ::open(neighbour.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
}

// Every byte, then to the disk; false with errno set on failure (ENOSPC for a
// short write, which is what a full disk gives).
bool WriteWhole(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return ::fsync(fd) == 0;
}

// Puts the file in place unless the name is taken: renameat2 refuses to replace
// in one step; where the file system lacks it, a hard link does the same.
int PlaceWithoutReplacing(const QByteArray& neighbour, const QByteArray& name)
{
    if (::renameat2(AT_FDCWD, neighbour.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::link(neighbour.constData(), name.constData()) != 0)
        return errno;
    ::unlink(neighbour.constData());
    return 0;
}

// A file's bytes in a new file beside it, ready to be put in place.
struct Neighbour {
    QString fileName;
    QByteArray name;  // the file's name as the system takes it
    QByteArray path;  // the new file's
};

// The name that replacing the file writes: a symbolic link's file, so that the
// link stays, as an editor saving through it leaves it; the permissions of the
// file replaced, kept by the new one.
QByteArray ReplacedName(const QString& fileName, std::optional<mode_t>& permissions)
{
    QByteArray name = SystemFileName(fileName);
    struct stat status {};
    if (::lstat(name.constData(), &status) == 0 && S_ISLNK(status.st_mode))
        if (const QString target = CanonicalFileName(fileName); !target.isEmpty())
            name = SystemFileName(target);
    if (::stat(name.constData(), &status) == 0 && S_ISREG(status.st_mode))
        permissions = status.st_mode & 07777;
    return name;
}

Neighbour WriteNeighbour(const QString& fileName, const QByteArray& bytes, ExistingFile existing)
{
    std::optional<mode_t> permissions;
    Neighbour neighbour{fileName,
                        existing == ExistingFile::Keep ? SystemFileName(fileName) : ReplacedName(fileName, permissions),
                        {}};
    const int fd = CreateNeighbour(neighbour.name, neighbour.path);
    if (fd < 0)
        FailWriting(fileName, errno);
    const bool written = (!permissions || ::fchmod(fd, *permissions) == 0) && WriteWhole(fd, bytes);
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        const int reason = written ? errno : error;
        ::unlink(neighbour.path.constData());
        FailWriting(fileName, reason);
    }
    return neighbour;
}

// Every file written beside its name, or none left behind.
std::vector<Neighbour> WriteNeighbours(const std::vector<std::pair<QString, QByteArray>>& files,
                                       ExistingFile existing)
{
    std::vector<Neighbour> neighbours;
    try {
        for (const auto& [fileName, bytes] : files)
            neighbours.push_back(WriteNeighbour(fileName, bytes, existing));
    } catch (const Exception&) {
        for (const Neighbour& neighbour : neighbours)
            ::unlink(neighbour.path.constData());
        throw;
    }
    return neighbours;
}

void RemoveNeighbours(const std::vector<Neighbour>& neighbours, std::size_t from)
{
    for (std::size_t i = from; i < neighbours.size(); ++i)
        ::unlink(neighbours[i].path.constData());
}

// Every file beside its name first; then each put in place, none replacing what
// has the name by then. Where one cannot be, those put in place before it are
// taken away again, being new, so that none stays without the others.
void WriteNewFilesAtomically(const std::vector<std::pair<QString, QByteArray>>& files)
{
    const std::vector<Neighbour> neighbours = WriteNeighbours(files, ExistingFile::Keep);
    for (std::size_t i = 0; i < neighbours.size(); ++i) {
        const int error = PlaceWithoutReplacing(neighbours[i].path, neighbours[i].name);
        if (error == 0)
            continue;
        for (std::size_t placed = 0; placed < i; ++placed)
            ::unlink(neighbours[placed].name.constData());
        RemoveNeighbours(neighbours, i);
        if (error == EEXIST)
            Fail(QCoreApplication::translate("PictureWriter", "Cannot write %1: a file of that name appeared while it was being "
                                                              "written, and it is kept as it is.")
                     .arg(QuotedFileName(neighbours[i].fileName)));
        FailWriting(neighbours[i].fileName, error);
    }
}

// A second name for the file that is about to be replaced, so that it can be
// put back; empty where there is none to replace (or the file system has no
// hard links, where a replaced file cannot be put back).
QByteArray KeepForRollback(const QByteArray& name)
{
    for (;;) {
        const QByteArray old = name + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".old";
        if (::link(name.constData(), old.constData()) == 0)
            return old;
        if (errno != EEXIST)
            return {};
    }
}

// Every file beside its name first, then each renamed over it. Where one cannot
// be, those renamed before it get their old files back (or go, being new), so
// that none stays new without the others.
void ReplaceFilesAtomically(const std::vector<std::pair<QString, QByteArray>>& files)
{
    const std::vector<Neighbour> neighbours = WriteNeighbours(files, ExistingFile::Replace);
    std::vector<QByteArray> olds;
    for (std::size_t i = 0; i < neighbours.size(); ++i) {
        olds.push_back(KeepForRollback(neighbours[i].name));
        if (::rename(neighbours[i].path.constData(), neighbours[i].name.constData()) == 0)
            continue;
        const int error = errno;
        for (std::size_t placed = 0; placed < i; ++placed) {
            if (olds[placed].isEmpty())
                ::unlink(neighbours[placed].name.constData());
            else
                ::rename(olds[placed].constData(), neighbours[placed].name.constData());
        }
        if (!olds[i].isEmpty())
            ::unlink(olds[i].constData());
        RemoveNeighbours(neighbours, i);
        FailWriting(neighbours[i].fileName, error);
    }
    for (const QByteArray& old : olds)
        if (!old.isEmpty())
            ::unlink(old.constData());
}

}  // namespace

void WriteFileAtomically(const QString& fileName, const QByteArray& bytes, ExistingFile existing)
{
    WriteFilesAtomically({{fileName, bytes}}, existing);
}

void WriteFilesAtomically(const std::vector<std::pair<QString, QByteArray>>& files, ExistingFile existing)
{
    if (existing == ExistingFile::Keep)
        WriteNewFilesAtomically(files);
    else
        ReplaceFilesAtomically(files);
}

void WriteGreyPicture(const GreyPicture& picture, const QString& fileName, ExistingFile existing)
{
    WriteFileAtomically(fileName, EncodeGreyPicture(picture, RequireFormatOf(fileName), fileName), existing);
}
