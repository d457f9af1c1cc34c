#include "TOpenPictureDialog.h"

#include <QImageReader>
#include <QStringList>

namespace {

struct PictureFormat {
    const char* name;
    const char* reader;  // the format's name in Qt's image reader
    const char* patterns;
};

const PictureFormat Formats[] = {
    {"Bitmaps", "bmp", "*.bmp"},
    {"PNG pictures", "png", "*.png"},
    {"JPEG pictures", "jpeg", "*.jpg *.jpeg"},
    {"GIF pictures", "gif", "*.gif"},
    {"Icons", "ico", "*.ico *.cur"},
    {"Portable pixmaps", "ppm", "*.pbm *.pgm *.ppm"},
    {"X bitmaps", "xbm", "*.xbm"},
    {"X pixmaps", "xpm", "*.xpm"},
};

}  // namespace

TOpenPictureDialog::TOpenPictureDialog(TComponent* owner) : TOpenDialog(owner)
{
}

AnsiString TOpenPictureDialog::DefaultFilter() const
{
    const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    QStringList all;
    QStringList entries;
    for (const PictureFormat& format : Formats) {
        if (!readable.contains(format.reader))
            continue;
        all << QString::fromLatin1(format.patterns);
        entries << QStringLiteral("%1 (%2)").arg(QLatin1String(format.name), QLatin1String(format.patterns));
    }
    entries.prepend(QStringLiteral("All pictures (%1)").arg(all.join(QLatin1Char(' '))));
    entries << QStringLiteral("All files (*)");
    return entries.join(QStringLiteral(";;")).toStdString();
}
