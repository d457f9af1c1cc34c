#include "framework/application/TApplication.h"
#include "framework/controls/TButton.h"
#include "framework/controls/TForm.h"
#include "framework/controls/TFormClass.h"
#include "framework/controls/TImage.h"
#include "framework/controls/TOpenPictureDialog.h"
#include "framework/core/Exception.h"
#include "framework/core/Resources.h"
#include "framework/forms/FormStream.h"
#include "framework/forms/FormText.h"
#include "framework/pictures/TBitmap.h"
#include "framework/pictures/TPicture.h"
#include "testing/pictures/TestPictures.h"
#include "testing/windows/ModalDriver.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <list>

namespace {

class TTestForm : public TForm
{
public:
    // published:
    TImage* LeftPane;
    TImage* RightPane;
    TButton* First;
    TButton* Second;
    TOpenPictureDialog* Dialog;
    void FirstClick(TObject* Sender);
    void SecondClick(TObject* Sender);

    explicit TTestForm(TComponent* Owner);
    TTestForm(TComponent* Owner, const TFormClass& formClass);

    std::vector<std::string> clicks;
    std::function<void()> firstAction;
};

const TFormClass& TestFormClass(const std::string& className = "TTestForm")
{
    static std::map<std::string, TFormClass> classes;
    auto [found, added] = classes.try_emplace(className, className);
    if (added)
        found->second.Field("LeftPane", &TTestForm::LeftPane)
            .Field("RightPane", &TTestForm::RightPane)
            .Field("First", &TTestForm::First)
            .Field("Second", &TTestForm::Second)
            .Field("Dialog", &TTestForm::Dialog)
            .Handler("FirstClick", &TTestForm::FirstClick)
            .Handler("SecondClick", &TTestForm::SecondClick);
    return found->second;
}

TTestForm::TTestForm(TComponent* Owner) : TForm(Owner, TestFormClass())
{
}

TTestForm::TTestForm(TComponent* Owner, const TFormClass& formClass) : TForm(Owner, formClass)
{
}

void TTestForm::FirstClick(TObject* Sender)
{
    clicks.push_back(Sender == First ? "First" : "?");
    if (firstAction)
        firstAction();
}

void TTestForm::SecondClick(TObject*)
{
    clicks.push_back("Second");
}

// A form made through the application object, released at the end of the test.
class Form : public testing::Test
{
protected:
    void SetUp() override
    {
        Application->Initialize();
        Application->CreateForm(&form);
    }
    void TearDown() override { delete form; }

