#include "framework/controls/TOpenPictureDialog.h"

#include "framework/core/ComponentClasses.h"
#include "framework/core/Exception.h"
#include "framework/pictures/BitmapImage.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/TBitmap.h"

#include <QCoreApplication>
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
    {QT_TRANSLATE_NOOP("TOpenPictureDialog", "Bitmaps"), "bmp", "*.bmp"},
    {QT_TRANSLATE_NOOP("TOpenPictureDialog", "PNG pictures"), "png", "*.png"},
    {QT_TRANSLATE_NOOP("TOpenPictureDialog", "JPEG pictures"), "jpeg", "*.jpg *.jpeg"},
    {QT_TRANSLATE_NOOP("TOpenPictureDialog", "GIF pictures"), "gif", "*.gif"},
    {QT_TRANSLATE_NOOP("TOpenPictureDialog", "Icons"), "ico", "*.ico *.cur"},
    {QT_TRANSLATE_NOOP("TOpenPictureDialog", "Portable pixmaps"), "ppm", "*.pbm *.pgm *.ppm"},
    {QT_TRANSLATE_NOOP("TOpenPictureDialog", "X bitmaps"), "xbm", "*.xbm"},
    {QT_TRANSLATE_NOOP("TOpenPictureDialog", "X pixmaps"), "xpm", "*.xpm"},
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
        preview.setText(QCoreApplication::translate("TOpenPictureDialog", "No preview"));
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
        entries << QStringLiteral("%1 (%2)").arg(QCoreApplication::translate("TOpenPictureDialog", format.name), QLatin1String(format.patterns));
    }
    entries.prepend(QCoreApplication::translate("TOpenPictureDialog", "All pictures (%1)").arg(all.join(QLatin1Char(' '))));
    entries << QCoreApplication::translate("TOpenPictureDialog", "All files (*)");
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
