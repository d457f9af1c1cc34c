#include "analysis/WorkingMemory.h"

#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace darkfill {

void WorkingArena::Free::operator()(std::byte* block) const
{
    std::free(block);
}

void WorkingArena::Reserve(std::size_t bytes)
{
    used_ = 0;
    if (bytes <= bytes_)
        return;
    Release();
    std::size_t size = bytes;
    void* block = nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // A small block would only bring in a whole huge page; from a quarter of
    // one, one page charged costs less than the small ones.
    constexpr std::size_t HugePage = std::size_t{2} << 20;
    if (bytes >= HugePage / 4) {
        size = (bytes + HugePage - 1) / HugePage * HugePage;
        block = std::aligned_alloc(HugePage, size);
        // Only advice: where the system declines, the block has ordinary pages.
        if (block)
            ::madvise(block, size, MADV_HUGEPAGE);
    } else {
        block = std::malloc(size);
    }
#else
    block = std::malloc(size);
#endif
    if (!block)
        throw std::bad_alloc();
    block_.reset(static_cast<std::byte*>(block));
    bytes_ = size;
}

void WorkingArena::Release()
{
    block_.reset();
    bytes_ = 0;
    used_ = 0;
}

}  // namespace darkfill
