#include "files/AtomicWrite.h"

#include "files/FileError.h"
#include "files/FileNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <regex>
#include <tuple>

namespace darkfill::files {

namespace {

[[noreturn]] void FailWriting(const std::string& name, int error)
{
    throw FileError("Cannot write " + QuotedName(name) + ": " + std::strerror(error) + ".");
}

// ".darkfill-PID-RANDOM8.new": short whatever the output's name, and telling
// which process made it, so that a later run can see that it was left.
std::string TemporaryName()
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    constexpr char Digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name = ".darkfill-" + std::to_string(::getpid()) + '-';
    for (int i = 0; i < 8; ++i)
        name += Digits[random() % 36];
    return name + ".new";
}

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity&) const = default;
};

// What has the name in the folder now (not following a symbolic link); none: 0.
Identity IdentityAt(int folder, const std::string& name)
{
    struct stat status {};
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return {status.st_dev, status.st_ino};
}

// The file that writing the name replaces: a symbolic link's file, so that the
// link stays (as an editor saving through it leaves it).
std::string ReplacedPath(const std::string& name)
{
    struct stat status {};
    if (::lstat(name.c_str(), &status) == 0 && S_ISLNK(status.st_mode))
        if (std::string target = CanonicalPath(name); !target.empty())
            return target;
    return name;
}

bool AnonymousFilesLinkable()
{
    static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
    return linkable;
}

// One file on its way: written, then given a temporary name (where it had
// none), then put in place.
class Target
{
public:
    Target(const std::string& given, ExistingFile existing) : given_(given), existing_(existing)
    {
        const std::string path = existing == ExistingFile::Replace ? ReplacedPath(given) : given;
        base_ = BaseNameOf(path);
        if (base_.empty() || base_ == "." || base_ == "..")
            FailWriting(given, EISDIR);
        folder_ = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder_ < 0)
            FailWriting(given, errno);
        struct stat status {};
        if (existing == ExistingFile::Replace && ::fstatat(folder_, base_.c_str(), &status, 0) == 0 &&
            S_ISREG(status.st_mode))
            permissions_ = status.st_mode & 07777;
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    ~Target()
    {
        if (file_ >= 0)
            ::close(file_);
        if (folder_ >= 0)
            ::close(folder_);
    }

    int Folder() const { return folder_; }

