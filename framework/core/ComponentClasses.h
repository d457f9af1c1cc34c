#pragma once

#include <string>

class TComponent;

// The component classes that a form description may name, by class name. Each
// class registers itself where its code is, so that the form loader needs to know
// none of them; a class is known once its code is linked into the program, which
// using the class anywhere in the program does.

using ComponentFactory = TComponent* (*)(TComponent* owner);

// Registers the class under its name; a later registration of the name wins.
class ComponentClassRegistration
{
public:
    ComponentClassRegistration(const char* className, ComponentFactory factory);
};

// A new component of the named class owned by owner; raises Exception naming the
// class if none of that name is registered.
TComponent* CreateComponent(const std::string& className, TComponent* owner);
