#include "analysis/WorkingMemory.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace darkfill {

void* AllocateWorking(std::size_t bytes)
{
    void* block = nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t HugePage = std::size_t{2} << 20;
    if (bytes >= HugePage) {
        const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
        block = std::aligned_alloc(HugePage, rounded);
        // Only advice: where the system declines, the block has ordinary pages.
        if (block)
            ::madvise(block, rounded, MADV_HUGEPAGE);
    } else
#endif
        block = std::malloc(bytes > 0 ? bytes : 1);
    if (!block)
        throw std::bad_alloc();
    return block;
}

void FreeWorking(void* block) noexcept
{
    std::free(block);
}

}  // namespace darkfill
