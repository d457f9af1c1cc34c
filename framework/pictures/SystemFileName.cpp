#include "framework/pictures/SystemFileName.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {

constexpr char16_t FirstEscape = 0xDC80;  // stands for the byte 0x80

// The length of the well-formed UTF-8 sequence that starts at p, with its code
// point; 0 where none does (a stray continuation byte, an overlong form, a
// surrogate, a sequence cut short by the end).
int SequenceAt(const unsigned char* p, qsizetype left, char32_t& code)
{
    const unsigned char lead = p[0];
    int length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, code = lead & 0x1f, least = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, code = lead & 0x0f, least = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xc0) != 0x80)
            return 0;
        code = code << 6 | (p[i] & 0x3f);
    }
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return length;
}

}  // namespace

QString FileNameFromSystem(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t code = 0;
        const int length = SequenceAt(p + i, bytes.size() - i, code);
        if (length == 0) {
            name += QChar(static_cast<char16_t>(FirstEscape + (p[i] - 0x80)));
            ++i;
        } else if (QChar::requiresSurrogates(code)) {
            name += QChar(QChar::highSurrogate(code));
            name += QChar(QChar::lowSurrogate(code));
            i += length;
        } else {
            name += QChar(static_cast<char16_t>(code));
            i += length;
        }
    }
    return name;
}

int EscapedByteAt(const QString& name, qsizetype i)
{
    const char16_t c = name[i].unicode();
    if (c < FirstEscape || c > FirstEscape + 0x7f || (i > 0 && name[i - 1].isHighSurrogate()))
        return -1;
    return 0x80 + (c - FirstEscape);
}

QByteArray SystemFileName(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype text = 0;  // where the text since the last escaped byte begins
    for (qsizetype i = 0; i < name.size(); ++i) {
        const int byte = EscapedByteAt(name, i);
        if (byte < 0)
            continue;
        bytes += QStringView(name).sliced(text, i - text).toUtf8();
        bytes += static_cast<char>(byte);
        text = i + 1;
    }
    return bytes + QStringView(name).sliced(text).toUtf8();
}

bool FileExists(const QString& name)
{
    struct stat status {};
    return !name.isEmpty() && ::stat(SystemFileName(name).constData(), &status) == 0;
}

bool IsFolder(const QString& name)
{
    struct stat status {};
    return !name.isEmpty() && ::stat(SystemFileName(name).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QString AbsoluteFileName(const QString& name)
{
    if (name.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(name);
    const std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
    return QDir::cleanPath(FileNameFromSystem(folder ? folder.get() : "/") + QLatin1Char('/') + name);
}

QString CanonicalFileName(const QString& name)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(SystemFileName(name).constData(), nullptr),
                                                               &std::free);
    return resolved ? FileNameFromSystem(resolved.get()) : QString();
}

bool MakeFolders(const QString& name)
{
    const QByteArray path = SystemFileName(name);
    for (qsizetype end = path.indexOf('/', 1);; end = path.indexOf('/', end + 1)) {
        const QByteArray folder = end < 0 ? path : path.first(end);
        if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST)
            return false;
        if (end < 0)
            break;
    }
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return false;
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}
