#include "app/Analysis.h"
#include "darkfill/darkfill.h"
#include "darkfill/darkfill.h"
#include "framework/application/TApplication.h"
#include "framework/controls/TAction.h"
#include "framework/controls/TPopupMenu.h"
#include "framework/pictures/GreyPicture.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/PictureWriter.h"
#include "app/Unit1.h"
#include "framework/application/TApplication.h"
#include "framework/application/WinMain.h"
#include "framework/core/Exception.h"
#include "framework/core/Resources.h"
#include "framework/pictures/TBitmap.h"
#include "framework/pictures/TPicture.h"
#include "testing/files/FileSizeLimit.h"
#include "testing/pictures/TestPictures.h"
#include "testing/windows/ModalDriver.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>

#include <sys/stat.h>

using namespace darkfill;

// Lets a test make the allocation of the main window fail, so that an object that
// is not an Exception leaves the start-up.
namespace {
std::size_t failingAllocationSize = 0;
}  // namespace

void* operator new(std::size_t size)
{
    if (size != 0 && size == failingAllocationSize) {
        failingAllocationSize = 0;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

// This operator new takes its memory from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
#pragma GCC diagnostic pop

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void operator delete[](void* p) noexcept
{
    operator delete(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    operator delete(p);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
    operator delete(p);
}

void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept
{
    return operator new(size, nothrow);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    operator delete(p);
}

namespace {

// Answers the open dialog as a user would: types the path and confirms, or cancels.
ModalDriver::Answer ChooseFile(const QString& path)
{
    return [path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path);
        // Confirmed on the next turn of the event loop: a question that the
        // dialog asks then (writing over a file) can be answered in its turn.
        QTimer::singleShot(0, dialog, &QDialog::accept);
    };
}

ModalDriver::Answer Cancel()
{
    return [](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); };
}

ModalDriver::Answer ReadMessage(QString& text)
{
    return [&text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        text = box ? box->text() : QStringLiteral("not a message box");
        modal->close();
    };
}

// A picture whose blue bytes hold dark regions, gaps and greys, with green and
// red that must not matter.
QImage AnalysedPicture(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool hole = ((x / 7 + y / 5 + seed) % 4 == 0) || ((x * 31 + y * 17 + seed) % 11 == 0);
            const int blue = hole ? 0 : 40 + (x / 9 * 13 + y / 6 * 29 + seed * 7) % 200;
            image.setPixel(x, y, qRgb((x * 5 + seed) & 255, (y * 3) & 255, blue));
        }
    return image;
}

// What the right pane must show for a picture: the analysis of its blue bytes on
// an otherwise clear raster, as grey.
std::vector<std::uint8_t> ExpectedResult(const QImage& image, const FillOptions& options = {})
{
    std::memset(InputRaster, 0, sizeof InputRaster);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            InputRaster[y][x] = qBlue(image.pixel(x, y));
    RunAnalysis(options);
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            bytes.insert(bytes.end(), 3, static_cast<std::uint8_t>(ResultRaster[y][x]));
    return bytes;
}

std::vector<std::uint8_t> Shown(const TImage* pane)
{
    TBitmap bitmap;
    bitmap.Assign(pane->Picture()->GetBitmap());
    bitmap.SetPixelFormat(pf24bit);
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < bitmap.Height(); ++y)
        bytes.insert(bytes.end(), bitmap.GetScanline(y), bitmap.GetScanline(y) + 3 * bitmap.Width());
    return bytes;
}

class Program : public testing::Test
{
protected:
    void SetUp() override
    {
        Application->Initialize();
        Application->CreateForm(&Form1);
    }
    void TearDown() override { Application->DestroyComponents(); }

    void Load(const QImage& image, const char* name)
    {
        Form1->Image1->Picture()->LoadFromFile(WriteTempFile(name, Encode(image, "png")).toStdString());
    }
};

QRect Bounds(const TControl* c)
{
    return {c->Left(), c->Top(), c->Width(), c->Height()};
}

