#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>
#include <stdexcept>

namespace darkfill {

// One block for a fill's working arrays, which a Filler keeps from raster to
// raster. The arrays are taken from its front one after another, each at the size
// it will be written, so that a fill writes one stretch of the block from its
// start. A fresh block is asked for in the system's huge pages where it has them
// (Linux's transparent huge pages): a virtual machine may charge microseconds for
// the first write to each 4 KiB page, and did for each of the many small arrays
// that a first fill wrote, which made it cost several later ones; a 2 MiB page is
// charged once. A block of less than a quarter of one has ordinary pages. The
// block comes from the heap with a huge page of slack to align it, so that the
// next block of its size, a fill's after a fill that released its own, is the
// same memory again: one mapped afresh each time (asked for aligned) had its
// huge pages cleared for every fill (a 512 x 384 depth map with 40 % holes,
// filled fill after fill through fresh blocks: 0.74 against 0.56 ms in one
// run on this project's machine).
// Memory: address space for the bound reserved and the slack; only what the
// fills write is brought in.
class WorkingArena
{
public:
    // The bytes that count values of T take at most, alignment included.
    template <class T>
    static constexpr std::size_t BytesFor(std::size_t count)
    {
        return count * sizeof(T) + Alignment;
    }

    // Room for at least bytes, from the block's start: the arrays taken before
    // are given back, and lost.
    void Reserve(std::size_t bytes);
    void Release();
    std::size_t Bytes() const { return bytes_; }
    // The bytes that the next arrays can still take, alignment not counted.
    std::size_t Room() const { return bytes_ - std::min(Aligned(used_), bytes_); }
    // Where the next array would go; Rewind(Used()) gives back every array taken
    // after it, for the stages that follow to take again.
    std::size_t Used() const { return used_; }
    void Rewind(std::size_t used) { used_ = std::min(used, used_); }

    // The arena given, or else own, reserved for bytes: for a stage that a caller
    // runs without one.
    static WorkingArena& GivenOr(WorkingArena* given, WorkingArena& own, std::size_t bytes)
    {
        if (given)
            return *given;
        own.Reserve(bytes);
        return own;
    }

    // count values of T, not written, after the arrays taken since Reserve.
    template <class T>
    std::span<T> Take(std::size_t count)
    {
        const std::size_t at = std::min(Aligned(used_), bytes_);
        if (count > (bytes_ - at) / sizeof(T))
            throw std::length_error("darkfill: working arrays beyond the room reserved for them");
        used_ = at + count * sizeof(T);
        return {reinterpret_cast<T*>(start_ + at), count};
    }

private:
    static constexpr std::size_t Alignment = 64;
    static constexpr std::size_t Aligned(std::size_t bytes) { return (bytes + Alignment - 1) / Alignment * Alignment; }
    struct Free {
        void operator()(std::byte* block) const;
    };
    std::unique_ptr<std::byte[], Free> block_;
    std::byte* start_ = nullptr;
    std::size_t bytes_ = 0;
    std::size_t used_ = 0;
};

}  // namespace darkfill
