#pragma once

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

namespace darkfill {

// The memory of the analysis's working arrays, which a Filler keeps from raster to
// raster. It differs from the standard allocator's in two ways:
// - a fresh block is brought in whole when it is asked for (on Linux), a block
//   of 2 MiB or more in the system's huge pages where it has them: a page fault
//   for each 4 KiB page as it was first written made the first fill of a picture
//   cost several later ones. Arrays are therefore asked for at the size they
//   will be written, not at a bound;
// - a vector that grows leaves its new numbers unwritten (default
//   initialisation), as whoever grows it writes them next.
void* AllocateWorking(std::size_t bytes);
void FreeWorking(void* block) noexcept;

template <class T>
struct WorkingAllocator {
    using value_type = T;

    WorkingAllocator() = default;
    template <class U>
    WorkingAllocator(const WorkingAllocator<U>&) noexcept
    {
    }

    T* allocate(std::size_t count) { return static_cast<T*>(AllocateWorking(count * sizeof(T))); }
    void deallocate(T* block, std::size_t) noexcept { FreeWorking(block); }

    template <class U>
    void construct(U* at) noexcept
    {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args)
    {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }

    template <class U>
    bool operator==(const WorkingAllocator<U>&) const noexcept
    {
        return true;
    }
};

template <class T>
using WorkingVector = std::vector<T, WorkingAllocator<T>>;

// Makes room for at least count values and returns them; the values held before
// are lost, not copied, where the room grows.
template <class T>
T* Room(WorkingVector<T>& vector, std::size_t count)
{
    if (vector.capacity() < count) {
        vector = WorkingVector<T>();
        vector.reserve(count);
    }
    vector.resize(count);
    return vector.data();
}

template <class T>
std::size_t BytesHeld(const WorkingVector<T>& vector)
{
    return vector.capacity() * sizeof(T);
}

}  // namespace darkfill
