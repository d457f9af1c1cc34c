#pragma once

#include "framework/controls/TOpenDialog.h"

// The open dialog for pictures: its filter lists every picture format that the
// picture loader reads, first all together, then one by one, then all files; a
// preview beside the file list shows the picture under the cursor.
class TOpenPictureDialog : public TOpenDialog
{
public:
    explicit TOpenPictureDialog(TComponent* owner);

protected:
    AnsiString DefaultFilter() const override;
    void Prepare(QFileDialog& dialog) const override;
    const char* ClassName() const override { return "TOpenPictureDialog"; }
};
