#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Pictures that the tests make themselves, in the formats the loader reads.

// A picture whose every pixel has its own colour, so that misplaced bytes show.
QImage PatternImage(int width, int height);

// The picture in Qt's writer for format ("bmp", "png", "ppm", ...).
QByteArray Encode(const QImage& image, const char* format);

// An 8-bit palette picture as a GIF (Qt has no GIF writer); the LZW codes are
// written uncompressed, restarting before the code size would grow.
QByteArray EncodeGif(const QImage& indexed);

// A BMP of 1, 4 or 8 bits a pixel (from an 8-bit palette picture whose indexes
// fit), or 24 or 32 bits; rle asks for RLE8 or RLE4 compression (8 or 4 bits).
QByteArray EncodeBmp(const QImage& image, int bitsPerPixel, bool rle = false);

// An 8-bit palette picture with the given number of palette colours.
QImage PalettePicture(int width, int height, int colours);

// Writes bytes to a new file in the test's temporary folder; returns its path.
QString WriteTempFile(const QString& name, const QByteArray& bytes);
