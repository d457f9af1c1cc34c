#include "framework/core/Exception.h"
#include "framework/pictures/PictureFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

// Paths that are not regular files are refused before anything reads from them,
// and no read holds more than its limit where the size cannot be known.

namespace {

// A folder entry of some kind; empty when this system cannot make one.
using Maker = std::function<QString(const QDir& folder)>;

QString Fifo(const QDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("pipe"));
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
}

QString Socket(const QDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("socket"));
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (s < 0 || name.size() >= static_cast<qsizetype>(sizeof address.sun_path))
        return {};
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    const bool bound = ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return bound ? path : QString();
}

QString LinkToFifo(const QDir& folder)
{
    const QString target = Fifo(folder);
    const QString path = folder.filePath(QStringLiteral("picture.png"));
    return !target.isEmpty() && QFile::link(target, path) ? path : QString();
}

QString FirstBlockDevice(const QDir&)
{
    for (const QString& name : QDir(QStringLiteral("/dev")).entryList(QDir::System)) {
        struct stat status {};
        const QString path = QStringLiteral("/dev/") + name;
        if (::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISBLK(status.st_mode))
            return path;
    }
    return {};
}

TEST(SpecialFile, RefusedBeforeAnythingIsRead)
{
    struct Row {
        const char* name;
        Maker make;
        const char* reason;
    };
    const Row table[] = {
        {"Fifo", Fifo, "is a pipe (FIFO), not a picture file"},
        {"LinkToFifo", LinkToFifo, "is a pipe (FIFO), not a picture file"},
        {"Socket", Socket, "is a socket, not a picture file"},
        {"DevZero", [](const QDir&) { return QStringLiteral("/dev/zero"); }, "is a character device"},
        {"DevUrandom", [](const QDir&) { return QStringLiteral("/dev/urandom"); }, "is a character device"},
        {"BlockDevice", FirstBlockDevice, "is a block device"},
    };
    for (const Row& row : table) {
        QTemporaryDir folder;
        const QString path = row.make(QDir(folder.path()));
        if (path.isEmpty())
            continue;
        try {
            ReadPictureFileBytes(path);
            ADD_FAILURE() << row.name << ": read";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message.find(row.reason), std::string::npos) << row.name << ": " << e.Message;
            EXPECT_NE(e.Message.find(QDir::toNativeSeparators(path).toStdString()), std::string::npos) << row.name;
        }
    }
}

}  // namespace
