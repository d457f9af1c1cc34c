#pragma once

#include "framework/controls/TButton.h"
#include "framework/controls/TForm.h"
#include "framework/controls/TImage.h"
#include "framework/controls/TOpenPictureDialog.h"

class TAction;
class TPopupMenu;
class TSavePictureDialog;

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

    // The commands beyond the two buttons, each with its shortcut, listed in the
    // panes' right-click menus.
    TAction* OpenAction;
    TAction* SaveResultAction;
    TAction* SaveFillMapAction;
    TAction* CopyResultAction;
    TAction* CopyPictureAction;
    TAction* PasteAction;
    TSavePictureDialog* SavePictureDialog;

    void SaveResultExecute(TObject* Sender);
    void SaveFillMapExecute(TObject* Sender);
    void CopyResultExecute(TObject* Sender);
    void CopyPictureExecute(TObject* Sender);
    void PasteExecute(TObject* Sender);
    // Loads a file into the left pane as Button1 does once a file is chosen.
    void OpenPicture(const AnsiString& fileName);

private:
    void PrepareCommands();
    void DescribeControls();
};

extern TForm1* Form1;

// A picture file named on the command line, opened once the window shows.
AnsiString& FileToOpenAtStart();
