#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// Some of Qt's readers report success on a picture whose data ends early and
// leave the missing part unset or made up. These checks look at the structure of
// the bytes before decoding and say why a picture is incomplete; an empty string
// means nothing is missing that the reader would not notice itself.
QString FindMissingPictureData(const QByteArray& bytes, const QByteArray& format);

// The size that a picture's header claims where Qt's reader refuses to tell it
// (a BMP header claiming a huge size); an invalid size otherwise.
QSize ClaimedPictureSize(const QByteArray& bytes, const QByteArray& format);

// The scans of a JPEG: one for a baseline picture, about ten for a progressive
// one as encoders write it. Each scan is another pass over the whole picture.
int CountJpegScans(const QByteArray& bytes);
