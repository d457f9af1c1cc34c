#include "files/ByteSource.h"

#include "files/FileError.h"
#include "files/FileNames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace darkfill::files {

namespace {

// Large enough that a decoder's reads cost few system calls.
constexpr std::size_t BufferBytes = 64 * 1024;
constexpr std::size_t MostPeeked = 4096;

[[noreturn]] void Fail(const std::string& message)
{
    throw FileError(message);
}

[[noreturn]] void FailUnreadable(const std::string& name, int error)
{
    Fail("Cannot open " + QuotedName(name) + ": the file cannot be read (" + std::strerror(error) + ").");
}

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

void RequireRegular(const std::string& name, mode_t mode)
{
    if (S_ISDIR(mode))
        Fail(QuotedName(name) + " is a folder, not a picture file.");
    if (!S_ISREG(mode))
        Fail(QuotedName(name) + " is " + KindOfSpecialFile(mode) + ", not a picture file.");
}

[[noreturn]] void FailFileTooLarge(const std::string& name, long long limit)
{
    Fail(QuotedName(name) + " is too large to open: it holds more than " + std::to_string(limit) + " bytes.");
}

}  // namespace

void FailDamaged(const std::string& name, const std::string& reason)
{
    Fail(QuotedName(name) + " is damaged: " + reason + ".");
}

void FailTruncated(const std::string& name)
{
    FailDamaged(name, "the picture data ends before the picture is complete");
}

ByteSource ByteSource::OpenFile(const std::string& path)
{
    // A name that leads nowhere says why (no such file, a loop of symbolic
    // links, a folder that may not be searched); what is not a regular file is
    // refused before it is opened, and checked again once it is.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            Fail("Cannot open " + QuotedName(path) + ": the file does not exist.");
        FailUnreadable(path, errno);
    }
    RequireRegular(path, status.st_mode);
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        FailUnreadable(path, errno);
    ByteSource source(descriptor, path, true, true);
    if (::fstat(descriptor, &status) != 0)
        FailUnreadable(path, errno);
    RequireRegular(path, status.st_mode);
    if (status.st_size > MaximumFileBytes)
        FailFileTooLarge(path, MaximumFileBytes);
    return source;
}

ByteSource ByteSource::StandardInput()
{
    struct stat status {};
    const bool regular = ::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode) &&
                         ::lseek(STDIN_FILENO, 0, SEEK_CUR) == 0;
    return ByteSource(STDIN_FILENO, "standard input", false, regular);
}

ByteSource::ByteSource(std::span<const std::uint8_t> bytes, std::string name)
    : name_(std::move(name)), memory_(bytes), end_(bytes.size()), atEnd_(true)
{
}

ByteSource::ByteSource(int descriptor, std::string name, bool owned, bool regular)
    : descriptor_(descriptor), owned_(owned), regular_(regular), name_(std::move(name)), buffer_(BufferBytes)
{
}

ByteSource::ByteSource(ByteSource&& other) noexcept
{
    *this = std::move(other);
}

ByteSource& ByteSource::operator=(ByteSource&& other) noexcept
{
    if (this != &other) {
        if (owned_)
            ::close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        owned_ = std::exchange(other.owned_, false);
        regular_ = other.regular_;
        name_ = std::move(other.name_);
        memory_ = other.memory_;
        buffer_ = std::move(other.buffer_);
        start_ = other.start_;
        end_ = other.end_;
        atEnd_ = other.atEnd_;
        offset_ = other.offset_;
    }
    return *this;
}

ByteSource::~ByteSource()
{
    if (owned_)
        ::close(descriptor_);
}

// Reads until `wanted` bytes are buffered or the source ends.
void ByteSource::Fill(std::size_t wanted)
{
    if (descriptor_ < 0)
        return;
    if (start_ > 0 && end_ - start_ < wanted) {
        std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
    }
    while (end_ - start_ < wanted && !atEnd_)
        end_ += ReadSome(buffer_.data() + end_, buffer_.size() - end_);
}

std::size_t ByteSource::ReadSome(std::uint8_t* to, std::size_t count)
{
    for (;;) {
        const ssize_t got = ::read(descriptor_, to, count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            FailUnreadable(name_, errno);
        atEnd_ = got == 0;
        return static_cast<std::size_t>(got);
    }
}

std::span<const std::uint8_t> ByteSource::Peek(std::size_t count)
{
    count = std::min(count, MostPeeked);
    Fill(count);
    const std::uint8_t* at = descriptor_ < 0 ? memory_.data() + start_ : buffer_.data() + start_;
    return {at, std::min(count, end_ - start_)};
}

std::size_t ByteSource::Read(void* to, std::size_t count)
{
    auto* out = static_cast<std::uint8_t*>(to);
    std::size_t done = 0;
    while (done < count) {
        if (start_ == end_) {
            // Large reads go straight to their place, past the buffer.
            if (descriptor_ >= 0 && !atEnd_ && count - done >= buffer_.size()) {
                const std::size_t got = ReadSome(out + done, count - done);
                done += got;
                offset_ += static_cast<long long>(got);
                continue;
            }
            Fill(1);
            if (start_ == end_)
                break;
        }
        const std::size_t part = std::min(count - done, end_ - start_);
        const std::uint8_t* from = descriptor_ < 0 ? memory_.data() + start_ : buffer_.data() + start_;
        std::memcpy(out + done, from, part);
        start_ += part;
        done += part;
        offset_ += static_cast<long long>(part);
    }
    return done;
}

void ByteSource::ReadExactly(void* to, std::size_t count)
{
    if (Read(to, count) != count)
        FailTruncated(name_);
}

int ByteSource::ReadByte()
{
    std::uint8_t byte = 0;
    return Read(&byte, 1) == 1 ? byte : -1;
}

std::vector<std::uint8_t> ByteSource::ReadRest(long long limit)
{
    std::vector<std::uint8_t> rest;
    std::uint8_t chunk[64 * 1024];
    while (const std::size_t got = Read(chunk, sizeof chunk)) {
        if (static_cast<long long>(rest.size() + got) > limit)
            FailFileTooLarge(name_, limit);
        rest.insert(rest.end(), chunk, chunk + got);
    }
    return rest;
}

int ByteSource::SeekableDescriptor() const
{
    return regular_ && offset_ == 0 ? descriptor_ : -1;
}

}  // namespace darkfill::files
