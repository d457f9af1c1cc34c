#pragma once

#include <QImage>

class TBitmap;

// A bitmap as a Qt image, for showing it on screen.
QImage ImageOfBitmap(const TBitmap& bitmap);
