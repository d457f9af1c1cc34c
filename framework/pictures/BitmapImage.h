#pragma once

#include "framework/pictures/TBitmap.h"

#include <QImage>

// A bitmap as a Qt image, for showing it on screen.
QImage ImageOfBitmap(const TBitmap& bitmap);

// A Qt image as a pf32bit bitmap: the image's colours, transparency dropped with
// the stored colour kept; sixteen bits a channel keep their high byte; a palette
// index beyond the palette is black.
TBitmap BitmapOfImage(const QImage& image);
