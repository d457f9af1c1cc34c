#include "framework/core/Exception.h"
#include "framework/pictures/TBitmap.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// Fills a bitmap so that every byte tells its row, column and channel.
void Paint(TBitmap& bitmap)
{
    const int bytes = bitmap.BytesPerPixel();
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* row = bitmap.GetScanline(y);
        for (int x = 0; x < bitmap.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                row[bytes * x + c] = static_cast<std::uint8_t>(y * 50 + x * 7 + c);
    }
}

bool Painted(const TBitmap& bitmap, int y, int x)
{
    const std::uint8_t* pixel = bitmap.GetScanline(y) + bitmap.BytesPerPixel() * x;
    for (int c = 0; c < 3; ++c)
        if (pixel[c] != static_cast<std::uint8_t>(y * 50 + x * 7 + c))
            return false;
    return true;
}

TEST(Bitmap, ConvertsBetweenLayoutsKeepingTheColours)
{
    struct Row {
        const char* name;
        TPixelFormat from;
        TPixelFormat to;
        int bytesPerPixel;
    };
    const Row table[] = {
        {"24 to 32", pf24bit, pf32bit, 4},
        {"32 to 24", pf32bit, pf24bit, 3},
        {"device to 24", pfDevice, pf24bit, 3},
        {"24 to 24", pf24bit, pf24bit, 3},
    };
    for (const Row& row : table) {
        TBitmap bitmap;
        bitmap.SetPixelFormat(row.from);
        bitmap.SetSize(5, 3);  // an odd width shows any row padding
        Paint(bitmap);
        bitmap.SetPixelFormat(row.to);
        EXPECT_EQ(bitmap.BytesPerPixel(), row.bytesPerPixel) << row.name;
        EXPECT_EQ(bitmap.GetScanline(1) - bitmap.GetScanline(0), 5 * row.bytesPerPixel) << row.name;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_TRUE(Painted(bitmap, y, x)) << row.name << " at " << y << "," << x;
    }
}

TEST(Bitmap, ResizingKeepsTheOverlapAndBlackensTheRest)
{
    struct Row {
        const char* name;
        int width;
        int height;
    };
    const Row table[] = {{"Wider", 7, 3}, {"Narrower", 2, 3}, {"Taller", 4, 5}, {"Smaller", 1, 1}, {"Empty", 0, 0}};
    for (const Row& row : table) {
        TBitmap bitmap;
        bitmap.SetSize(4, 3);
        Paint(bitmap);
        bitmap.SetWidth(row.width);
        bitmap.SetHeight(row.height);
        ASSERT_EQ(bitmap.Width(), row.width) << row.name;
        ASSERT_EQ(bitmap.Height(), row.height) << row.name;
        for (int y = 0; y < row.height; ++y)
            for (int x = 0; x < row.width; ++x) {
                const std::uint8_t* pixel = bitmap.GetScanline(y) + 3 * x;
                if (y < 3 && x < 4)
                    EXPECT_TRUE(Painted(bitmap, y, x)) << row.name;
                else
                    EXPECT_TRUE(pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0) << row.name;
            }
    }
}

TEST(Bitmap, AssignCopiesDeeply)
{
    TBitmap source;
    source.SetPixelFormat(pf32bit);
    source.SetSize(3, 2);
    Paint(source);
    TBitmap copy;
    copy.Assign(&source);
    source.GetScanline(0)[0] = 99;
    source.SetSize(1, 1);
    EXPECT_EQ(copy.Width(), 3);
    EXPECT_EQ(copy.Height(), 2);
    EXPECT_EQ(copy.PixelFormat(), pf32bit);
    EXPECT_TRUE(Painted(copy, 0, 0));
    EXPECT_TRUE(Painted(copy, 1, 2));
}

TEST(Bitmap, RefusesWhatItCannotHold)
{
    TBitmap bitmap;
    bitmap.SetSize(2, 2);
    const std::vector<std::pair<const char*, std::function<void()>>> table = {
        {"row below", [&] { bitmap.GetScanline(2); }},
        {"row above", [&] { bitmap.GetScanline(-1); }},
        {"negative width", [&] { bitmap.SetWidth(-1); }},
        {"huge", [&] { bitmap.SetSize(100000, 100000); }},
        {"8-bit layout", [&] { bitmap.SetPixelFormat(pf8bit); }},
    };
    for (const auto& [name, action] : table) {
        EXPECT_THROW(action(), Exception) << name;
        EXPECT_EQ(bitmap.Width(), 2) << name;
        EXPECT_EQ(bitmap.PixelFormat(), pf24bit) << name;
    }
    EXPECT_EQ(static_cast<int>(pf24bit), 6);
}

}  // namespace
