#include "app/Unit1.h"

#include "app/Analysis.h"
#include "darkfill/darkfill.h"
#include "framework/application/TApplication.h"
#include "framework/controls/BusyCursor.h"
#include "framework/controls/TAction.h"
#include "framework/controls/TClipboard.h"
#include "framework/controls/TFormClass.h"
#include "framework/controls/TPopupMenu.h"
#include "framework/controls/TSavePictureDialog.h"
#include "framework/core/Exception.h"
#include "framework/pictures/BitmapImage.h"
#include "framework/pictures/GreyPicture.h"
#include "framework/pictures/PictureWriter.h"
#include "framework/pictures/TBitmap.h"
#include "framework/pictures/TPicture.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

TForm1* Form1 = nullptr;

namespace {

const TFormClass& TForm1Class()
{
    static const TFormClass formClass = TFormClass("TForm1")
                                            .Field("Button1", &TForm1::Button1)
                                            .Field("Button2", &TForm1::Button2)
                                            .Field("Image1", &TForm1::Image1)
                                            .Field("Image2", &TForm1::Image2)
                                            .Field("OpenPictureDialog1", &TForm1::OpenPictureDialog1)
                                            .Handler("Button1Click", &TForm1::Button1Click)
                                            .Handler("Button2Click", &TForm1::Button2Click);
    return formClass;
}

// The working raster has room for pictures up to its own size; a larger one is
// refused before anything changes.
void RefuseOversizedPicture(const TBitmap& picture)
{
    if (picture.Width() <= RasterWidth && picture.Height() <= RasterHeight)
        return;
    throw Exception(QCoreApplication::translate("TForm1",
                                                "The picture is %1 x %2 pixels; the analysis handles pictures of at "
                                                "most %3 x %4 pixels.")
                        .arg(picture.Width())
                        .arg(picture.Height())
                        .arg(RasterWidth)
                        .arg(RasterHeight)
                        .toStdString());
}

QString Translated(const char* text)
{
    return QCoreApplication::translate("TForm1", text);
}

// The result, or the picture, that a command works on: refused while there is none.
const TBitmap& RequirePicture(const TImage* pane, const char* missing)
{
    const TBitmap* bitmap = pane->Picture()->GetBitmap();
    if (bitmap->Empty())
        throw Exception(Translated(missing).toStdString());
    return *bitmap;
}

const char* NoResultYet = QT_TRANSLATE_NOOP("TForm1", "There is no result yet: open a picture, then press Button2 to fill its holes.");

// The chosen name, with ".png" where it has no extension.
QString WithExtension(const AnsiString& fileName)
{
    QString name = QString::fromStdString(fileName);
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".png");
    return name;
}

// Byte 0 of every pixel (blue in the 24-bit layout) becomes the cell's grey level.
void CopyPictureIntoRaster(TBitmap& picture)
{
    // Cells outside a smaller picture would otherwise keep an earlier picture's
    // grey levels and leak into this result.
    std::memset(InputRaster, 0, sizeof InputRaster);
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* row = picture.GetScanline(y);
        for (int x = 0; x < picture.Width(); ++x)
            InputRaster[y][x] = row[3 * x];
    }
}

// Every byte of a pixel takes the result, so that the result shows as grey.
void CopyResultIntoPicture(TBitmap& picture)
{
    for (int y = 0; y < picture.Height(); ++y) {
        std::uint8_t* row = picture.GetScanline(y);
        for (int x = 0; x < picture.Width(); ++x)
            std::memset(row + 3 * x, static_cast<std::uint8_t>(ResultRaster[y][x]), 3);
    }
}

}  // namespace

TForm1::TForm1(TComponent* Owner) : TForm(Owner, TForm1Class())
{
    PrepareCommands();
    DescribeControls();
    OnDropFiles = [this](const std::vector<AnsiString>& files) { OpenPicture(files.front()); };
    if (!FileToOpenAtStart().empty())
        Application->QueueEvent([this] { OpenPicture(FileToOpenAtStart()); });
}

