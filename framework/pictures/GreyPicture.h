#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

// A grey picture at its own depth, for work on the values themselves: 8 bits a
// value (0 to 255) or 16 (0 to 65535), row after row, row 0 at the top.
struct GreyPicture {
    int width = 0;
    int height = 0;
    int bitsPerValue = 8;
    std::vector<std::uint16_t> values;
};

// An image's grey values: a grey image's own, a colour image's blue channel (the
// stored colour, whatever its transparency), a palette image's palette colours'
// blue. Sixteen bits where the image has more than 8 bits a channel, else eight.
GreyPicture GreyPictureOfImage(const QImage& image);

// The picture as Format_Grayscale8 or Format_Grayscale16.
QImage ImageOfGreyPicture(const GreyPicture& picture);
