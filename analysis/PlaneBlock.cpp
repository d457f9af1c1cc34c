#include "analysis/PlaneBlock.h"

#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace darkfill {

namespace {

constexpr std::size_t HugePage = std::size_t{2} << 20;

}  // namespace

void PlaneBlock::Free::operator()(float* p) const
{
    std::free(p);
}

void PlaneBlock::Reserve(std::size_t cells)
{
    const std::size_t bytes = cells * sizeof(float);
    if (bytes <= bytes_)
        return;
    Release();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= HugePage) {
        const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
        void* p = std::aligned_alloc(HugePage, rounded);
        if (!p)
            throw std::bad_alloc();
        // Only advice: where the system declines, the block has ordinary pages.
        ::madvise(p, rounded, MADV_HUGEPAGE);
        data_.reset(static_cast<float*>(p));
        bytes_ = rounded;
        return;
    }
#endif
    void* p = std::malloc(bytes);
    if (!p)
        throw std::bad_alloc();
    data_.reset(static_cast<float*>(p));
    bytes_ = bytes;
}

void PlaneBlock::Release()
{
    data_.reset();
    bytes_ = 0;
}

}  // namespace darkfill
