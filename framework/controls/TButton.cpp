#include "framework/controls/TButton.h"

#include "framework/controls/EventDispatch.h"
#include "framework/core/ComponentClasses.h"
#include "framework/forms/FormModel.h"

#include <QPushButton>

namespace {

const ComponentClassRegistration Registration("TButton", [](TComponent* owner) -> TComponent* {
    return new TButton(owner);
});

}  // namespace

TButton::TButton(TComponent* owner) : TControl(owner, new QPushButton)
{
    QObject::connect(static_cast<QPushButton*>(Widget()), &QPushButton::clicked, [this] { Click(); });
}

AnsiString TButton::Caption() const
{
    return static_cast<QPushButton*>(Widget())->text().toStdString();
}

void TButton::SetCaption(const AnsiString& caption)
{
    static_cast<QPushButton*>(Widget())->setText(QString::fromStdString(caption));
}

void TButton::Click()
{
    if (OnClick)
        DispatchEvent([this] { OnClick(this); });
}

void TButton::SetProperty(const std::string& name, const FormValue& value)
{
    if (name == "Caption")
        SetCaption(AsText(value, name));
    else
        TControl::SetProperty(name, value);
}

void TButton::SetEvent(const std::string& name, TNotifyEvent handler)
{
    if (name == "OnClick")
        OnClick = std::move(handler);
    else
        TControl::SetEvent(name, std::move(handler));
}
