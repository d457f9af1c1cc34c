#pragma once

#include "TOpenDialog.h"

// The open dialog for pictures: its filter lists every picture format that the
// picture loader reads, first all together, then one by one, then all files.
class TOpenPictureDialog : public TOpenDialog
{
public:
    explicit TOpenPictureDialog(TComponent* owner);

protected:
    AnsiString DefaultFilter() const override;
    const char* ClassName() const override { return "TOpenPictureDialog"; }
};
