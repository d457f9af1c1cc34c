#pragma once

class TBitmap;

// The desktop's clipboard, for pictures.
class TClipboard
{
public:
    // Puts a copy of the bitmap on the clipboard as an image.
    void Assign(const TBitmap* bitmap);

    bool HasPicture() const;

    // The clipboard's image as a bitmap, taken as a picture file's is (see
    // BitmapOfImage); raises Exception where the clipboard holds no image, and
    // leaves bitmap as it was.
    void GetPicture(TBitmap& bitmap) const;
};

// The application's clipboard.
TClipboard* Clipboard();
