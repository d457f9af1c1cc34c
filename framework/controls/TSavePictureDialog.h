#pragma once

#include "framework/core/TComponent.h"

// The save dialog for pictures, titled "Save As": its filter lists every format
// that the picture writer can write here, PNG first and chosen; a name typed
// without an extension gets the chosen format's. Writing over a file that exists
// is confirmed first. Not a visible control.
class TSavePictureDialog : public TComponent
{
public:
    explicit TSavePictureDialog(TComponent* owner);

    // Shows the dialog modally; true when the user confirmed a name.
    bool Execute();

    AnsiString GetFileName() const { return fileName_; }
    // The name proposed when the dialog opens (in the last folder used).
    void SetFileName(const AnsiString& fileName) { fileName_ = fileName; }

    AnsiString Title;

    void SetProperty(const std::string& name, const FormValue& value) override;

protected:
    const char* ClassName() const override { return "TSavePictureDialog"; }

private:
    AnsiString fileName_;
};
