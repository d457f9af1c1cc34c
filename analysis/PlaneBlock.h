#pragma once

#include <cstddef>
#include <memory>

namespace darkfill {

// The one block that holds a fill's planes, kept from raster to raster. A block
// of 2 MiB or more is asked for in the system's huge pages where it has them
// (Linux's transparent huge pages): a fresh block is then brought in a few page
// faults instead of one a 4 KiB page, which made the first fill of a 640 x 480
// frame cost about three later ones.
//
// Memory: the cells asked for, rounded up to 2 MiB where huge pages are asked for.
class PlaneBlock
{
public:
    // At least this many cells; the values of a block that grows are lost.
    void Reserve(std::size_t cells);
    float* Data() const { return data_.get(); }
    std::size_t Bytes() const { return bytes_; }
    void Release();

private:
    struct Free {
        void operator()(float* p) const;
    };
    std::unique_ptr<float, Free> data_;
    std::size_t bytes_ = 0;
};

}  // namespace darkfill
