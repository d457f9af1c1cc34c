#pragma once

#include "darkfill/darkfill.h"
#include "framework/controls/TButton.h"
#include "framework/controls/TForm.h"
#include "framework/controls/TImage.h"
#include "framework/controls/TOpenPictureDialog.h"

class TAction;
class TPopupMenu;
class TSavePictureDialog;
class TBitmap;

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

    // The fill rule's choices, in the result pane's menu; the one marked fills
    // at the next press of Button2, and at once the result shown.
    TAction* RowsColumnsRuleAction;
    TAction* NearestRuleAction;
    TAction* BackgroundLargerRuleAction;
    TAction* BackgroundSmallerRuleAction;
    // Loads a file into the left pane as Button1 does once a file is chosen.
    void OpenPicture(const AnsiString& fileName);

private:
    void PrepareCommands();
    void PrepareRuleChoices(TPopupMenu* menu);
    void DescribeControls();
    void ChooseRule(const darkfill::FillOptions& options);
    void ShowAnalysis(TBitmap& output);

    // The rule of the next analysis, and that of the result shown, whose fill
    // map must come from the same rule.
    darkfill::FillOptions chosenOptions_;
    darkfill::FillOptions shownOptions_;
};

extern TForm1* Form1;

// A picture file named on the command line, opened once the window shows.
AnsiString& FileToOpenAtStart();
