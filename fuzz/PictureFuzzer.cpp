// Any bytes as a picture file, through the same path as loading a file.

#include "framework/core/Exception.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/TBitmap.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Qt's image plugins are found through an application object.
    static int argc = 1;
    static char name[] = "picture_fuzzer";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TBitmap bitmap;
    try {
        DecodePicture(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                      QStringLiteral("fuzz"), bitmap);
    } catch (const Exception&) {
    }
    return 0;
}
