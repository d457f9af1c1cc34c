#pragma once

#include "framework/core/Exception.h"
#include "framework/core/TComponent.h"

#include <cctype>
#include <functional>
#include <map>
#include <string>

class TForm;

// What a form class publishes to its form description, by name: its component
// fields and its event handlers. C++ has no run-time reflection, so each form
// class lists them once in a table of this kind, which the form loader uses.
class TFormClass
{
public:
    explicit TFormClass(std::string className) : className_(std::move(className)) {}

    template <class Form, class Component>
    TFormClass& Field(const std::string& name, Component* Form::*member)
    {
        fields_[name] = [name, member](TForm& form, TComponent* component) {
            auto* typed = dynamic_cast<Component*>(component);
            if (!typed)
                throw Exception("The field " + name + " has another class than the component of that name.");
            static_cast<Form&>(form).*member = typed;
        };
        return *this;
    }

    template <class Form>
    TFormClass& Handler(const std::string& name, void (Form::*handler)(TObject*))
    {
        handlers_[name] = [handler](TForm& form) -> TNotifyEvent {
            return [&form, handler](TObject* sender) { (static_cast<Form&>(form).*handler)(sender); };
        };
        return *this;
    }

    const std::string& ClassName() const { return className_; }

    // The form description of the class is the resource named after it in capitals.
    std::string ResourceName() const
    {
        std::string name = className_;
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }

    // Fills the field of that name with component; raises Exception if there is none.
    void FillField(TForm& form, const std::string& name, TComponent* component) const
    {
        const auto found = fields_.find(name);
        if (found == fields_.end())
            throw Exception(className_ + " has no published field " + name + ".");
        found->second(form, component);
    }

    // The handler of that name bound to form; raises Exception if there is none.
    TNotifyEvent BindHandler(TForm& form, const std::string& name) const
    {
        const auto found = handlers_.find(name);
        if (found == handlers_.end())
            throw Exception(className_ + " has no published handler " + name + ".");
        return found->second(form);
    }

private:
    std::string className_;
    std::map<std::string, std::function<void(TForm&, TComponent*)>> fields_;
    std::map<std::string, std::function<TNotifyEvent(TForm&)>> handlers_;
};