TEST_F(Program, StartsWithTwoEmptyPanesAndTwoButtons)
{
    EXPECT_EQ(Form1->Caption(), "Form1");
    EXPECT_EQ(Form1->ClientWidth(), 688);
    EXPECT_EQ(Form1->ClientHeight(), 446);
    struct Row {
        const TControl* control;
        QRect bounds;
    };
    const Row table[] = {{Form1->Image1, {0, 0, 105, 446}},
                         {Form1->Image2, {583, 0, 105, 446}},
                         {Form1->Button1, {136, 400, 75, 25}},
                         {Form1->Button2, {264, 400, 75, 25}}};
    for (const Row& row : table)
        EXPECT_EQ(Bounds(row.control), row.bounds) << row.control->Name;
    for (const TImage* pane : {Form1->Image1, Form1->Image2}) {
        EXPECT_FALSE(pane->AutoSize()) << pane->Name;
        EXPECT_TRUE(pane->Picture()->GetBitmap()->Empty()) << pane->Name;
    }
    EXPECT_EQ(Form1->Button1->Caption(), "Button1");
    EXPECT_EQ(Form1->Button2->Caption(), "Button2");

    Form1->Show();
    QApplication::setActiveWindow(Form1->Widget());
    Form1->Button1->Widget()->setFocus();
    QTest::keyClick(Form1->Button1->Widget(), Qt::Key_Tab);
    EXPECT_TRUE(Form1->Button2->Widget()->hasFocus());
}

TEST_F(Program, Button1LoadsTheChosenPicture)
{
    const QString picture = WriteTempFile("wide.png", Encode(PatternImage(300, 40), "png"));
    const QString damaged = WriteTempFile("damaged.png", Encode(PatternImage(50, 50), "png").left(90));
    QString message;

    ModalDriver cancelFirst(Cancel());
    Form1->Button1->Click();
    EXPECT_EQ(cancelFirst.Answered(), 1);
    EXPECT_FALSE(Form1->Image1->AutoSize());
    EXPECT_TRUE(Form1->Image1->Picture()->GetBitmap()->Empty());

    ModalDriver choose(ChooseFile(picture));
    Form1->Button1->Click();
    EXPECT_TRUE(Form1->Image1->AutoSize());
    EXPECT_EQ(Bounds(Form1->Image1), QRect(0, 0, 300, 446));
    EXPECT_EQ(Form1->Image1->Picture()->GetBitmap()->Width(), 300);

    ModalDriver chooseDamaged({ChooseFile(damaged), ReadMessage(message)});
    Form1->Button1->Click();
    EXPECT_EQ(chooseDamaged.Answered(), 2);
    EXPECT_TRUE(message.contains("damaged.png")) << message.toStdString();
    EXPECT_TRUE(message.contains("damaged")) << message.toStdString();
    EXPECT_TRUE(Form1->Image1->AutoSize());
    EXPECT_EQ(Form1->Image1->Picture()->GetBitmap()->Width(), 300);

    // A pipe typed into the dialog is refused with a message, not read.
    const QString pipe = QFileInfo(picture).dir().filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ModalDriver choosePipe({ChooseFile(pipe), ReadMessage(message)});
    Form1->Button1->Click();
    EXPECT_EQ(choosePipe.Answered(), 2);
    EXPECT_TRUE(message.contains("pipe")) << message.toStdString();

    ModalDriver cancelLater(Cancel());
    Form1->Button1->Click();
    EXPECT_EQ(Form1->Image1->Picture()->GetBitmap()->Width(), 300);
    EXPECT_TRUE(Form1->Image2->Picture()->GetBitmap()->Empty());
    EXPECT_FALSE(Form1->Image2->AutoSize());
}

TEST_F(Program, Button2ShowsTheAnalysisOfThePicture)
{
    struct Row {
        const char* name;
        QImage picture;
    };
    const Row table[] = {
        {"Small", AnalysedPicture(61, 47, 1)},
        {"FullRaster", AnalysedPicture(RasterWidth, RasterHeight, 2)},
        {"OneRow", AnalysedPicture(200, 1, 3)},
        {"Tall", AnalysedPicture(3, RasterHeight, 4)},
    };
    for (const Row& row : table) {
        Load(row.picture, "analysed.png");
        Form1->Button2->Click();
        const TBitmap* shown = Form1->Image2->Picture()->GetBitmap();
        EXPECT_EQ(shown->Width(), row.picture.width()) << row.name;
        EXPECT_EQ(shown->Height(), row.picture.height()) << row.name;
        EXPECT_TRUE(Form1->Image2->AutoSize()) << row.name;
        EXPECT_TRUE(Shown(Form1->Image2) == ExpectedResult(row.picture)) << row.name;
    }
}

