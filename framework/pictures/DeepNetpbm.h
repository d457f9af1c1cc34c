#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// Netpbm grey maps and pixmaps with more than 8 bits a value (a maximum value
// above 255), which Qt's own reader cuts to 8 bits. Values are kept as stored, not
// scaled to the maximum, as depth maps need them.
//
// Limitations: P2 and P5 (grey) and P3 and P6 (colour) with a maximum value from
// 256 to 65535; one picture a file; the maximum is not kept by the image.

// The picture of a deep Netpbm file as Format_Grayscale16 or Format_RGBX64, or
// nothing when the bytes are not a deep Netpbm file (Qt's reader takes those).
// A damaged file sets `damage` to what is wrong and gives an empty image.
std::optional<QImage> DecodeDeepNetpbm(const QByteArray& bytes, QString& damage);

// The size that a deep Netpbm file's header claims; invalid for other bytes.
QSize DeepNetpbmSize(const QByteArray& bytes);

// A 16-bit grey picture (Format_Grayscale16) as a binary grey map (P5) with the
// given maximum value; every value must lie at or below it.
QByteArray EncodeDeepPgm(const QImage& image, int maximumValue);