    TTestForm* form = nullptr;
};

QRect Bounds(const TControl* c)
{
    return {c->Left(), c->Top(), c->Width(), c->Height()};
}

TEST_F(Form, IsBuiltFromItsDescription)
{
    EXPECT_EQ(Application->MainForm(), form);
    EXPECT_EQ(form->Name, "TestForm");
    EXPECT_EQ(form->Caption(), "Test window");
    EXPECT_EQ(form->ClientWidth(), 400);
    EXPECT_EQ(form->ClientHeight(), 300);
    EXPECT_EQ(form->Widget()->pos(), QPoint(50, 60));
    EXPECT_EQ(form->Widget()->font().pixelSize(), 11);
    EXPECT_EQ(form->Widget()->palette().color(QPalette::Window), form->Widget()->palette().color(QPalette::Button));

    const std::pair<const char*, TComponent*> fields[] = {
        {"LeftPane", form->LeftPane}, {"RightPane", form->RightPane}, {"First", form->First},
        {"Second", form->Second},     {"Dialog", form->Dialog}};
    for (const auto& [name, component] : fields) {
        ASSERT_NE(component, nullptr) << name;
        EXPECT_EQ(component->Name, name);
        EXPECT_EQ(component->Owner(), form) << name;
    }
    EXPECT_EQ(Bounds(form->LeftPane), QRect(0, 0, 60, 300));
    EXPECT_EQ(Bounds(form->RightPane), QRect(330, 0, 70, 300));
    EXPECT_EQ(Bounds(form->First), QRect(100, 250, 75, 25));
    EXPECT_EQ(form->First->Caption(), "First");
    EXPECT_FALSE(form->LeftPane->AutoSize());
    EXPECT_TRUE(form->LeftPane->Picture()->GetBitmap()->Empty());
}

TEST_F(Form, ButtonsCallTheirHandlersByName)
{
    QTest::mouseClick(form->Second->Widget(), Qt::LeftButton);
    form->First->Click();
    EXPECT_EQ(form->clicks, (std::vector<std::string>{"Second", "First"}));
}

TEST_F(Form, AlignedPanesFollowResizeAndAutoSize)
{
    struct Row {
        const char* name;
        std::function<void()> change;
        QRect left;
        QRect right;
    };
    TBitmap wide;
    wide.SetSize(150, 40);
    form->Show();
    const Row table[] = {
        {"Resized", [&] { form->Widget()->resize(500, 320); }, {0, 0, 60, 320}, {430, 0, 70, 320}},
        {"AutoSizeWithoutPicture", [&] { form->LeftPane->SetAutoSize(true); }, {0, 0, 60, 320}, {430, 0, 70, 320}},
        {"PictureAutoSized", [&] { form->LeftPane->Picture()->Assign(&wide); }, {0, 0, 150, 320},
         {430, 0, 70, 320}},
        {"NotAutoSized", [&] { form->RightPane->Picture()->Assign(&wide); }, {0, 0, 150, 320},
         {430, 0, 70, 320}},
        {"ResizedAgain", [&] { form->Widget()->resize(300, 290); }, {0, 0, 150, 290}, {230, 0, 70, 290}},
    };
    for (const Row& row : table) {
        row.change();
        EXPECT_EQ(Bounds(form->LeftPane), row.left) << row.name;
        EXPECT_EQ(Bounds(form->RightPane), row.right) << row.name;
        EXPECT_EQ(form->LeftPane->Widget()->geometry(), row.left) << row.name;
    }
}

TEST_F(Form, ButtonsLieAbovePanesAndTabFollowsTabOrder)
{
    TBitmap huge;
    huge.SetSize(400, 300);
    form->LeftPane->SetAutoSize(true);
    form->LeftPane->Picture()->Assign(&huge);
    EXPECT_EQ(form->Widget()->childAt(110, 260), form->First->Widget());

    form->Show();
    QApplication::setActiveWindow(form->Widget());
    form->Second->Widget()->setFocus();
    QTest::keyClick(form->Second->Widget(), Qt::Key_Tab);
    EXPECT_TRUE(form->First->Widget()->hasFocus());
    QTest::keyClick(form->First->Widget(), Qt::Key_Space);
    EXPECT_EQ(form->clicks, (std::vector<std::string>{"First"}));
}

TEST_F(Form, HandlerFailuresAreShownAndTheWindowGoesOn)
{
    struct Row {
        const char* name;
        std::function<void()> fail;
        QString shown;
    };
    const Row table[] = {
        {"Exception", [] { throw Exception("The thing failed."); }, "The thing failed."},
        {"StandardException", [] { throw std::runtime_error("runtime"); }, "runtime"},
        {"AnythingElse", [] { throw 42; }, "The command failed for a reason that it did not tell."},
    };
    for (const Row& row : table) {
        form->firstAction = row.fail;
        QString text;
        ModalDriver driver([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            text = box ? box->text() : QStringLiteral("not a message box");
            modal->close();
        });
        form->First->Click();
        EXPECT_EQ(driver.Answered(), 1) << row.name;
        EXPECT_EQ(text, row.shown) << row.name;
    }
    form->firstAction = nullptr;
    form->First->Click();
    EXPECT_EQ(form->clicks.size(), 4u);
}

// Runs at scale factors 1 and 2 (CTest runs it again with QT_SCALE_FACTOR=2), on
// the offscreen platform's small screen.
TEST_F(Form, StaysOnTheScreenWithItsButtonsVisible)
{
    struct Row {
        const char* name;
        int left;
        int top;
    };
    const Row table[] = {{"AsDescribed", 50, 60}, {"PastTheRightEdge", 5000, 60}, {"PastTheBottom", 50, 5000},
                         {"AboveAndLeft", -300, -200}};
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const Row& row : table) {
        form->SetBounds(row.left, row.top, form->Width(), form->Height());
        form->Show();
        const QPoint placed = form->Widget()->pos();
        // Along each direction: at the area's start where the window is larger,
        // wholly inside it otherwise, and where it was if it fitted there.
        const auto check = [&](const char* direction, int start, int size, int areaStart, int areaSize, int asked) {
            if (size > areaSize) {
                EXPECT_EQ(start, areaStart) << row.name << " " << direction;
                return;
            }
            EXPECT_TRUE(start >= areaStart && start + size <= areaStart + areaSize) << row.name << " " << direction;
            if (asked >= areaStart && asked + size <= areaStart + areaSize) {
                EXPECT_EQ(start, asked) << row.name << " " << direction;
            }
        };
        check("across", placed.x(), form->Width(), area.x(), area.width(), row.left);
        check("down", placed.y(), form->Height(), area.y(), area.height(), row.top);
        form->Widget()->hide();
    }
    form->Widget()->resize(10, 10);
    for (const TButton* button : {form->First, form->Second})
        EXPECT_TRUE(form->Widget()->rect().contains(button->Widget()->geometry())) << button->Name;
}

