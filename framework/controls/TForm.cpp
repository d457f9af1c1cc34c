#include "framework/controls/TForm.h"

#include "framework/controls/TFormClass.h"
#include "framework/core/ComponentClasses.h"
#include "framework/core/Exception.h"
#include "framework/core/Resources.h"
#include "framework/forms/FormStream.h"

#include "framework/controls/EventDispatch.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <QFontDatabase>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

std::vector<AnsiString> LocalFiles(const QMimeData* data)
{
    std::vector<AnsiString> files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files.push_back(url.toLocalFile().toStdString());
    return files;
}

// The window of a form: the client area, with the frame that the platform adds.
class FormWindow : public QWidget
{
public:
    explicit FormWindow(TForm& form) : form_(form) { setAcceptDrops(true); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (form_.OnDropFiles && !LocalFiles(event->mimeData()).empty())
            event->acceptProposedAction();
    }
    void dropEvent(QDropEvent* event) override
    {
        const std::vector<AnsiString> files = LocalFiles(event->mimeData());
        if (!form_.OnDropFiles || files.empty())
            return;
        event->acceptProposedAction();
        DispatchEvent([this, files] { form_.OnDropFiles(files); });
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        form_.AlignControls();
    }
    void closeEvent(QCloseEvent* event) override
    {
        QWidget::closeEvent(event);
        if (event->isAccepted() && form_.OnClosed)
            form_.OnClosed();
    }

private:
    TForm& form_;
};

// The platform's colours by name; a whole number is a colour 0x00BBGGRR.
QColor ColourOf(const FormValue& value, const std::string& property, const QPalette& palette)
{
    if (value.kind == FormValue::Integer) {
        const std::uint32_t c = static_cast<std::uint32_t>(value.integer);
        return QColor(c & 255, (c >> 8) & 255, (c >> 16) & 255);
    }
    const std::string& name = AsIdentifier(value, property);
    const std::map<std::string, QColor> named = {
        {"clBtnFace", palette.color(QPalette::Button)},
        {"clWindow", palette.color(QPalette::Base)},
        {"clWindowText", palette.color(QPalette::WindowText)},
        {"clBtnText", palette.color(QPalette::ButtonText)},
        {"clBlack", Qt::black},
        {"clWhite", Qt::white},
    };
    const auto found = named.find(name);
    if (found == named.end())
        throw Exception("the colour " + name + " is unknown.");
    return found->second;
}

}  // namespace

TForm::TForm(TComponent* owner, const TFormClass& formClass) : TControl(owner, new FormWindow(*this))
{
    Widget()->setAutoFillBackground(true);
    Load(formClass);
}

TForm::~TForm()
{
    DestroyComponents();
}

void TForm::Load(const TFormClass& formClass)
{
    const std::string resource = formClass.ResourceName();
    const auto stream = LookupResource(resource);
    if (!stream)
        throw Exception("The form description " + resource + " is missing from the program.");
    const FormObject root = ReadFormStream(stream->data(), stream->size(), resource);
    try {
        if (root.className != formClass.ClassName())
            throw Exception("it describes a " + root.className + ", not a " + formClass.ClassName() + ".");
        Name = root.name;
        for (const FormProperty& property : root.properties)
            SetProperty(property.name, property.value);
        for (const FormObject& child : root.children)
            CreateChild(child, formClass);
    } catch (const Exception& e) {
        throw Exception("The form description " + resource + " cannot be loaded: " + e.Message);
    }
    OrderTabStops();
    KeepTabStopsVisible();
    AlignControls();
}

void TForm::CreateChild(const FormObject& child, const TFormClass& formClass)
{
    try {
        TComponent* component = CreateComponent(child.className, this);
        component->Name = child.name;
        if (auto* control = dynamic_cast<TControl*>(component))
            control->SetParent(this);
        for (const FormProperty& property : child.properties) {
            if (property.name.starts_with("On"))
                component->SetEvent(property.name,
                                    formClass.BindHandler(*this, AsIdentifier(property.value, property.name)));
            else
                component->SetProperty(property.name, property.value);
        }
        formClass.FillField(*this, child.name, component);
    } catch (const Exception& e) {
        throw Exception("object " + child.name + ": " + e.Message);
    }
}

