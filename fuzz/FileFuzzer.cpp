// Any bytes as a picture file, through the file library's readers (the formats
// that only Qt reads are the picture fuzzer's). A picture that reads is written
// in every format that holds it and must read back the same.

#include "files/ByteSource.h"
#include "files/FileError.h"
#include "files/PictureReader.h"
#include "files/PictureWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace darkfill::files;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const ReadAs as : {ReadAs::Grey, ReadAs::Colour}) {
        Picture picture;
        try {
            ByteSource source({data, size}, "fuzz");
            picture = ReadPicture(source, {.maximumPixels = 1 << 20}, as);
        } catch (const FileError&) {
            continue;
        }
        if (picture.channels != 1)
            continue;
        for (const FileFormat format : {FileFormat::Png, FileFormat::Pgm, FileFormat::Tiff, FileFormat::Pfm,
                                        FileFormat::Npy}) {
            if (!Holds(format, picture.type))
                continue;
            const std::vector<std::uint8_t> written = EncodePicture(picture, format, {}, "fuzz");
            ByteSource again(written, "again");
            if (ReadPicture(again, {.maximumPixels = 1 << 20}).bytes != picture.bytes)
                std::abort();
        }
    }
    return 0;
}
