#pragma once

#include "framework/core/AnsiString.h"
#include "framework/core/TObject.h"

#include <functional>
#include <string>
#include <vector>

struct FormValue;

using TNotifyEvent = std::function<void(TObject* Sender)>;

// A named part of a window. Its owner owns it: destroying a component destroys the
// components it owns, the last created first.
class TComponent : public TObject
{
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    AnsiString Name;

    TComponent* Owner() const { return owner_; }
    void DestroyComponents();

    // Set from a form description; raise Exception for a name the class lacks.
    virtual void SetProperty(const std::string& name, const FormValue& value);
    virtual void SetEvent(const std::string& name, TNotifyEvent handler);

protected:
    // Told when a component that this one owns is being destroyed.
    virtual void ComponentRemoved(TComponent*) {}
    [[noreturn]] void FailUnknown(const char* what, const std::string& name) const;
    virtual const char* ClassName() const { return "TComponent"; }

private:
    TComponent* owner_;
    std::vector<TComponent*> components_;
};