TEST_F(Program, ResultDependsOnThePictureAlone)
{
    const QImage small = AnalysedPicture(40, 30, 5);
    Load(small, "small.png");
    Form1->Button2->Click();
    const std::vector<std::uint8_t> first = Shown(Form1->Image2);

    Load(AnalysedPicture(RasterWidth, RasterHeight, 6), "large.png");
    Form1->Button2->Click();
    Load(small, "small.png");
    Form1->Button2->Click();
    EXPECT_TRUE(Shown(Form1->Image2) == first);

    QImage recoloured = small;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            recoloured.setPixel(x, y, qRgb(255 - x, 7 * y, qBlue(small.pixel(x, y))));
    Load(recoloured, "recoloured.png");
    Form1->Button2->Click();
    EXPECT_TRUE(Shown(Form1->Image2) == first);
}

TEST_F(Program, Button2WithoutAPictureShowsAnEmptyPicture)
{
    Form1->Button2->Click();
    EXPECT_TRUE(Form1->Image2->Picture()->GetBitmap()->Empty());
    EXPECT_TRUE(Form1->Image2->AutoSize());
}

TEST_F(Program, OversizedPictureIsRefusedAndNothingChanges)
{
    Load(AnalysedPicture(30, 20, 7), "before.png");
    Form1->Button2->Click();
    const std::vector<std::uint8_t> before = Shown(Form1->Image2);
    std::vector<std::int32_t> input(&InputRaster[0][0], &InputRaster[0][0] + RasterWidth * RasterHeight);
    std::vector<std::int32_t> result(&ResultRaster[0][0], &ResultRaster[0][0] + RasterWidth * RasterHeight);

    for (const QSize size : {QSize(RasterWidth + 1, 10), QSize(10, RasterHeight + 1)}) {
        Load(AnalysedPicture(size.width(), size.height(), 8), "oversized.png");
        QString message;
        ModalDriver driver(ReadMessage(message));
        Form1->Button2->Click();
        EXPECT_EQ(message, QStringLiteral("The picture is %1 x %2 pixels; the analysis handles pictures of at "
                                          "most 512 x 384 pixels.")
                               .arg(size.width())
                               .arg(size.height()));
        EXPECT_TRUE(Shown(Form1->Image2) == before);
        EXPECT_EQ(std::memcmp(input.data(), InputRaster, sizeof InputRaster), 0);
        EXPECT_EQ(std::memcmp(result.data(), ResultRaster, sizeof ResultRaster), 0);
    }
}

TEST_F(Program, DamagedFilesLeaveThePicturesAndTheWindowWorking)
{
    const QImage picture = AnalysedPicture(64, 48, 9);
    ModalDriver choose(ChooseFile(WriteTempFile("good.png", Encode(picture, "png"))));
    Form1->Button1->Click();
    Form1->Button2->Click();
    std::vector<std::uint8_t> input = Shown(Form1->Image1);
    const std::vector<std::uint8_t> result = Shown(Form1->Image2);
    ASSERT_EQ(result, ExpectedResult(picture));

    QByteArray hugeBmp = EncodeBmp(PatternImage(8, 8), 24);
    hugeBmp[19] = hugeBmp[23] = '\x7F';
    QByteArray noEnd = EncodeBmp(PalettePicture(20, 10, 50), 8, true);
    noEnd.chop(2);
    QByteArray flippedJpeg = Encode(PatternImage(40, 30), "jpg");
    flippedJpeg[flippedJpeg.size() / 2] = static_cast<char>(flippedJpeg[flippedJpeg.size() / 2] ^ 0xFF);
    struct Row {
        const char* name;
        QByteArray bytes;
        bool mayLoad;  // a flipped byte inside the picture data still decodes
    };
    const Row files[] = {
        {"cut.bmp", EncodeBmp(PatternImage(30, 20), 24).left(500), false},
        {"cut.jpg", Encode(PatternImage(40, 30), "jpg").left(400), false},
        {"flipped.jpg", flippedJpeg, true},
        {"text.png", "not a picture at all", false},
        {"empty.gif", "", false},
        {"huge.bmp", hugeBmp, false},
        {"noend.bmp", noEnd, false},
    };
    for (const auto& [name, bytes, mayLoad] : files) {
        QString message;
        ModalDriver driver({ChooseFile(WriteTempFile(name, bytes)), ReadMessage(message)});
        Form1->Button1->Click();
        EXPECT_TRUE(mayLoad || driver.Answered() == 2) << name << ": no message";
        if (driver.Answered() == 2) {
            EXPECT_TRUE(message.contains(QLatin1String(name))) << name << ": " << message.toStdString();
            EXPECT_TRUE(Shown(Form1->Image1) == input) << name;
        } else {
            input = Shown(Form1->Image1);
        }
        EXPECT_TRUE(Shown(Form1->Image2) == result) << name;
    }
    Form1->Image1->Picture()->LoadFromFile(WriteTempFile("good.png", Encode(picture, "png")).toStdString());
    Form1->Button2->Click();
    EXPECT_TRUE(Shown(Form1->Image2) == result);
}

