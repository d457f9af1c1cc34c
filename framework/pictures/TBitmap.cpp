#include "framework/pictures/TBitmap.h"

#include "framework/core/Exception.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace {

// Beyond this a bitmap is refused rather than left to exhaust memory.
constexpr long long MaximumBitmapBytes = 1LL << 30;

int BytesPerPixelOf(TPixelFormat format)
{
    switch (format) {
    case pf24bit:
        return 3;
    case pf32bit:
    case pfDevice:
        return 4;
    default:
        throw Exception("This pixel format is not supported; use 24 or 32 bits per pixel.");
    }
}

}  // namespace

TBitmap::TBitmap() = default;

void TBitmap::Assign(const TBitmap* source)
{
    if (source == this)
        return;
    if (source == nullptr) {
        *this = TBitmap();
        return;
    }
    width_ = source->width_;
    height_ = source->height_;
    pixelFormat_ = source->pixelFormat_;
    pixels_ = source->pixels_;
}

int TBitmap::BytesPerPixel() const
{
    return BytesPerPixelOf(pixelFormat_);
}

void TBitmap::SetWidth(int width)
{
    SetSize(width, height_);
}

void TBitmap::SetHeight(int height)
{
    SetSize(width_, height);
}

void TBitmap::SetSize(int width, int height)
{
    if (width < 0 || height < 0)
        throw Exception("A bitmap cannot have a negative size (" + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels).");
    if (width == width_ && height == height_)
        return;
    const int bytesPerPixel = BytesPerPixel();
    if (static_cast<long long>(width) * height * bytesPerPixel > MaximumBitmapBytes)
        throw Exception("A bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels is too large.");
    std::vector<std::uint8_t> resized(static_cast<std::size_t>(width) * height * bytesPerPixel, 0);
    const int keptBytes = std::min(width, width_) * bytesPerPixel;
    for (int y = 0; keptBytes > 0 && y < std::min(height, height_); ++y)
        std::memcpy(resized.data() + static_cast<std::size_t>(y) * width * bytesPerPixel,
                    pixels_.data() + static_cast<std::size_t>(y) * RowBytes(), keptBytes);
    pixels_ = std::move(resized);
    width_ = width;
    height_ = height;
}

void TBitmap::SetPixelFormat(TPixelFormat pixelFormat)
{
    const int to = BytesPerPixelOf(pixelFormat);
    const int from = BytesPerPixel();
    pixelFormat_ = pixelFormat;
    if (to == from)
        return;
    std::vector<std::uint8_t> converted(static_cast<std::size_t>(width_) * height_ * to, 0);
    const std::size_t pixels = static_cast<std::size_t>(width_) * height_;
    for (std::size_t i = 0; i < pixels; ++i)
        std::memcpy(converted.data() + i * to, pixels_.data() + i * from, 3);
    pixels_ = std::move(converted);
}

std::uint8_t* TBitmap::GetScanline(int y)
{
    return const_cast<std::uint8_t*>(std::as_const(*this).GetScanline(y));
}

const std::uint8_t* TBitmap::GetScanline(int y) const
{
    if (y < 0 || y >= height_)
        throw Exception("Scan line " + std::to_string(y) + " is outside a bitmap of " + std::to_string(height_) +
                        " rows.");
    return pixels_.data() + static_cast<std::size_t>(y) * RowBytes();
}
