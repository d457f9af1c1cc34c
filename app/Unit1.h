#pragma once

#include "framework/controls/TButton.h"
#include "framework/controls/TForm.h"
#include "framework/controls/TImage.h"
#include "framework/controls/TOpenPictureDialog.h"

// The main window: the input pane on the left, the result pane on the right, and
// the two commands. Its layout and bindings are in its form description.
class TForm1 : public TForm
{
public:
    // published: the form description fills these fields and binds these
    // handlers by name.
    TButton* Button1;
    TButton* Button2;
    TImage* Image1;
    TImage* Image2;
    TOpenPictureDialog* OpenPictureDialog1;
    void Button1Click(TObject* Sender);
    void Button2Click(TObject* Sender);

    explicit TForm1(TComponent* Owner);
};

extern TForm1* Form1;
