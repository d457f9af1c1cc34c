#include "framework/forms/FormModel.h"

#include "framework/core/Exception.h"

namespace {

[[noreturn]] void FailType(const std::string& property, const char* expected)
{
    throw Exception("The property " + property + " needs " + expected + ".");
}

}  // namespace

std::int32_t AsInteger(const FormValue& value, const std::string& property)
{
    if (value.kind != FormValue::Integer)
        FailType(property, "a whole number");
    return value.integer;
}

const std::string& AsText(const FormValue& value, const std::string& property)
{
    if (value.kind != FormValue::Text)
        FailType(property, "a text");
    return value.text;
}

const std::string& AsIdentifier(const FormValue& value, const std::string& property)
{
    if (value.kind != FormValue::Identifier)
        FailType(property, "a name");
    return value.text;
}

bool AsBoolean(const FormValue& value, const std::string& property)
{
    if (value.kind != FormValue::True && value.kind != FormValue::False)
        FailType(property, "true or false");
    return value.kind == FormValue::True;
}
