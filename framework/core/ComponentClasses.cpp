#include "framework/core/ComponentClasses.h"

#include "framework/core/Exception.h"

#include <map>

namespace {

std::map<std::string, ComponentFactory>& Classes()
{
    static std::map<std::string, ComponentFactory> classes;
    return classes;
}

}  // namespace

ComponentClassRegistration::ComponentClassRegistration(const char* className, ComponentFactory factory)
{
    Classes()[className] = factory;
}

TComponent* CreateComponent(const std::string& className, TComponent* owner)
{
    const auto found = Classes().find(className);
    if (found == Classes().end())
        throw Exception("the class " + className + " is unknown.");
    return found->second(owner);
}
