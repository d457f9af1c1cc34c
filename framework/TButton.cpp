#include "TButton.h"

#include "FormStream.h"
#include "TApplication.h"

#include <QPushButton>

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
        Application->Dispatch([this] { OnClick(this); });
}

void TButton::SetProperty(const std::string& name, const FormValue& value)
{
    if (name == "Caption")
        SetCaption(AsText(value, name));
    else if (name == "TabOrder")
        SetTabOrder(AsInteger(value, name));
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
