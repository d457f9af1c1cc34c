#include "framework/controls/TClipboard.h"

#include "framework/core/Exception.h"
#include "framework/pictures/BitmapImage.h"
#include "framework/pictures/TBitmap.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

void TClipboard::Assign(const TBitmap* bitmap)
{
    QGuiApplication::clipboard()->setImage(ImageOfBitmap(*bitmap));
}

bool TClipboard::HasPicture() const
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

void TClipboard::GetPicture(TBitmap& bitmap) const
{
    const QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull())
        throw Exception(QCoreApplication::translate("TClipboard", "The clipboard holds no picture to paste.").toStdString());
    const TBitmap pasted = BitmapOfImage(image);
    bitmap.Assign(&pasted);
}

TClipboard* Clipboard()
{
    static TClipboard clipboard;
    return &clipboard;
}
