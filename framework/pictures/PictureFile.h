#pragma once

#include "framework/core/AnsiString.h"

#include <QByteArray>
#include <QString>

class TBitmap;

// Reads a picture file of any format Qt's image reader knows, recognised by its
// content, into bitmap (pf32bit, the file's colours, transparency dropped). On any
// failure raises Exception naming the file and the reason, and leaves bitmap as it was.
void ReadPictureFile(const AnsiString& fileName, TBitmap& bitmap);

// The same for the bytes of a picture file; name stands for the file in messages.
void DecodePicture(const QByteArray& bytes, const QString& name, TBitmap& bitmap);
