#pragma once

#include "framework/pictures/GreyPicture.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// Writing grey pictures without losing data: a file is written whole or not at
// all, and a picture is refused where a format cannot hold its values.
//
// Limitations: PNG, PGM and TIFF (where Qt's TIFF plugin is installed) hold 8 or
// 16 bits a value; BMP and PPM hold 8 bits and refuse a 16-bit picture. The
// extension of the file's name picks the format, whatever its case.

enum class PictureFormat { Png, Bmp, Pgm, Ppm, Tiff };

// What becomes of a file that already has the name: replaced, or kept, even
// one that another program puts there while the new file is being written.
enum class ExistingFile { Replace, Keep };

// The format that a file name's extension asks for; nothing for no extension or
// one that no writer here knows.
std::optional<PictureFormat> FormatOfFileName(const QString& fileName);

// The same, or Exception naming the file where there is none.
PictureFormat RequireFormatOf(const QString& fileName);

// The formats that can be written on this system, each as "Name (*.ext ...)",
// PNG first, for a save dialog's filter; and each one's first extension.
QStringList WritableFormatFilters();
QString ExtensionOf(PictureFormat format);

// The file's bytes; raises Exception naming the file where the format cannot
// hold the picture or cannot be written here.
QByteArray EncodeGreyPicture(const GreyPicture& picture, PictureFormat format, const QString& fileName);

// Writes bytes to the file atomically: into a new file beside it, then renamed
// into place. On any failure (a folder that cannot be written, a full disk) an
// existing file stays exactly as it was, nothing is left behind, and Exception
// names the file and the reason. With ExistingFile::Keep the rename refuses to
// replace whatever has the name by then, and that is a failure too; with
// ExistingFile::Replace the new file keeps the permissions of the one that it
// replaces, and a symbolic link stays, its file replaced.
void WriteFileAtomically(const QString& fileName, const QByteArray& bytes,
                         ExistingFile existing = ExistingFile::Replace);

// Several files written as one, each as WriteFileAtomically writes it, and none
// put in place before all are complete. Where one of them cannot be put in
// place, none stays new: with ExistingFile::Replace, those put in place before it
// get their old files back.
void WriteFilesAtomically(const std::vector<std::pair<QString, QByteArray>>& files, ExistingFile existing);

// The picture in the format of the name's extension, atomically.
void WriteGreyPicture(const GreyPicture& picture, const QString& fileName,
                      ExistingFile existing = ExistingFile::Replace);

// A picture of a few colours: each cell an index into the palette (0xRRGGBB),
// row after row; written as the name's extension asks (PGM, which holds grey
// only, is refused), atomically.
QByteArray EncodePalettePicture(int width, int height, const std::vector<std::uint8_t>& indexes,
                                const std::vector<std::uint32_t>& palette, const QString& fileName);
void WritePalettePicture(int width, int height, const std::vector<std::uint8_t>& indexes,
                         const std::vector<std::uint32_t>& palette, const QString& fileName);
