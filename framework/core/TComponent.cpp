#include "framework/core/TComponent.h"

#include "framework/core/Exception.h"

#include <vector>

TComponent::TComponent(TComponent* owner) : owner_(owner)
{
    if (owner_)
        owner_->components_.push_back(this);
}

TComponent::~TComponent()
{
    DestroyComponents();
    if (owner_) {
        std::erase(owner_->components_, this);
        owner_->ComponentRemoved(this);
    }
}

void TComponent::DestroyComponents()
{
    while (!components_.empty())
        delete components_.back();
}

void TComponent::SetProperty(const std::string& name, const FormValue&)
{
    FailUnknown("property", name);
}

void TComponent::SetEvent(const std::string& name, TNotifyEvent)
{
    FailUnknown("event", name);
}

void TComponent::FailUnknown(const char* what, const std::string& name) const
{
    throw Exception(std::string("A ") + ClassName() + " has no " + what + " " + name + ".");
}
