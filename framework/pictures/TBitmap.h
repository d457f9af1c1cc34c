#pragma once

#include "framework/core/TObject.h"

#include <cstdint>
#include <vector>

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// A picture in memory, row 0 at the top. Two layouts are held: pf24bit, 3 bytes a
// pixel (blue, green, red), and pf32bit, 4 bytes a pixel (blue, green, red, unused,
// the last always 0); pfDevice stands for pf32bit. Rows are not padded: row y
// starts Width() x bytes-per-pixel bytes after row y - 1.
class TBitmap : public TObject
{
public:
    TBitmap();

    // Becomes a deep copy of source: size, pixel format and pixels.
    void Assign(const TBitmap* source);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Resizing keeps the pixels where old and new size overlap; new pixels are black.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);

    TPixelFormat PixelFormat() const { return pixelFormat_; }
    // Converts the content; raises Exception for layouts that are not held.
    void SetPixelFormat(TPixelFormat pixelFormat);
    int BytesPerPixel() const;

    bool Empty() const { return width_ == 0 || height_ == 0; }

    // The bytes of row y; raises Exception for a row outside the bitmap.
    std::uint8_t* GetScanline(int y);
    const std::uint8_t* GetScanline(int y) const;

private:
    int RowBytes() const { return width_ * BytesPerPixel(); }

    int width_ = 0;
    int height_ = 0;
    TPixelFormat pixelFormat_ = pf24bit;
    std::vector<std::uint8_t> pixels_;
};
