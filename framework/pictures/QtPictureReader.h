#pragma once

#include "files/PictureReader.h"

// The file library's reader for the formats that only Qt's readers read here
// (BMP, JPEG, GIF, ICO, XBM, XPM, WebP, 8-bit PBM/PGM/PPM are the library's own),
// with the checks of the window's loader: sizes refused before decoding, data
// that ends early refused, no more than MostJpegScans scans.
class QtPictureReader : public darkfill::files::ForeignReader
{
public:
    // The reader, made on first use; decoders may take what the largest
    // picture that limits allow needs, 8 bytes a pixel (16-bit colour).
    static const darkfill::files::ForeignReader* Instance();

    bool Recognises(std::span<const std::uint8_t> start, const std::string& name,
                    const darkfill::files::ReadLimits& limits) const override;
    darkfill::files::Picture Decode(const std::vector<std::uint8_t>& bytes, const std::string& name,
                                    const darkfill::files::ReadLimits& limits,
                                    darkfill::files::ReadAs as) const override;
};
