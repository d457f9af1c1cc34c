#include "files/AtomicWrite.h"
#include "files/FileError.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

// Writing files whole or not at all, beside other programs that write the same
// names: what stays under each name, and what is left in the folder.

namespace {

using namespace darkfill::files;

class AtomicWrite : public testing::Test
{
protected:
    void SetUp() override
    {
        char name[] = "/tmp/atomic-write-XXXXXX";
        folder_ = ::mkdtemp(name);
    }
    void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

    std::string Path(const std::string& name) const { return folder_ + '/' + name; }

    static std::string Contents(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Put(const std::string& path, const std::string& contents)
    {
        std::ofstream(path, std::ios::binary) << contents;
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        DIR* listing = ::opendir(folder_.c_str());
        while (const dirent* entry = ::readdir(listing))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        ::closedir(listing);
        std::sort(names.begin(), names.end());
        return names;
    }
    static FileBytes File(const std::string& path, const std::string& contents)
    {
        return {path, std::vector<std::uint8_t>(contents.begin(), contents.end())};
    }

    std::string folder_;
};

// Every name that the system takes can be written: the temporary name does not
// grow with the output's.
TEST_F(AtomicWrite, NamesUpToTheSystemsLimitAreWritten)
{
    for (const std::size_t length : {1u, 200u, 243u, 255u})
        for (const ExistingFile existing : {ExistingFile::Keep, ExistingFile::Replace}) {
            const std::string name(length, existing == ExistingFile::Keep ? 'k' : 'r');
            if (existing == ExistingFile::Replace)
                Put(Path(name), "old");
            WriteFilesAtomically({File(Path(name), "new")}, existing);
            EXPECT_EQ(Contents(Path(name)), "new") << length;
            ::unlink(Path(name).c_str());
            EXPECT_TRUE(Names().empty()) << length;
        }
}

// Where the second of a pair cannot be put in place, the first is taken back:
// a new one goes, a replaced one has its old file again.
TEST_F(AtomicWrite, APairIsWrittenWholeOrNotAtAll)
{
    ::mkdir(Path("a folder").c_str(), 0755);
    struct Row {
        const char* name;
        ExistingFile existing;
        bool firstExisted;
    } const rows[] = {
        {"new files", ExistingFile::Keep, false},
        {"replacing", ExistingFile::Replace, true},
        {"replacing, the first new", ExistingFile::Replace, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ::unlink(Path("first").c_str());
        if (row.firstExisted)
            Put(Path("first"), "old");
        EXPECT_THROW(WriteFilesAtomically({File(Path("first"), "new"), File(Path("a folder"), "map")}, row.existing),
                     FileError);
        EXPECT_EQ(Contents(Path("first")), row.firstExisted ? "old" : "");
        EXPECT_EQ(::access(Path("first").c_str(), F_OK) == 0, row.firstExisted);
        EXPECT_EQ(Names().size(), row.firstExisted ? 2u : 1u);  // nothing else left beside them
    }
}

// Another program puts its own file under the first name while the pair is
// being put in place, and the second cannot be: taking back leaves its file.
TEST_F(AtomicWrite, TakingBackLeavesAFileThatAnotherProgramPutThere)
{
    for (const ExistingFile existing : {ExistingFile::Keep, ExistingFile::Replace}) {
        SCOPED_TRACE(existing == ExistingFile::Keep ? "keep" : "replace");
        std::system(("rm -rf '" + folder_ + "'/*").c_str());
        const std::string pause = Path("pause");
        ASSERT_EQ(::mkfifo(pause.c_str(), 0600), 0);
        ::setenv("DARKFILL_PLACING_PAUSE", pause.c_str(), 1);
        bool failed = false;
        std::thread writer([&] {
            try {
                WriteFilesAtomically({File(Path("out"), "ours"), File(Path("map"), "ours")}, existing);
            } catch (const FileError&) {
                failed = true;
            }
        });
        // Opening the FIFO waits for the writer to reach its pause, after the
        // first file is in place.
        const int held = ::open(pause.c_str(), O_WRONLY);
        Put(Path("theirs"), "theirs");
        ::rename(Path("theirs").c_str(), Path("out").c_str());
        ::mkdir(Path("map").c_str(), 0755);
        ASSERT_EQ(::write(held, "x", 1), 1);
        ::close(held);
        writer.join();
        ::unsetenv("DARKFILL_PLACING_PAUSE");
        EXPECT_TRUE(failed);
        EXPECT_EQ(Contents(Path("out")), "theirs");
        EXPECT_EQ(Names(), (std::vector<std::string>{"map", "out", "pause"}));
    }
}

TEST_F(AtomicWrite, ReplacingKeepsPermissionsAndSymbolicLinks)
{
    Put(Path("target"), "old");
    ::chmod(Path("target").c_str(), 0640);
    ::symlink("target", Path("link").c_str());
    WriteFilesAtomically({File(Path("link"), "new")}, ExistingFile::Replace);
    struct stat status {};
    ASSERT_EQ(::lstat(Path("link").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(Contents(Path("target")), "new");
    ASSERT_EQ(::stat(Path("target").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

// What stopped runs left is cleared; what a running process or another program
// has there stays.
TEST_F(AtomicWrite, StaleTemporaryFilesAreCleared)
{
    const std::string live = ".darkfill-" + std::to_string(::getpid()) + "-abcdefgh.new";
    const std::vector<std::string> kept = {"out.png", live, "other.png.1x2y3z.new", ".darkfill-12-short.new", "notes.txt"};
    const std::vector<std::string> cleared = {".darkfill-999999999-abcdefgh.new", "out.png.1x2y3z4w5v6u.new",
                                              "out.png.9z.old"};
    for (const auto& names : {kept, cleared})
        for (const std::string& name : names)
            Put(Path(name), "x");
    ClearStaleTemporaries(folder_, {"out.png", "map.png"});
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(), expected);
}

}  // namespace