AnsiString TForm::Caption() const
{
    return Widget()->windowTitle().toStdString();
}

void TForm::SetCaption(const AnsiString& caption)
{
    Widget()->setWindowTitle(QString::fromStdString(caption));
}

int TForm::ClientWidth() const
{
    return Widget()->width();
}

int TForm::ClientHeight() const
{
    return Widget()->height();
}

void TForm::Show()
{
    KeepOnScreen();
    Widget()->show();
}

void TForm::KeepOnScreen()
{
    const QPoint place(Left(), Top());
    QScreen* screen = QGuiApplication::screenAt(place);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // In the screen's own pixels at the current scale factor, as the window's.
    const QRect area = screen->availableGeometry();
    const int x = std::max(std::min(Left(), area.x() + area.width() - Width()), area.x());
    const int y = std::max(std::min(Top(), area.y() + area.height() - Height()), area.y());
    Widget()->move(x, y);
}

void TForm::KeepTabStopsVisible()
{
    int right = 0;
    int bottom = 0;
    for (const TControl* control : TabStops()) {
        right = std::max(right, control->Left() + control->Width());
        bottom = std::max(bottom, control->Top() + control->Height());
    }
    constexpr int Margin = 8;
    if (right > 0)
        Widget()->setMinimumSize(right + Margin, bottom + Margin);
}

void TForm::Close()
{
    Widget()->close();
}

void TForm::ApplyBounds()
{
    Widget()->move(Left(), Top());
    Widget()->resize(std::max(Width() - FormFrameWidth, 0), std::max(Height() - FormFrameHeight, 0));
}

void TForm::SetProperty(const std::string& name, const FormValue& value)
{
    if (name == "Caption") {
        SetCaption(AsText(value, name));
    } else if (name == "Color") {
        QPalette palette = Widget()->palette();
        palette.setColor(QPalette::Window, ColourOf(value, name, palette));
        Widget()->setPalette(palette);
    } else if (name.starts_with("Font.")) {
        SetFont(name, value);
    } else if (name == "OldCreateOrder") {
        AsBoolean(value, name);
    } else if (name == "PixelsPerInch" || name == "TextHeight") {
        AsInteger(value, name);
    } else {
        TControl::SetProperty(name, value);
    }
}

void TForm::SetFont(const std::string& name, const FormValue& value)
{
    QFont font = Widget()->font();
    if (name == "Font.Height") {
        // The height's sign only tells how it was measured; its size is kept sane.
        const long long height = std::llabs(static_cast<long long>(AsInteger(value, name)));
        font.setPixelSize(static_cast<int>(std::clamp(height, 1LL, 1000LL)));
    } else if (name == "Font.Name") {
        const QString family = QString::fromStdString(AsText(value, name));
        font.setStyleHint(QFont::SansSerif);
        font.setFamilies({QFontDatabase::hasFamily(family) ? family : QStringLiteral("sans-serif")});
    } else if (name == "Font.Color") {
        QPalette palette = Widget()->palette();
        palette.setColor(QPalette::WindowText, ColourOf(value, name, palette));
        Widget()->setPalette(palette);
    } else if (name == "Font.Style") {
        if (value.kind != FormValue::Set)
            throw Exception("The property " + name + " needs a set.");
        font.setBold(false);
        font.setItalic(false);
        font.setUnderline(false);
        font.setStrikeOut(false);
        for (const std::string& style : value.items) {
            if (style == "fsBold")
                font.setBold(true);
            else if (style == "fsItalic")
                font.setItalic(true);
            else if (style == "fsUnderline")
                font.setUnderline(true);
            else if (style == "fsStrikeOut")
                font.setStrikeOut(true);
            else
                throw Exception("the font style " + style + " is unknown.");
        }
    } else if (name == "Font.Charset") {
        AsIdentifier(value, name);
    } else {
        TControl::SetProperty(name, value);
    }
    Widget()->setFont(font);
}