// WinMain runs the whole program: it makes its own main window each time.
// The grey values of the result pane, one a pixel.
std::vector<std::uint16_t> ResultValues()
{
    const std::vector<std::uint8_t> shown = Shown(Form1->Image2);
    std::vector<std::uint16_t> values;
    for (std::size_t i = 0; i < shown.size(); i += 3)
        values.push_back(shown[i]);
    return values;
}

GreyPicture ReadBack(const QString& path)
{
    return GreyPictureOfImage(DecodePictureImage(ReadPictureFileBytes(path), path));
}

TEST_F(Program, SavesTheResultInEveryFormat)
{
    struct Row {
        const char* typed;   // what the user types in the save dialog
        const char* saved;   // the file that must appear
    };
    const Row table[] = {
        {"result.png", "result.png"}, {"result.bmp", "result.bmp"}, {"result.pgm", "result.pgm"},
        {"result.ppm", "result.ppm"}, {"result.tif", "result.tif"}, {"result", "result.png"},
    };
    Load(AnalysedPicture(97, 61, 5), "save.png");
    Form1->Button2->Click();
    const QString writable = WritableFormatFilters().join(' ');
    for (const Row& row : table) {
        const QString saved = QString::fromLatin1(row.saved);
        if (!writable.contains(QStringLiteral("*.") + QFileInfo(saved).suffix()))
            continue;
        QTemporaryDir folder;
        ModalDriver save(ChooseFile(QDir(folder.path()).filePath(QString::fromLatin1(row.typed))));
        Form1->SaveResultAction->Execute();
        ASSERT_EQ(save.Answered(), 1) << row.typed;
        const GreyPicture back = ReadBack(QDir(folder.path()).filePath(saved));
        EXPECT_EQ(back.bitsPerValue, 8) << row.typed;
        EXPECT_EQ(back.width, 97) << row.typed;
        EXPECT_EQ(back.values, ResultValues()) << row.typed;
    }
}

TEST_F(Program, FailedSaveKeepsTheFileAndSaysWhy)
{
    struct Row {
        const char* name;
        const char* typed;
        bool writesOver;  // the dialog asks first
        bool diskFull;
        const char* reason;
    };
    const Row table[] = {
        {"FullDisk", "existing.png", true, true, "File too large"},  // the size limit that stands for a full disk
        {"UnknownExtension", "existing.gif", false, false, "extension names no format"},
    };
    Load(AnalysedPicture(200, 150, 6), "save.png");
    Form1->Button2->Click();
    for (const Row& row : table) {
        QTemporaryDir folder;
        const QString existing = QDir(folder.path()).filePath(QStringLiteral("existing.png"));
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("kept");
        file.close();
        QString message;
        std::vector<ModalDriver::Answer> answers = {ChooseFile(QDir(folder.path()).filePath(row.typed))};
        if (row.writesOver)
            answers.push_back([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click(); });
        answers.push_back(ReadMessage(message));
        {
            std::optional<FileSizeLimit> full;
            if (row.diskFull)
                full.emplace(100);
            ModalDriver driver(answers);
            Form1->SaveResultAction->Execute();
        }
        EXPECT_TRUE(message.contains(QString::fromLatin1(row.reason))) << row.name << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("existing."))) << row.name << ": " << message.toStdString();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("kept")) << row.name;
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"existing.png"}) << row.name;
    }
}

