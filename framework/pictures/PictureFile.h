#pragma once

#include "framework/core/AnsiString.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class TBitmap;

// Reading picture files safely: any failure raises Exception naming the file and
// the reason, and what the caller held before stays as it was.
//
// Limitations: files of at most MaximumPictureFileBytes (1 GiB); only regular
// files are read: a folder, FIFO, socket or device is refused before anything
// reads from it, and no read holds more than the limit, even where the size cannot
// be known in advance. Formats, recognised by their content: BMP, PNG (read by the
// file library), JPEG (of at most MostJpegScans scans), GIF, ICO and CUR, PBM,
// PGM and PPM (also with more than 8 bits a value, DeepNetpbm.h), XBM, XPM, and
// TIFF and WebP where Qt's plugins for them are installed; pictures beyond Qt's
// allocation limit (256 MB at 4 bytes a pixel) are refused as too large.

constexpr qint64 MaximumPictureFileBytes = 1LL << 30;

// The most scans of a progressive JPEG that is read: each is a pass over the
// whole picture, and encoders write about ten.
constexpr int MostJpegScans = 64;

// The bytes of a picture file.
QByteArray ReadPictureFileBytes(const QString& fileName);

// Whether the first bytes of a file (a few thousand) begin a picture in a format
// read here; one whose header claims more pixels than pixelLimit (where above
// 0) is refused with Exception.
bool BeginsPicture(const QByteArray& start, const QString& name, qint64 pixelLimit);

// The picture that the bytes of a picture file hold, in the reader's own format
// (16 bits a channel where the file has them); name stands for the file in messages.
// Where pixelLimit is above 0, a picture whose header claims more pixels than
// that is refused before it is decoded.
QImage DecodePictureImage(const QByteArray& bytes, const QString& name, qint64 pixelLimit = 0);

// Reads a picture file into bitmap (pf32bit; see BitmapOfImage for how deeper
// pictures and transparency are taken).
void ReadPictureFile(const AnsiString& fileName, TBitmap& bitmap);

// The same for the bytes of a picture file.
void DecodePicture(const QByteArray& bytes, const QString& name, TBitmap& bitmap);

// The file's name as messages show it: in quotes, with the system's separators.
QString QuotedFileName(const QString& name);

// The name with its control characters escaped (\n, \t, \r, \x7f, ...), so that
// a name with a newline stays on one line, and each byte that is no UTF-8 shown
// as the byte it is (\xff).
QString PrintableFileName(const QString& name);
