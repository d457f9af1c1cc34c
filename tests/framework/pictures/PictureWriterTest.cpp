#include "framework/core/Exception.h"
#include "framework/pictures/GreyPicture.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/PictureWriter.h"
#include "testing/files/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

GreyPicture Ramp(int bits, int width = 23, int height = 11)
{
    GreyPicture picture{width, height, bits, {}};
    for (int i = 0; i < picture.width * picture.height; ++i)
        picture.values.push_back(static_cast<std::uint16_t>(bits > 8 ? i * 263 % 65536 : i % 256));
    return picture;
}

GreyPicture ReadBack(const QString& path)
{
    return GreyPictureOfImage(DecodePictureImage(ReadPictureFileBytes(path), path));
}

TEST(PictureWriter, RoundTripsThroughTheReader)
{
    struct Row {
        const char* file;
        int bits;
        bool holds;  // false: the format cannot hold the values and refuses
    };
    const Row table[] = {
        {"eight.png", 8, true},   {"eight.bmp", 8, true},   {"eight.pgm", 8, true},  {"eight.ppm", 8, true},
        {"eight.tif", 8, true},   {"SHOUT.PNG", 8, true},   {"deep.png", 16, true},  {"deep.pgm", 16, true},
        {"deep.tiff", 16, true},  {"deep.bmp", 16, false},  {"deep.ppm", 16, false},
    };
    const QStringList writable = WritableFormatFilters();
    for (const Row& row : table) {
        const QString file = QString::fromLatin1(row.file);
        const std::optional<PictureFormat> format = FormatOfFileName(file);
        ASSERT_TRUE(format) << row.file;
        if (!writable.join(' ').contains(QStringLiteral("*.") + ExtensionOf(*format)))
            continue;
        QTemporaryDir folder;
        const QString path = QDir(folder.path()).filePath(file);
        const GreyPicture picture = Ramp(row.bits);
        if (!row.holds) {
            EXPECT_THROW(WriteGreyPicture(picture, path), Exception) << row.file;
            EXPECT_FALSE(QFile::exists(path)) << row.file;
            continue;
        }
        ASSERT_NO_THROW(WriteGreyPicture(picture, path)) << row.file;
        const GreyPicture back = ReadBack(path);
        EXPECT_EQ(back.bitsPerValue, row.bits) << row.file;
        EXPECT_EQ(back.width, picture.width) << row.file;
        EXPECT_EQ(back.values, picture.values) << row.file;
    }
}

TEST(PictureWriter, FailureLeavesTheExistingFileAsItWas)
{
    struct Row {
        const char* name;
        const char* file;  // in the test's folder, where "existing.png" exists
        const char* reason;
        bool diskFull;
        bool needsPermissions;  // meaningless for root, who writes anywhere
        bool keepOnly;          // fails only where an existing file is kept
    };
    const Row table[] = {
        {"NoSuchFolder", "missing/out.png", "Cannot write", false, false, false},
        {"FolderIsAFile", "existing.png/out.png", "Cannot write", false, false, false},
        {"UnknownExtension", "existing.xyz", "extension names no format", false, false, false},
        {"NoExtension", "existing", "extension names no format", false, false, false},
        {"DiskFull", "existing.png", "Cannot write", true, false, false},
        {"FolderNotWritable", "locked/existing.png", "Cannot write", false, true, false},
        {"NameTaken", "existing.png", "a file of that name appeared", false, false, true},
    };
    const QByteArray before = "the earlier picture, which must survive";
    for (const ExistingFile mode : {ExistingFile::Replace, ExistingFile::Keep}) {
        for (const Row& row : table) {
            if ((row.needsPermissions && ::geteuid() == 0) || (row.keepOnly && mode == ExistingFile::Replace))
                continue;
            SCOPED_TRACE(mode == ExistingFile::Keep ? "keeping an existing file" : "replacing an existing file");
            QTemporaryDir folder;
            const QDir dir(folder.path());
            dir.mkdir(QStringLiteral("locked"));
            const QString path = dir.filePath(QString::fromLatin1(row.file));
            for (const QString& existing : {dir.filePath(QStringLiteral("existing.png")), path}) {
                QFile file(existing);
                if (file.open(QIODevice::WriteOnly))
                    file.write(before);
            }
            QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::ExeOwner);
            const QStringList entries = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            try {
                std::optional<FileSizeLimit> full;
                if (row.diskFull)
                    full.emplace(before.size() + 100);
                WriteGreyPicture(Ramp(16, 300, 200), path, mode);
                ADD_FAILURE() << row.name << ": written";
            } catch (const Exception& e) {
                EXPECT_NE(e.Message.find(row.reason), std::string::npos) << row.name << ": " << e.Message;
            }
            QFile existing(dir.filePath(QStringLiteral("existing.png")));
            ASSERT_TRUE(existing.open(QIODevice::ReadOnly)) << row.name;
            EXPECT_EQ(existing.readAll(), before) << row.name;
            EXPECT_EQ(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries) << row.name << ": left behind";
            QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
}

// Kept or replaced, a new file gets the permissions that the process's umask
// gives any new file, not those of a private temporary file.
TEST(PictureWriter, NewFilesTakeTheUsualPermissions)
{
    QTemporaryDir folder;
    const QDir dir(folder.path());
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    for (const ExistingFile mode : {ExistingFile::Replace, ExistingFile::Keep}) {
        const QString path = dir.filePath(mode == ExistingFile::Keep ? QStringLiteral("kept.png") : QStringLiteral("replaced.png"));
        WriteGreyPicture(Ramp(8), path, mode);
        EXPECT_EQ(QFile::permissions(path), plain.permissions()) << path.toStdString();
        EXPECT_EQ(ReadBack(path).values, Ramp(8).values);
    }
}

// Replacing a file is saving it again: its permissions stay, and a symbolic
// link to it stays a link, its file replaced.
TEST(PictureWriter, ReplacingKeepsPermissionsAndLinks)
{
    struct Row {
        const char* name;
        bool link;  // the picture is written through a link to the file
        mode_t permissions;
    } const rows[] = {
        {"private file", false, 0600},
        {"through a link", true, 0640},
    };
    for (const Row& row : rows) {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        const QString file = dir.filePath(QStringLiteral("file.png")), link = dir.filePath(QStringLiteral("link.png"));
        WriteGreyPicture(Ramp(8), file);
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), row.permissions), 0);
        ASSERT_TRUE(QFile::link(file, link));
        WriteGreyPicture(Ramp(16), row.link ? link : file);
        struct stat status {};
        ASSERT_EQ(::lstat(QFile::encodeName(link).constData(), &status), 0);
        EXPECT_TRUE(S_ISLNK(status.st_mode)) << row.name;
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, row.permissions) << row.name;
        EXPECT_EQ(ReadBack(file).values, Ramp(16).values) << row.name;
    }
}

}  // namespace