TEST_F(Program, CommandsSayWhenThereIsNothingToWorkOn)
{
    struct Row {
        const char* name;
        TAction* TForm1::*action;
        const char* message;
    };
    const Row table[] = {
        {"Save", &TForm1::SaveResultAction, "There is no result yet"},
        {"CopyResult", &TForm1::CopyResultAction, "There is no result yet"},
        {"CopyPicture", &TForm1::CopyPictureAction, "no picture to copy"},
    };
    for (const Row& row : table) {
        QString message;
        ModalDriver driver(ReadMessage(message));
        (Form1->*row.action)->Execute();
        EXPECT_TRUE(message.contains(QString::fromLatin1(row.message))) << row.name << ": " << message.toStdString();
    }
    EXPECT_FALSE(Form1->SaveFillMapAction->Enabled());
    Form1->Button2->Click();
    EXPECT_TRUE(Form1->SaveFillMapAction->Enabled());
}

TEST_F(Program, CopiesAndPastesThroughTheClipboard)
{
    const QImage picture = AnalysedPicture(80, 60, 7);
    Load(picture, "copied.png");
    Form1->Button2->Click();
    Form1->CopyResultAction->Execute();
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(copied.size(), QSize(80, 60));
    const std::vector<std::uint16_t> result = ResultValues();
    for (int i = 0; i < 80 * 60; ++i)
        ASSERT_EQ(qBlue(copied.pixel(i % 80, i / 80)), result[i]) << i;

    QImage pasted(33, 21, QImage::Format_RGB32);
    pasted.fill(qRgb(10, 20, 30));
    QGuiApplication::clipboard()->setImage(pasted);
    Form1->PasteAction->Execute();
    EXPECT_TRUE(Form1->Image1->AutoSize());
    EXPECT_EQ(Form1->Image1->Picture()->GetBitmap()->Width(), 33);
    EXPECT_EQ(Form1->Image1->Picture()->GetBitmap()->GetScanline(0)[0], 30);

    QGuiApplication::clipboard()->setText(QStringLiteral("not a picture"));
    QString message;
    ModalDriver driver(ReadMessage(message));
    Form1->PasteAction->Execute();
    EXPECT_TRUE(message.contains(QStringLiteral("no picture to paste"))) << message.toStdString();
    EXPECT_EQ(Form1->Image1->Picture()->GetBitmap()->Width(), 33);
}

// A file dragged onto the window and dropped, as the window system tells it:
// the drop goes to the widget that took the drag when it entered.
void Drop(const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form1->Widget(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form1->Widget(), &drop);
}

TEST_F(Program, DroppedFileOpensAsALoadDoes)
{
    Drop(WriteTempFile("dropped.png", Encode(PatternImage(70, 30), "png")));
    EXPECT_TRUE(Form1->Image1->AutoSize());
    EXPECT_EQ(Form1->Image1->Picture()->GetBitmap()->Width(), 70);

    QString message;
    ModalDriver driver(ReadMessage(message));
    Drop(WriteTempFile("dropped-damaged.png", Encode(PatternImage(50, 50), "png").left(90)));
    EXPECT_TRUE(message.contains("dropped-damaged.png")) << message.toStdString();
    EXPECT_EQ(Form1->Image1->Picture()->GetBitmap()->Width(), 70);
}

TEST_F(Program, FillMapShowsWhereEveryValueCameFrom)
{
    const QImage picture = AnalysedPicture(90, 70, 8);
    Load(picture, "mapped.png");
    Form1->Button2->Click();
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("map.png"));
    ModalDriver save(ChooseFile(path));
    Form1->SaveFillMapAction->Execute();
    const QImage map = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(map.size(), QSize(90, 70));
    const std::vector<std::uint16_t> result = ResultValues();
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 90; ++x) {
            const QRgb colour = map.pixel(x, y) & 0xFFFFFF;
            const auto* known = std::find(std::begin(FillMapColours), std::end(FillMapColours), colour);
            ASSERT_NE(known, std::end(FillMapColours)) << x << ", " << y;
            const auto source = static_cast<ValueSource>(known - std::begin(FillMapColours));
            const bool hole = qBlue(picture.pixel(x, y)) == 0;
            ASSERT_EQ(source == ValueSource::Kept, !hole) << x << ", " << y;
            ASSERT_EQ(source == ValueSource::LeftAtZero, hole && result[y * 90 + x] == 0) << x << ", " << y;
        }
}

