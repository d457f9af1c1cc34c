#pragma once

#include "framework/pictures/TBitmap.h"

#include <QImage>

// A bitmap as a Qt image, for showing it on screen.
QImage ImageOfBitmap(const TBitmap& bitmap);

// A Qt image as a pf32bit bitmap: the image's colours, transparency dropped with
// the stored colour kept; sixteen bits a channel become eight with 0 kept as 0 and
// every other value at least 1 (its high byte, raised to 1 where that is 0); a
// palette index beyond the palette is black.
TBitmap BitmapOfImage(const QImage& image);
