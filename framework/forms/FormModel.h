#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A form description: the window and its components, each with its class, its
// name and its property values, as the form loader reads it.

struct FormValue {
    enum Kind { Integer, Text, Identifier, False, True, Set };
    Kind kind = Integer;
    std::int32_t integer = 0;
    std::string text;                // Text and Identifier
    std::vector<std::string> items;  // Set

    bool operator==(const FormValue&) const = default;
};

struct FormProperty {
    std::string name;  // dotted for nested values: "Font.Height"
    FormValue value;

    bool operator==(const FormProperty&) const = default;
};

struct FormObject {
    std::string className;
    std::string name;
    std::vector<FormProperty> properties;
    std::vector<FormObject> children;

    bool operator==(const FormObject&) const = default;
};

// A property's value as the type its class expects; raise Exception naming the
// property when the description holds another type.
std::int32_t AsInteger(const FormValue& value, const std::string& property);
const std::string& AsText(const FormValue& value, const std::string& property);
const std::string& AsIdentifier(const FormValue& value, const std::string& property);
bool AsBoolean(const FormValue& value, const std::string& property);
