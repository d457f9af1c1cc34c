#pragma once

#include "framework/core/TComponent.h"

class QFileDialog;

// The open-file dialog. Not a visible control: its Left and Top only place it in
// the form description.
class TOpenDialog : public TComponent
{
public:
    explicit TOpenDialog(TComponent* owner);

    // Shows the dialog modally; true when the user confirmed an existing file.
    virtual bool Execute();

    AnsiString GetFileName() const { return fileName_; }

    // Empty: the platform's defaults, title "Open" and the class's filter.
    AnsiString Title;
    AnsiString Filter;

    void SetProperty(const std::string& name, const FormValue& value) override;

protected:
    // Qt's filter text: entries separated by ";;".
    virtual AnsiString DefaultFilter() const;
    // Adds to the dialog before it is shown; nothing here.
    virtual void Prepare(QFileDialog& dialog) const;
    const char* ClassName() const override { return "TOpenDialog"; }

private:
    AnsiString fileName_;
};
