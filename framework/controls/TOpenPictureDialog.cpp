#include "framework/controls/TOpenPictureDialog.h"

#include "framework/core/ComponentClasses.h"
#include "framework/core/Exception.h"
#include "framework/pictures/BitmapImage.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/TBitmap.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QStringList>

namespace {

const ComponentClassRegistration Registration("TOpenPictureDialog", [](TComponent* owner) -> TComponent* {
    return new TOpenPictureDialog(owner);
});

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

constexpr int PreviewSize = 160;
// Files beyond this are not read just for a preview.
constexpr qint64 PreviewFileLimit = 32LL * 1024 * 1024;

// Shows the file's picture through the same loader as opening it, scaled to fit.
void ShowPreview(QLabel& preview, const QString& path)
{
    preview.clear();
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > PreviewFileLimit)
        return;
    try {
        TBitmap bitmap;
        ReadPictureFile(path.toStdString(), bitmap);
        const QImage image = ImageOfBitmap(bitmap);
        preview.setPixmap(QPixmap::fromImage(
            image.scaled(PreviewSize, PreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    } catch (const Exception&) {
        preview.setText(QStringLiteral("No preview"));
    }
}

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

void TOpenPictureDialog::Prepare(QFileDialog& dialog) const
{
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!grid)
        return;
    auto* preview = new QLabel(&dialog);
    preview->setObjectName(QStringLiteral("preview"));
    preview->setFixedSize(PreviewSize, PreviewSize);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    grid->addWidget(preview, 1, grid->columnCount(), 1, 1, Qt::AlignTop);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                     [preview](const QString& path) { ShowPreview(*preview, path); });
}
