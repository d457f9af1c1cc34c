#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace darkfill::files {

// The largest picture file read, in bytes.
inline constexpr long long MaximumFileBytes = 1LL << 30;

// Where a picture's bytes come from, read from the front: a file, standard input
// or bytes in memory. Decoders take what they need and no more, so that what a
// file costs depends on what its header claims, not on what else it carries.
// Any failure raises FileError naming the source and the reason.
//
// Only regular files are opened: a folder, pipe, socket or device is refused
// before anything reads from it, and a file is opened without waiting, so that a
// pipe put in its place meanwhile cannot hold the reader.
class ByteSource
{
public:
    // A file by its name (bytes, as the system spells it).
    static ByteSource OpenFile(const std::string& path);
    // Standard input, named "standard input" in messages.
    static ByteSource StandardInput();
    // Bytes in memory, which must outlive the source.
    ByteSource(std::span<const std::uint8_t> bytes, std::string name);

    ByteSource(ByteSource&&) noexcept;
    ByteSource& operator=(ByteSource&&) noexcept;
    ~ByteSource();

    const std::string& Name() const { return name_; }

    // The next bytes without taking them: up to count (at most 4096) of them,
    // fewer only at the end.
    std::span<const std::uint8_t> Peek(std::size_t count);
    // Up to count bytes; fewer only at the end.
    std::size_t Read(void* to, std::size_t count);
    // Exactly count bytes, or FileError: the picture data ends early.
    void ReadExactly(void* to, std::size_t count);
    // The next byte, or -1 at the end.
    int ReadByte();
    // Everything left, at most limit bytes (FileError: too large beyond that).
    std::vector<std::uint8_t> ReadRest(long long limit = MaximumFileBytes);
    // Bytes taken so far.
    long long Offset() const { return offset_; }

    // The file behind the source where it is a regular file read from its
    // start (-1 otherwise): readers that must seek (TIFF) read it in place.
    int SeekableDescriptor() const;

private:
    ByteSource(int descriptor, std::string name, bool owned, bool regular);
    void Fill(std::size_t wanted);
    // One read of the file: what it gave, 0 at its end.
    std::size_t ReadSome(std::uint8_t* to, std::size_t count);

    int descriptor_ = -1;
    bool owned_ = false;
    bool regular_ = false;
    std::string name_;
    std::span<const std::uint8_t> memory_;
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;  // the next byte in buffer_ (or memory_)
    std::size_t end_ = 0;
    bool atEnd_ = false;
    long long offset_ = 0;
};

// Messages that the readers share.
[[noreturn]] void FailDamaged(const std::string& name, const std::string& reason);
[[noreturn]] void FailTruncated(const std::string& name);

}  // namespace darkfill::files