TEST_F(Form, DialogReturnsTheConfirmedFile)
{
    const QString picture = WriteTempFile("chosen.png", Encode(PatternImage(40, 20), "png"));
    const QString notPicture = WriteTempFile("chosen.txt", "text");
    struct Row {
        const char* name;
        bool accept;
        bool expected;
    };
    for (const Row& row : {Row{"Cancelled", false, false}, Row{"Confirmed", true, true}}) {
        QString title;
        QStringList filters;
        QString previewOfText;
        QSize previewSize;
        ModalDriver driver([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            auto* preview = dialog->findChild<QLabel*>("preview");
            ASSERT_NE(preview, nullptr);
            emit dialog->currentChanged(notPicture);
            previewOfText = preview->text();
            emit dialog->currentChanged(picture);
            previewSize = preview->pixmap().size();
            if (row.accept) {
                // Typed as a user would: the file list fills in only later.
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(picture);
                static_cast<QDialog*>(dialog)->accept();
            } else {
                dialog->reject();
            }
        });
        EXPECT_EQ(form->Dialog->Execute(), row.expected) << row.name;
        EXPECT_EQ(title, "Open") << row.name;
        ASSERT_GE(filters.size(), 3) << row.name;
        EXPECT_TRUE(filters.first().startsWith("All pictures (*.bmp *.png *.jpg")) << row.name;
        EXPECT_EQ(filters.last(), "All files (*)") << row.name;
        EXPECT_EQ(previewOfText, "No preview") << row.name;
        EXPECT_EQ(previewSize, QSize(160, 80)) << row.name;
    }
    EXPECT_EQ(form->Dialog->GetFileName(), picture.toStdString());
}

// Descriptions that must not load, registered under their own names at run time.
struct BrokenForm {
    const char* name;
    const char* className;
    std::string description;
    const char* reason;
};

TEST(BrokenForms, RaiseExceptionNamingTheItem)
{
    const std::string good = "F : TBROKEN {\n First : TButton { }\n}";
    const BrokenForm table[] = {
        {"Missing", "TMissingForm", "", "TMISSINGFORM is missing"},
        {"OtherClass", "TOtherClass", "F : TSomething { }", "describes a TSomething"},
        {"UnknownClass", "TUnknownClass", "F : TUnknownClass { First : TSlider { } }", "class TSlider is unknown"},
        {"UnknownProperty", "TUnknownProperty", "F : TUnknownProperty { First : TButton { Colour = 3 } }",
         "object First: A TButton has no property Colour"},
        {"UnknownField", "TUnknownField", "F : TUnknownField { Third : TButton { } }", "no published field Third"},
        {"FieldOfOtherClass", "TFieldClass", "F : TFieldClass { First : TImage { } }", "another class"},
        {"UnknownHandler", "TUnknownHandler",
         "F : TUnknownHandler { First : TButton { OnClick = ThirdClick } }", "no published handler ThirdClick"},
        {"WrongType", "TWrongType", "F : TWrongType { Caption = 5 }", "Caption needs a text"},
        {"FormProperty", "TFormProperty", "F : TFormProperty { Colour = clRed }", "TForm has no property Colour"},
        {"Damaged", "TDamaged", "", "TDAMAGED is damaged"},
    };
    std::list<ResourceReplacement> replacements;
    Application->Initialize();
    for (const BrokenForm& row : table) {
        const TFormClass& formClass = TestFormClass(row.className);
        if (!row.description.empty())
            replacements.emplace_back(formClass.ResourceName(), WriteFormStream(ParseFormText(row.description)));
        else if (std::string(row.name) == "Damaged")
            replacements.emplace_back(formClass.ResourceName(), std::vector<std::uint8_t>{'T', 'P', 'F', '0', 'O'});
        try {
            TTestForm form(nullptr, formClass);
            ADD_FAILURE() << row.name << ": loaded";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message.find(row.reason), std::string::npos) << row.name << ": " << e.Message;
        }
    }
}

}  // namespace