namespace {

// The commands beyond the buttons: caption, shortcut, hint, what runs them.
struct Command {
    TAction* TForm1::*action;
    const char* caption;
    const char* shortCut;
    const char* hint;
    void (TForm1::*execute)(TObject*);
};

const Command Commands[] = {
    {&TForm1::OpenAction, QT_TRANSLATE_NOOP("TForm1", "&Open Picture..."), "Ctrl+O",
     QT_TRANSLATE_NOOP("TForm1", "Open a picture"), &TForm1::Button1Click},
    {&TForm1::SaveResultAction, QT_TRANSLATE_NOOP("TForm1", "&Save Result As..."), "Ctrl+S",
     QT_TRANSLATE_NOOP("TForm1", "Save the result"), &TForm1::SaveResultExecute},
    {&TForm1::SaveFillMapAction, QT_TRANSLATE_NOOP("TForm1", "Save &Fill Map..."), "",
     QT_TRANSLATE_NOOP("TForm1", "Save a map of where every value came from"), &TForm1::SaveFillMapExecute},
    {&TForm1::CopyResultAction, QT_TRANSLATE_NOOP("TForm1", "&Copy Result"), "Ctrl+C",
     QT_TRANSLATE_NOOP("TForm1", "Copy the result"), &TForm1::CopyResultExecute},
    {&TForm1::CopyPictureAction, QT_TRANSLATE_NOOP("TForm1", "Copy &Picture"), "",
     QT_TRANSLATE_NOOP("TForm1", "Copy the picture"), &TForm1::CopyPictureExecute},
    {&TForm1::PasteAction, QT_TRANSLATE_NOOP("TForm1", "&Paste Picture"), "Ctrl+V",
     QT_TRANSLATE_NOOP("TForm1", "Paste a picture"), &TForm1::PasteExecute},
};

// The fill rule's choices: caption, hint, the rule and its far side.
struct RuleChoice {
    TAction* TForm1::*action;
    const char* caption;
    const char* hint;
    darkfill::FillRule rule;
    darkfill::FarSide far;
};

const RuleChoice RuleChoices[] = {
    {&TForm1::RowsColumnsRuleAction, QT_TRANSLATE_NOOP("TForm1", "&Rows and Columns"),
     QT_TRANSLATE_NOOP("TForm1", "Each hole from the nearest value on its row or column"), darkfill::FillRule::RowsColumns,
     darkfill::FarSide::Larger},
    {&TForm1::NearestRuleAction, QT_TRANSLATE_NOOP("TForm1", "&Nearest"),
     QT_TRANSLATE_NOOP("TForm1", "Each hole from the nearest value in any direction"), darkfill::FillRule::Nearest,
     darkfill::FarSide::Larger},
    {&TForm1::BackgroundLargerRuleAction, QT_TRANSLATE_NOOP("TForm1", "&Background, Larger Is Farther"),
     QT_TRANSLATE_NOOP("TForm1", "Each hole from the larger of the values beside it, as for depth"),
     darkfill::FillRule::Background, darkfill::FarSide::Larger},
    {&TForm1::BackgroundSmallerRuleAction, QT_TRANSLATE_NOOP("TForm1", "Background, &Smaller Is Farther"),
     QT_TRANSLATE_NOOP("TForm1", "Each hole from the smaller of the values beside it, as for disparity"),
     darkfill::FillRule::Background, darkfill::FarSide::Smaller},
};

constexpr int RuleGroup = 1;

// An action of the form's, its caption and hint in the user's language.
TAction* NewAction(TForm1* form, const char* caption, const char* hint)
{
    auto* action = new TAction(form);
    action->SetCaption(Translated(caption).toStdString());
    action->SetHint(Translated(hint).toStdString());
    return action;
}

}  // namespace

void TForm1::PrepareCommands()
{
    for (const Command& command : Commands) {
        TAction* action = NewAction(this, command.caption, command.hint);
        action->SetShortCut(command.shortCut);
        action->OnExecute = [this, execute = command.execute](TObject* sender) { (this->*execute)(sender); };
        this->*command.action = action;
    }
    // A fill map shows an analysis, so there is none before the first.
    SaveFillMapAction->SetEnabled(false);
    SavePictureDialog = new TSavePictureDialog(this);

    auto* pictureMenu = new TPopupMenu(this);
    pictureMenu->Add(OpenAction);
    pictureMenu->Add(PasteAction);
    pictureMenu->Add(CopyPictureAction);
    Image1->SetPopupMenu(pictureMenu);

    auto* resultMenu = new TPopupMenu(this);
    resultMenu->Add(SaveResultAction);
    resultMenu->Add(SaveFillMapAction);
    resultMenu->Add(CopyResultAction);
    resultMenu->AddSeparator();
    PrepareRuleChoices(resultMenu);
    resultMenu->AddSeparator();
    resultMenu->Add(OpenAction);
    Image2->SetPopupMenu(resultMenu);
}

void TForm1::PrepareRuleChoices(TPopupMenu* menu)
{
    TPopupMenu* rules = menu->AddSubmenu(Translated(QT_TRANSLATE_NOOP("TForm1", "Fill &Rule")).toStdString());
    for (const RuleChoice& choice : RuleChoices) {
        TAction* action = NewAction(this, choice.caption, choice.hint);
        action->SetGroupIndex(RuleGroup);
        action->OnExecute = [this, &choice](TObject*) {
            ChooseRule({.rule = choice.rule, .far = choice.far});
        };
        rules->Add(action);
        this->*choice.action = action;
    }
    RowsColumnsRuleAction->SetChecked(true);
}

// The result shown, if any, is filled again from the raster it came from, which
// only Button2 changes.
void TForm1::ChooseRule(const darkfill::FillOptions& options)
{
    chosenOptions_ = options;
    if (!SaveFillMapAction->Enabled())
        return;
    TBitmap output;
    output.Assign(Image2->Picture()->GetBitmap());
    output.SetPixelFormat(pf24bit);
    ShowAnalysis(output);
}