// The sources that a saved fill map shows, one per pixel.
std::vector<ValueSource> SavedFillMap(int width, int height)
{
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("map.png"));
    ModalDriver save(ChooseFile(path));
    Form1->SaveFillMapAction->Execute();
    const QImage map = QImage(path).convertToFormat(QImage::Format_RGB32);
    std::vector<ValueSource> sources;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto* known = std::find(std::begin(FillMapColours), std::end(FillMapColours), map.pixel(x, y) & 0xFFFFFF);
            sources.push_back(static_cast<ValueSource>(known - std::begin(FillMapColours)));
        }
    return sources;
}

// Each choice of the result pane's rule menu fills with its rule, whether chosen
// before Button2 or while a result is shown; the mark follows the choice, and
// the fill map shows the rule of the result.
TEST_F(Program, FillRuleChoiceFillsTheResultWithThatRule)
{
    const struct {
        const char* name;
        TAction* TForm1::*choice;
        FillOptions options;
        ValueSource ruleSource;
    } rows[] = {
        {"rows and columns", &TForm1::RowsColumnsRuleAction, {}, ValueSource::FromLeft},
        {"nearest", &TForm1::NearestRuleAction, {.rule = FillRule::Nearest}, ValueSource::FromNearest},
        {"background, larger", &TForm1::BackgroundLargerRuleAction, {.rule = FillRule::Background},
         ValueSource::FromBackground},
        {"background, smaller", &TForm1::BackgroundSmallerRuleAction,
         {.rule = FillRule::Background, .far = FarSide::Smaller}, ValueSource::FromBackground},
    };
    TAction* TForm1::*const choices[] = {&TForm1::RowsColumnsRuleAction, &TForm1::NearestRuleAction,
                                         &TForm1::BackgroundLargerRuleAction, &TForm1::BackgroundSmallerRuleAction};
    EXPECT_TRUE(Form1->RowsColumnsRuleAction->Checked());
    QMenu* ruleMenu = nullptr;
    for (QAction* entry : Form1->Image2->PopupMenu()->Menu()->actions())
        if (entry->menu() && entry->text() == "Fill &Rule")
            ruleMenu = entry->menu();
    ASSERT_NE(ruleMenu, nullptr);
    ASSERT_EQ(ruleMenu->actions().size(), std::size(choices));
    for (std::size_t i = 0; i < std::size(choices); ++i)
        EXPECT_EQ(ruleMenu->actions()[i], (Form1->*choices[i])->Action());
    const QImage picture = AnalysedPicture(90, 70, 5);
    const std::vector<std::uint8_t> byDefault = ExpectedResult(picture);
    Load(picture, "ruled.png");
    for (const auto& row : rows) {
        const std::vector<std::uint8_t> expected = ExpectedResult(picture, row.options);
        EXPECT_TRUE(row.options.rule == FillRule::RowsColumns || expected != byDefault) << row.name;

        (Form1->*row.choice)->Execute();
        for (TAction* TForm1::*choice : choices)
            EXPECT_EQ((Form1->*choice)->Checked(), choice == row.choice) << row.name;
        Form1->Button2->Click();
        EXPECT_TRUE(Shown(Form1->Image2) == expected) << row.name << ", after Button2";
        const std::vector<ValueSource> sources = SavedFillMap(90, 70);
        EXPECT_NE(std::find(sources.begin(), sources.end(), row.ruleSource), sources.end()) << row.name;

        Form1->RowsColumnsRuleAction->Execute();
        EXPECT_TRUE(Shown(Form1->Image2) == byDefault) << row.name << ", back to the default";
        (Form1->*row.choice)->Execute();
        EXPECT_TRUE(Shown(Form1->Image2) == expected) << row.name << ", chosen while shown";
    }
    // A picture loaded but not yet analysed stays out of the result.
    Load(AnalysedPicture(90, 70, 9), "unanalysed.png");
    Form1->NearestRuleAction->Execute();
    EXPECT_TRUE(Shown(Form1->Image2) == ExpectedResult(picture, {.rule = FillRule::Nearest}));
}

TEST_F(Program, ButtonsAndPanesHaveHintsAndNames)
{
    for (const TControl* control : {static_cast<TControl*>(Form1->Button1), static_cast<TControl*>(Form1->Button2),
                                    static_cast<TControl*>(Form1->Image1), static_cast<TControl*>(Form1->Image2)}) {
        EXPECT_FALSE(control->Widget()->toolTip().isEmpty()) << control->Name;
        EXPECT_FALSE(control->Widget()->accessibleName().isEmpty()) << control->Name;
        EXPECT_FALSE(control->Widget()->accessibleName().startsWith("Button")) << control->Name;
    }
    EXPECT_TRUE(Form1->Button1->Widget()->toolTip().contains("Ctrl+O"));
    EXPECT_EQ(Form1->Button1->Caption(), "Button1");
}

