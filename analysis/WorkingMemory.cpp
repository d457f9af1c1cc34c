#include "analysis/WorkingMemory.h"

#include <cstdlib>
#include <memory>
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
    std::size_t size = bytes, slack = 0;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // A small block would only bring in a whole huge page; from a quarter of
    // one, one page charged costs less than the small ones.
    constexpr std::size_t HugePage = std::size_t{2} << 20;
    if (bytes >= HugePage / 4) {
        size = (bytes + HugePage - 1) / HugePage * HugePage;
        slack = HugePage;
    }
#endif
    void* block = std::malloc(size + slack);
    if (!block)
        throw std::bad_alloc();
    block_.reset(static_cast<std::byte*>(block));
    start_ = block_.get();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (slack != 0) {
        void* aligned = block;
        std::size_t space = size + slack;
        start_ = static_cast<std::byte*>(std::align(slack, size, aligned, space));
        // Only advice: where the system declines, the block has ordinary pages.
        ::madvise(start_, size, MADV_HUGEPAGE);
    }
#endif
    bytes_ = size;
}

void WorkingArena::Release()
{
    block_.reset();
    start_ = nullptr;
    bytes_ = 0;
    used_ = 0;
}

}  // namespace darkfill
