#include "analysis/WorkingMemory.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace darkfill {

namespace {

#if defined(__linux__)

// Brings in the whole pages of the block at once, where the system can: one call
// instead of a page fault for each page as it is first written, which costs far
// more on a virtual machine. Only advice, like the huge pages.
void BringIn(void* block, std::size_t bytes)
{
#if defined(MADV_POPULATE_WRITE)
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + page - 1) / page * page, end = (start + bytes) / page * page;
    if (first < end)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)block;
    (void)bytes;
#endif
}

#endif

}  // namespace

void* AllocateWorking(std::size_t bytes)
{
    void* block = nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t HugePage = std::size_t{2} << 20;
    if (bytes >= HugePage) {
        const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
        block = std::aligned_alloc(HugePage, rounded);
        if (block)
            ::madvise(block, rounded, MADV_HUGEPAGE);
    } else
#endif
        block = std::malloc(bytes > 0 ? bytes : 1);
    if (!block)
        throw std::bad_alloc();
#if defined(__linux__)
    // Smaller blocks mostly come from memory the process already has.
    if (bytes >= 64 * 1024)
        BringIn(block, bytes);
#endif
    return block;
}

void FreeWorking(void* block) noexcept
{
    std::free(block);
}

}  // namespace darkfill