    // The bytes in a new file of the folder, on the disk.
    void Write(const std::vector<std::uint8_t>& bytes)
    {
        if (AnonymousFilesLinkable()) {
            file_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
            if (file_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
                FailWriting(given_, errno);
        }
        while (file_ < 0) {
            temporary_ = TemporaryName();
            file_ = ::openat(folder_, temporary_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
            if (file_ < 0 && errno != EEXIST)
                FailWriting(given_, errno);
            if (file_ < 0)
                temporary_.clear();
        }
        std::size_t done = 0;
        bool written = !permissions_ || ::fchmod(file_, *permissions_) == 0;
        while (written && done < bytes.size()) {
            const ssize_t n = ::write(file_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n == 0)
                    errno = ENOSPC;
                written = false;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        struct stat status {};
        if (!written || ::fsync(file_) != 0 || ::fstat(file_, &status) != 0) {
            const int error = errno;
            Discard();
            FailWriting(given_, error);
        }
        identity_ = {status.st_dev, status.st_ino};
    }

    // Puts the file under its name. Keep: only where nothing has the name; the
    // old file of Replace stays under the temporary name until Commit.
    void Place()
    {
        if (existing_ == ExistingFile::Keep) {
            const int error = temporary_.empty() ? LinkAnonymous(base_) : LinkTemporary();
            if (error == EEXIST)
                throw FileError("Cannot write " + QuotedName(given_) +
                                ": a file of that name appeared while it was being written, and it is kept as it is.");
            if (error != 0)
                FailWriting(given_, error);
            placed_ = true;
            return;
        }
        if (temporary_.empty()) {
            temporary_ = TemporaryName();
            if (const int error = LinkAnonymous(temporary_)) {
                temporary_.clear();
                FailWriting(given_, error);
            }
        }
        // An exchange would move a folder of that name aside: a folder stays.
        struct stat status {};
        if (::fstatat(folder_, base_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode))
            FailWriting(given_, EISDIR);
        for (;;) {
            if (::renameat2(folder_, temporary_.c_str(), folder_, base_.c_str(), RENAME_EXCHANGE) == 0) {
                placed_ = replaced_ = true;  // the old file is under the temporary name now
                if (::fstatat(folder_, temporary_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISDIR(status.st_mode)) {
                    TakeBack();
                    FailWriting(given_, EISDIR);
                }
                return;
            }
            if (errno == ENOENT &&
                ::renameat2(folder_, temporary_.c_str(), folder_, base_.c_str(), RENAME_NOREPLACE) == 0) {
                placed_ = true;
                temporary_.clear();
                return;
            }
            if (errno == EEXIST)  // it appeared meanwhile: exchange again
                continue;
            if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
                FailWriting(given_, errno);
            // No exchange on this file system: a second name keeps the old file.
            std::string old = TemporaryName();
            if (::linkat(folder_, base_.c_str(), folder_, old.c_str(), 0) != 0)
                old.clear();
            if (::renameat(folder_, temporary_.c_str(), folder_, base_.c_str()) != 0) {
                const int error = errno;
                if (!old.empty())
                    ::unlinkat(folder_, old.c_str(), 0);
                FailWriting(given_, error);
            }
            placed_ = true;
            temporary_ = old;  // the temporary name holds the old file, or none
            replaced_ = !temporary_.empty();
            return;
        }
    }

    // Takes the file back where it is still the one under the name, giving the
    // old file its name again; then forgets what is left.
    void TakeBack()
    {
        if (placed_ && IdentityAt(folder_, base_) == identity_) {
            if (replaced_ && ::renameat2(folder_, temporary_.c_str(), folder_, base_.c_str(), RENAME_EXCHANGE) == 0)
                ;  // ours now under the temporary name, removed below
            else if (replaced_)
                ::renameat(folder_, temporary_.c_str(), folder_, base_.c_str()), temporary_.clear();
            else
                ::unlinkat(folder_, base_.c_str(), 0);
        }
        placed_ = replaced_ = false;
        Discard();
    }

    // The old file goes, the new stays.
    void Commit()
    {
        if (replaced_)
            ::unlinkat(folder_, temporary_.c_str(), 0);
        temporary_.clear();
    }

private:
    int LinkAnonymous(const std::string& name)
    {
        const std::string path = "/proc/self/fd/" + std::to_string(file_);
        return ::linkat(AT_FDCWD, path.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    }

    int LinkTemporary()
    {
        if (::renameat2(folder_, temporary_.c_str(), folder_, base_.c_str(), RENAME_NOREPLACE) == 0) {
            temporary_.clear();
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            return errno;
        if (::linkat(folder_, temporary_.c_str(), folder_, base_.c_str(), 0) != 0)
            return errno;
        Discard();
        return 0;
    }

    // The temporary name, where it holds a file of ours that is not placed.
    void Discard()
    {
        if (!temporary_.empty() && IdentityAt(folder_, temporary_) != Identity{})
            ::unlinkat(folder_, temporary_.c_str(), 0);
        temporary_.clear();
    }

    std::string given_;
    ExistingFile existing_;
    std::string base_;
    int folder_ = -1;
    int file_ = -1;
    std::optional<mode_t> permissions_;
    std::string temporary_;
    Identity identity_;
    bool placed_ = false;
    bool replaced_ = false;
};

// A test's way to hold a run between putting its first file in place and the
// next: the name of a FIFO to read a byte from.
void PauseForTests()
{
    if (const char* fifo = std::getenv("DARKFILL_PLACING_PAUSE"))
        if (FILE* pause = std::fopen(fifo, "r")) {
            std::fgetc(pause);
            std::fclose(pause);
        }
}

// Holds the folders' locks, each folder once, in one order for every process.
class FolderLocks
{
public:
    explicit FolderLocks(const std::vector<std::unique_ptr<Target>>& targets)
    {
        std::vector<std::pair<Identity, int>> folders;
        for (const auto& target : targets) {
            struct stat status {};
            if (::fstat(target->Folder(), &status) == 0)
                folders.push_back({{status.st_dev, status.st_ino}, target->Folder()});
        }
        std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
            return std::tie(a.first.device, a.first.inode) < std::tie(b.first.device, b.first.inode);
        });
        for (std::size_t i = 0; i < folders.size(); ++i)
            if (i == 0 || !(folders[i].first == folders[i - 1].first)) {
                while (::flock(folders[i].second, LOCK_EX) != 0 && errno == EINTR) {
                }
                held_.push_back(folders[i].second);
            }
    }
    ~FolderLocks()
    {
        for (const int folder : held_)
            ::flock(folder, LOCK_UN);
    }

private:
    std::vector<int> held_;
};

}  // namespace

void WriteFilesAtomically(const std::vector<FileBytes>& files, ExistingFile existing)
{
    std::vector<std::unique_ptr<Target>> targets;
    try {
        for (const FileBytes& file : files) {
            targets.push_back(std::make_unique<Target>(file.name, existing));
            targets.back()->Write(file.bytes);
        }
        const FolderLocks locks(targets);
        for (std::size_t i = 0; i < targets.size(); ++i) {
            if (i == 1)
                PauseForTests();
            targets[i]->Place();
        }
    } catch (...) {
        for (auto target = targets.rbegin(); target != targets.rend(); ++target)
            (*target)->TakeBack();
        throw;
    }
    for (const auto& target : targets)
        target->Commit();
}

void ClearStaleTemporaries(const std::string& folder, const std::vector<std::string>& outputNames)
{
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return;
    static const std::regex ours(R"(\.darkfill-([0-9]{1,9})-[0-9a-z]{8}\.new)");
    static const std::regex earlier(R"((.+)\.[0-9a-z]{1,13}\.(new|old))");
    const int descriptor = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        std::smatch match;
        bool stale = false;
        if (std::regex_match(name, match, ours)) {
            const long pid = std::stol(match[1].str());
            stale = ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
        } else if (std::regex_match(name, match, earlier)) {
            stale = std::find(outputNames.begin(), outputNames.end(), match[1].str()) != outputNames.end();
        }
        struct stat status {};
        if (stale && ::fstatat(descriptor, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode))
            ::unlinkat(descriptor, name.c_str(), 0);
    }
    ::closedir(listing);
}

}  // namespace darkfill::files
