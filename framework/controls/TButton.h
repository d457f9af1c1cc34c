#pragma once

#include "framework/controls/TControl.h"

// A push button. A click, the Space key on the focused button included, calls
// OnClick, through DispatchEvent; the Tab key moves the focus on in TabOrder.
class TButton : public TControl
{
public:
    explicit TButton(TComponent* owner);

    AnsiString Caption() const;
    void SetCaption(const AnsiString& caption);

    TNotifyEvent OnClick;

    // Runs OnClick as a click does; an exception that leaves the handler is shown
    // to the user and goes no further.
    void Click();

    void SetProperty(const std::string& name, const FormValue& value) override;
    void SetEvent(const std::string& name, TNotifyEvent handler) override;

protected:
    bool TakesFocus() const override { return true; }
    const char* ClassName() const override { return "TButton"; }
};
