#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace darkfill::files {

// An allocator that leaves new elements uninitialised: a picture's samples are
// all written by its reader, and zeroing them first would cost a pass over
// fresh memory.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept
    {
    }
    template <class U>
    void construct(U* at) noexcept
    {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Arguments>
    void construct(U* at, Arguments&&... arguments)
    {
        ::new (static_cast<void*>(at)) U(std::forward<Arguments>(arguments)...);
    }
};

// Bytes that a writer fills whole.
using ByteBuffer = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

// The type of a picture's samples: what a file stores and what the fill keeps.
enum class SampleType : std::uint8_t { U8, U16, I32, F32 };

constexpr int BytesOf(SampleType type)
{
    return type == SampleType::U8 ? 1 : type == SampleType::U16 ? 2 : 4;
}

// numpy's name of the type: "uint8", "uint16", "int32", "float32".
const char* DtypeName(SampleType type);

// A picture in memory: samples of one type in the machine's byte order, the
// channels of a pixel side by side, row after row without gaps, row 0 at the
// top. A grey picture has one channel; a picture read as colour has three (red,
// green, blue) or four (with alpha, as stored: not premultiplied).
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 1;
    SampleType type = SampleType::U8;
    ByteBuffer bytes;

    Picture() = default;
    // Room for the samples, not yet written. std::bad_alloc where memory is short.
    Picture(int width, int height, SampleType type, int channels = 1);

    std::size_t RowBytes() const { return std::size_t(width) * channels * BytesOf(type); }
    template <class Sample>
    Sample* Row(int y)
    {
        return reinterpret_cast<Sample*>(bytes.data() + RowBytes() * std::size_t(y));
    }
    template <class Sample>
    const Sample* Row(int y) const
    {
        return reinterpret_cast<const Sample*>(bytes.data() + RowBytes() * std::size_t(y));
    }
    long long Pixels() const { return static_cast<long long>(width) * height; }
};

}  // namespace darkfill::files