// Runs the analysis with the chosen rule and shows it, as the right pane's picture.
void TForm1::ShowAnalysis(TBitmap& output)
{
    {
        const BusyCursor busy;
        RunAnalysis(chosenOptions_);
        CopyResultIntoPicture(output);
    }
    shownOptions_ = chosenOptions_;
    Image2->SetAutoSize(true);
    Image2->Picture()->Assign(&output);
    SaveFillMapAction->SetEnabled(true);
}

// Hints and names for assistive tools; the captions stay as they are.
void TForm1::DescribeControls()
{
    Button1->SetHint(Translated(QT_TRANSLATE_NOOP("TForm1", "Open a picture (Ctrl+O)")).toStdString());
    Button1->SetAccessibleName(Translated(QT_TRANSLATE_NOOP("TForm1", "Open a picture")).toStdString());
    Button2->SetHint(Translated(QT_TRANSLATE_NOOP("TForm1", "Fill the holes")).toStdString());
    Button2->SetAccessibleName(Translated(QT_TRANSLATE_NOOP("TForm1", "Fill the holes")).toStdString());
    Image1->SetHint(Translated(QT_TRANSLATE_NOOP("TForm1", "The picture; right-click for its commands")).toStdString());
    Image1->SetAccessibleName(Translated(QT_TRANSLATE_NOOP("TForm1", "Picture")).toStdString());
    Image2->SetHint(Translated(QT_TRANSLATE_NOOP("TForm1", "The result; right-click to save or copy it")).toStdString());
    Image2->SetAccessibleName(Translated(QT_TRANSLATE_NOOP("TForm1", "Result")).toStdString());
}

void TForm1::Button1Click(TObject*)
{
    if (!OpenPictureDialog1->Execute())
        return;
    Image1->SetAutoSize(true);
    const AnsiString fileName = OpenPictureDialog1->GetFileName();
    const BusyCursor busy;
    Image1->Picture()->LoadFromFile(fileName);
}

void TForm1::OpenPicture(const AnsiString& fileName)
{
    Image1->SetAutoSize(true);
    const BusyCursor busy;
    Image1->Picture()->LoadFromFile(fileName);
}

void TForm1::SaveResultExecute(TObject*)
{
    const TBitmap& result = RequirePicture(Image2, NoResultYet);
    if (!SavePictureDialog->Execute())
        return;
    WriteGreyPicture(GreyPictureOfImage(ImageOfBitmap(result)), WithExtension(SavePictureDialog->GetFileName()));
}

// The map of the last analysis: its sources come again from the raster it read,
// which nothing has changed since.
void TForm1::SaveFillMapExecute(TObject*)
{
    const TBitmap& result = RequirePicture(Image2, NoResultYet);
    if (!SavePictureDialog->Execute())
        return;
    constexpr std::size_t cells = static_cast<std::size_t>(RasterHeight) * RasterWidth;
    std::vector<std::int32_t> filled(cells);
    std::vector<darkfill::ValueSource> sources(cells);
    darkfill::FillHoles(darkfill::RasterView<const std::int32_t>(&InputRaster[0][0], RasterHeight, RasterWidth),
                        darkfill::RasterView<std::int32_t>(filled.data(), RasterHeight, RasterWidth), shownOptions_,
                        {.fillMap = darkfill::RasterView<darkfill::ValueSource>(sources.data(), RasterHeight, RasterWidth)});
    std::vector<std::uint8_t> indexes;
    for (int y = 0; y < result.Height(); ++y)
        for (int x = 0; x < result.Width(); ++x)
            indexes.push_back(static_cast<std::uint8_t>(sources[static_cast<std::size_t>(y) * RasterWidth + x]));
    WritePalettePicture(result.Width(), result.Height(), indexes,
                        std::vector<std::uint32_t>(std::begin(darkfill::FillMapColours), std::end(darkfill::FillMapColours)),
                        WithExtension(SavePictureDialog->GetFileName()));
}

void TForm1::CopyResultExecute(TObject*)
{
    Clipboard()->Assign(&RequirePicture(Image2, NoResultYet));
}

void TForm1::CopyPictureExecute(TObject*)
{
    Clipboard()->Assign(&RequirePicture(Image1, QT_TRANSLATE_NOOP("TForm1", "There is no picture to copy yet.")));
}

void TForm1::PasteExecute(TObject*)
{
    Image1->SetAutoSize(true);
    TBitmap pasted;
    Clipboard()->GetPicture(pasted);
    Image1->Picture()->Assign(&pasted);
}

AnsiString& FileToOpenAtStart()
{
    static AnsiString fileName;
    return fileName;
}

void TForm1::Button2Click(TObject*)
{
    const auto input = std::make_unique<TBitmap>();
    const auto output = std::make_unique<TBitmap>();
    input->Assign(Image1->Picture()->GetBitmap());
    RefuseOversizedPicture(*input);
    output->Assign(Image2->Picture()->GetBitmap());
    output->SetWidth(input->Width());
    output->SetHeight(input->Height());
    input->SetPixelFormat(pf24bit);
    output->SetPixelFormat(pf24bit);
    CopyPictureIntoRaster(*input);
    ShowAnalysis(*output);
}
