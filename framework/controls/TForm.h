#pragma once

#include "framework/controls/TControl.h"

#include <functional>
#include <vector>

class TFormClass;
struct FormObject;

// A top-level window built from its form description. Its Width and Height are
// the outer size: the client area is 8 pixels narrower and 34 pixels lower.
//
// A form class passes its published table to the constructor, which loads the
// description named after the class, creates the components it lists, sets their
// properties, fills the published fields and binds the handlers by name. The
// published fields are written while the form is being constructed, so they must
// not have default member initialisers.
class TForm : public TControl
{
public:
    TForm(TComponent* owner, const TFormClass& formClass);
    ~TForm() override;

    AnsiString Caption() const;
    void SetCaption(const AnsiString& caption);
    int ClientWidth() const;
    int ClientHeight() const;

    void Show();
    void Close();

    // Called once the window has been closed.
    std::function<void()> OnClosed;

    // Called, through the event dispatcher, with the local files dropped on the
    // window; the window takes dropped files while it is set.
    std::function<void(const std::vector<AnsiString>& files)> OnDropFiles;

    void SetProperty(const std::string& name, const FormValue& value) override;

protected:
    void ApplyBounds() override;
    // Where the window at its Left and Top would not lie wholly on the screen's
    // available area (at the current scale factor), it is moved so that it does;
    // to the area's top-left where it is larger.
    void KeepOnScreen();
    // The window does not shrink below the controls that take the focus.
    void KeepTabStopsVisible();
    const char* ClassName() const override { return "TForm"; }

private:
    void Load(const TFormClass& formClass);
    void CreateChild(const FormObject& child, const TFormClass& formClass);
    void SetFont(const std::string& name, const FormValue& value);
};

// The frame that the platform adds round a form's client area.
constexpr int FormFrameWidth = 8;
constexpr int FormFrameHeight = 34;
