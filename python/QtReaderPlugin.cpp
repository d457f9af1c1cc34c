// The Qt reader for the module, in a library of its own that the module loads
// only when a file in a format that only Qt reads comes, so that programs that
// fill arrays, or PNG, PGM, PFM, TIFF and NPY files, never load Qt.

#include "framework/pictures/QtPictureReader.h"

extern "C" __attribute__((visibility("default"))) const darkfill::files::ForeignReader* darkfill_qt_picture_reader()
{
    return QtPictureReader::Instance();
}
