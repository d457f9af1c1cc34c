#include "framework/controls/TSavePictureDialog.h"

#include "framework/core/ComponentClasses.h"
#include "framework/forms/FormModel.h"
#include "framework/pictures/PictureWriter.h"

#include <QApplication>
#include <QFileDialog>
#include <QRegularExpression>

namespace {

const ComponentClassRegistration Registration("TSavePictureDialog", [](TComponent* owner) -> TComponent* {
    return new TSavePictureDialog(owner);
});

// "PNG pictures (*.png)" -> "png"
QString FirstExtension(const QString& filter)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

}  // namespace

TSavePictureDialog::TSavePictureDialog(TComponent* owner) : TComponent(owner)
{
}

bool TSavePictureDialog::Execute()
{
    const QString title = Title.empty() ? QFileDialog::tr("Save As") : QString::fromStdString(Title);
    const QStringList filters = WritableFormatFilters();
    QFileDialog dialog(QApplication::activeWindow(), title);
    // Qt's own dialog, the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(0));
    dialog.setDefaultSuffix(FirstExtension(filters.value(0)));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) { dialog.setDefaultSuffix(FirstExtension(filter)); });
    if (!fileName_.empty())
        dialog.selectFile(QString::fromStdString(fileName_));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName_ = dialog.selectedFiles().constFirst().toStdString();
    return true;
}

void TSavePictureDialog::SetProperty(const std::string& name, const FormValue& value)
{
    if (name == "Left" || name == "Top")
        AsInteger(value, name);
    else if (name == "Title")
        Title = AsText(value, name);
    else
        TComponent::SetProperty(name, value);
}
