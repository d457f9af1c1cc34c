#include "bench/HeapAccounting.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long long> heapInUse{0};
std::atomic<long long> heapPeak{0};
}  // namespace

long long HeapInUse()
{
    return heapInUse.load();
}

long long StartHeapPeak()
{
    heapPeak = heapInUse.load();
    return heapPeak.load();
}

long long HeapPeak()
{
    return heapPeak.load();
}

void* operator new(std::size_t size)
{
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p)
        throw std::bad_alloc();
    const long long now = heapInUse += static_cast<long long>(malloc_usable_size(p));
    long long peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
    return p;
}

// This operator new takes its memory from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept
{
    if (!p)
        return;
    heapInUse -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
#pragma GCC diagnostic pop

void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void operator delete[](void* p) noexcept
{
    operator delete(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    operator delete(p);
}
