#include "framework/controls/TOpenDialog.h"

#include "framework/core/ComponentClasses.h"
#include "framework/forms/FormModel.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace {

const ComponentClassRegistration Registration("TOpenDialog", [](TComponent* owner) -> TComponent* {
    return new TOpenDialog(owner);
});

}  // namespace

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner)
{
}

bool TOpenDialog::Execute()
{
    const QString title = QString::fromStdString(Title.empty() ? AnsiString("Open") : Title);
    const QString filter = QString::fromStdString(Filter.empty() ? DefaultFilter() : Filter);
    // Qt's own dialog, the same on every desktop.
    QFileDialog dialog(QApplication::activeWindow(), title, QString(), filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Open where the last file was chosen; selecting that file as well would let
    // the dialog overwrite what the user types once the folder has been read.
    if (!fileName_.empty())
        dialog.setDirectory(QFileInfo(QString::fromStdString(fileName_)).absolutePath());
    Prepare(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    // Whatever was chosen goes to the reader, which says why it refuses a pipe
    // or a device.
    fileName_ = dialog.selectedFiles().constFirst().toStdString();
    return true;
}

AnsiString TOpenDialog::DefaultFilter() const
{
    return "All files (*)";
}

void TOpenDialog::Prepare(QFileDialog&) const
{
}

void TOpenDialog::SetProperty(const std::string& name, const FormValue& value)
{
    if (name == "Left" || name == "Top")
        AsInteger(value, name);
    else if (name == "Title")
        Title = AsText(value, name);
    else if (name == "Filter")
        Filter = AsText(value, name);
    else
        TComponent::SetProperty(name, value);
}
