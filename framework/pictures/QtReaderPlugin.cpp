// Qt's readers as a plugin of the file library (darkfill_qt_reader.so), which
// darkfill-cli and the Python module load only when a file in a format that
// only Qt reads comes: programs that fill arrays, or PNG, PGM, PFM, TIFF and
// NPY files, never map Qt.

#include "files/ForeignPlugin.h"
#include "framework/pictures/QtPictureReader.h"

extern "C" __attribute__((visibility("default"))) const darkfill::files::ForeignReader*
darkfill_foreign_picture_reader()
{
    return QtPictureReader::Instance();
}
