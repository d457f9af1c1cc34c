#include "framework/forms/FormStream.h"

#include "framework/core/Exception.h"

#include <cctype>

namespace {

constexpr char Signature[] = "TPF0";
// Deeper nesting than any window needs is taken as damage, not followed.
constexpr int MaximumDepth = 64;

class StreamWriter
{
public:
    std::vector<std::uint8_t> bytes;

    void Byte(std::uint8_t b) { bytes.push_back(b); }
    void Number(std::uint32_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            Byte(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void Name(const std::string& name)
    {
        if (name.empty() || name.size() > 255)
            throw Exception("The form name \"" + name + "\" must have 1 to 255 characters.");
        Byte(static_cast<std::uint8_t>(name.size()));
        bytes.insert(bytes.end(), name.begin(), name.end());
    }
    void Value(const FormValue& value)
    {
        switch (value.kind) {
        case FormValue::Integer:
            Byte('I');
            Number(static_cast<std::uint32_t>(value.integer), 4);
            break;
        case FormValue::Text:
            Byte('S');
            Number(static_cast<std::uint32_t>(value.text.size()), 4);
            bytes.insert(bytes.end(), value.text.begin(), value.text.end());
            break;
        case FormValue::Identifier:
            Byte('N');
            Name(value.text);
            break;
        case FormValue::False:
            Byte('F');
            break;
        case FormValue::True:
            Byte('T');
            break;
        case FormValue::Set:
            Byte('[');
            Number(static_cast<std::uint32_t>(value.items.size()), 2);
            for (const std::string& item : value.items)
                Name(item);
            break;
        }
    }
    void Object(const FormObject& object)
    {
        Byte('O');
        Name(object.className);
        Name(object.name);
        for (const FormProperty& property : object.properties) {
            Byte('P');
            Name(property.name);
            Value(property.value);
        }
        Byte(0);
        for (const FormObject& child : object.children)
            Object(child);
        Byte(0);
    }
};

class StreamReader
{
public:
    StreamReader(const std::uint8_t* data, std::size_t size, const std::string& resource)
        : data_(data), size_(size), resource_(resource)
    {
    }

    FormObject Read()
    {
        for (int i = 0; i < 4; ++i)
            if (Byte("the signature") != static_cast<std::uint8_t>(Signature[i]))
                Fail("it does not begin with the signature TPF0");
        if (Byte("the first object") != 'O')
            Fail("the first object is missing");
        FormObject root = Object(1);
        if (at_ != size_)
            Fail(std::to_string(size_ - at_) + " bytes follow the last object");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw Exception("The form description " + resource_ + " is damaged: " + what + ".");
    }

    std::uint8_t Byte(const char* what)
    {
        if (at_ >= size_)
            Fail(std::string("it ends inside ") + what);
        return data_[at_++];
    }

    std::uint32_t Number(int size, const char* what)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i)
            value |= static_cast<std::uint32_t>(Byte(what)) << (8 * i);
        return value;
    }

    std::string Bytes(std::size_t count, const char* what)
    {
        if (count > size_ - at_)
            Fail(std::string("it ends inside ") + what);
        std::string text(reinterpret_cast<const char*>(data_ + at_), count);
        at_ += count;
        return text;
    }

    std::string Name(const char* what)
    {
        const std::size_t length = Byte(what);
        if (length == 0)
            Fail(std::string("an empty name in ") + what);
        std::string name = Bytes(length, what);
        for (const char c : name)
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'))
                Fail(std::string("a name in ") + what + " holds a character that no name may hold");
        return name;
    }

    FormValue Value(const std::string& property)
    {
        FormValue value;
        const std::string what = "the value of " + property;
        switch (Byte(what.c_str())) {
        case 'I':
            value.kind = FormValue::Integer;
            value.integer = static_cast<std::int32_t>(Number(4, what.c_str()));
            break;
        case 'S':
            value.kind = FormValue::Text;
            value.text = Bytes(Number(4, what.c_str()), what.c_str());
            break;
        case 'N':
            value.kind = FormValue::Identifier;
            value.text = Name(what.c_str());
            break;
        case 'F':
            value.kind = FormValue::False;
            break;
        case 'T':
            value.kind = FormValue::True;
            break;
        case '[': {
            value.kind = FormValue::Set;
            const std::uint32_t count = Number(2, what.c_str());
            for (std::uint32_t i = 0; i < count; ++i)
                value.items.push_back(Name(what.c_str()));
            break;
        }
        default:
            Fail(what + " has an unknown type");
        }
        return value;
    }

    FormObject Object(int depth)
    {
        if (depth > MaximumDepth)
            Fail("its objects are nested too deeply");
        FormObject object;
        object.className = Name("a class name");
        object.name = Name("an object name");
        const std::string where = "object " + object.name;
        for (std::uint8_t tag = Byte(where.c_str()); tag != 0; tag = Byte(where.c_str())) {
            if (tag != 'P')
                Fail("a property of " + where + " has an unknown tag");
            FormProperty property;
            property.name = Name(where.c_str());
            property.value = Value(object.name + "." + property.name);
            object.properties.push_back(std::move(property));
        }
        for (std::uint8_t tag = Byte(where.c_str()); tag != 0; tag = Byte(where.c_str())) {
            if (tag != 'O')
                Fail("a child of " + where + " has an unknown tag");
            object.children.push_back(Object(depth + 1));
        }
        return object;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::string resource_;
    std::size_t at_ = 0;
};

}  // namespace

std::vector<std::uint8_t> WriteFormStream(const FormObject& root)
{
    StreamWriter writer;
    writer.bytes.assign(Signature, Signature + 4);
    writer.Object(root);
    return writer.bytes;
}

FormObject ReadFormStream(const std::uint8_t* data, std::size_t size, const std::string& resourceName)
{
    return StreamReader(data, size, resourceName).Read();
}