TEST(Translations, QtTextsComeInTheUsersLanguage)
{
    QTranslator german;
    ASSERT_TRUE(LoadQtTranslations(QLocale(QLocale::German, QLocale::Germany), german));
    EXPECT_EQ(german.translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
}

TEST(CommandLine, OptionsAnswerWithoutAWindow)
{
    struct Row {
        const char* name;
        QStringList arguments;
        int status;
        const char* output;  // on standard output for 0, standard error otherwise
    };
    const Row table[] = {
        {"Help", {"--help"}, 0, "Usage: darkfill [options] [FILE]"},
        {"Version", {"--version"}, 0, "darkfill 1.0"},
        {"UnknownOption", {"--colour"}, 2, "Unknown option 'colour'"},
        {"TwoFiles", {"a.png", "b.png"}, 2, "Only one picture"},
    };
    for (const Row& row : table) {
        QProcess process;
        // No display: an answer that needed a window would fail.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(DARKFILL_PROGRAM), row.arguments);
        ASSERT_TRUE(process.waitForFinished(30000)) << row.name;
        EXPECT_EQ(process.exitCode(), row.status) << row.name;
        const QString output = QString::fromUtf8(row.status == 0 ? process.readAllStandardOutput()
                                                                  : process.readAllStandardError());
        EXPECT_TRUE(output.contains(QString::fromLatin1(row.output))) << row.name << ": " << output.toStdString();
    }
}

class ProgramRun : public testing::Test
{
protected:
    void TearDown() override { Application->DestroyComponents(); }
};

TEST_F(ProgramRun, ClosingTheWindowEndsWithZero)
{
    QTimer::singleShot(50, [] { Form1->Close(); });
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_NE(Form1, nullptr);
}

TEST_F(ProgramRun, FileOnTheCommandLineOpensAtStart)
{
    struct Row {
        const char* name;
        QString file;
        int width;  // of the left pane's picture once open; 0: none, and a message
    };
    const Row table[] = {
        {"Readable", WriteTempFile("start.png", Encode(PatternImage(41, 17), "png")), 41},
        {"Missing", QStringLiteral("/no/such/picture.png"), 0},
    };
    for (const Row& row : table) {
        FileToOpenAtStart() = row.file.toStdString();
        QString message;
        int width = -1;
        ModalDriver driver(ReadMessage(message));
        QTimer::singleShot(300, [&] {
            width = Form1->Image1->Picture()->GetBitmap()->Width();
            Form1->Close();
        });
        EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0) << row.name;
        FileToOpenAtStart().clear();
        Application->DestroyComponents();
        EXPECT_EQ(width, row.width) << row.name;
        EXPECT_EQ(message.contains(QStringLiteral("does not exist")), row.width == 0) << row.name;
    }
}

TEST_F(ProgramRun, FormThatCannotBeLoadedIsShownAndEndsWithZero)
{
    ASSERT_TRUE(LookupResource("TFORM1"));
    QString message;
    {
        const ResourceReplacement damaged("TFORM1", {'T', 'P', 'F', '0', 'O', 3});
        ModalDriver driver(ReadMessage(message));
        EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    }
    EXPECT_TRUE(LookupResource("TFORM1"));
    EXPECT_TRUE(message.startsWith("The form description TFORM1 is damaged")) << message.toStdString();
}

TEST_F(ProgramRun, OtherThrownObjectIsShownWithAnEmptyMessageAndEndsWithZero)
{
    QString message = QStringLiteral("not shown");
    ModalDriver driver([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        message = box ? box->text() : QStringLiteral("not a message box");
        modal->close();
    });
    // Prepared first, so that the failure meets the window and nothing that
    // preparing the application allocates (reading the icon, say).
    Application->Initialize();
    failingAllocationSize = sizeof(TForm1);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    failingAllocationSize = 0;
    EXPECT_EQ(driver.Answered(), 1);
    EXPECT_EQ(message, QString());
}

}  // namespace
