#include "framework/forms/FormText.h"

#include "framework/core/Exception.h"

#include <cctype>
#include <limits>

namespace {

class FormParser
{
public:
    explicit FormParser(const std::string& text) : text_(text) {}

    FormObject Parse()
    {
        FormObject root = Object(Name("the window's name"));
        Skip();
        if (at_ < text_.size())
            Fail("text after the window's closing brace");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw Exception("Form description, line " + std::to_string(line_) + ": " + what + ".");
    }

    void Skip()
    {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '#') {
                while (at_ < text_.size() && text_[at_] != '\n')
                    ++at_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                line_ += c == '\n';
                ++at_;
            } else {
                return;
            }
        }
    }

    bool Accept(char c)
    {
        Skip();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    void Expect(char c, const char* what)
    {
        if (!Accept(c))
            Fail(std::string("expected ") + what);
    }

    static bool IsNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

    std::string Name(const char* what)
    {
        Skip();
        const std::size_t start = at_;
        while (at_ < text_.size() && IsNameCharacter(text_[at_]))
            ++at_;
        if (at_ == start || std::isdigit(static_cast<unsigned char>(text_[start])))
            Fail(std::string("expected ") + what);
        return text_.substr(start, at_ - start);
    }

    FormObject Object(std::string name)
    {
        FormObject object;
        object.name = std::move(name);
        Expect(':', "':' after the object's name");
        object.className = Name("a class name");
        Expect('{', "'{' to open the object");
        while (!Accept('}')) {
            if (at_ >= text_.size())
                Fail("the object " + object.name + " is not closed");
            std::string itemName = Name("a property or an object");
            Skip();
            if (at_ < text_.size() && text_[at_] == ':') {
                object.children.push_back(Object(std::move(itemName)));
            } else {
                Expect('=', "'=' after the property's name");
                object.properties.push_back({std::move(itemName), Value()});
            }
        }
        return object;
    }

    FormValue Value()
    {
        Skip();
        if (at_ >= text_.size())
            Fail("expected a value");
        FormValue value;
        const char c = text_[at_];
        if (c == '"') {
            value.kind = FormValue::Text;
            value.text = QuotedText();
        } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
            value.kind = FormValue::Integer;
            value.integer = WholeNumber();
        } else if (Accept('[')) {
            value.kind = FormValue::Set;
            if (!Accept(']')) {
                do
                    value.items.push_back(Name("a name in the set"));
                while (Accept(','));
                Expect(']', "']' to close the set");
            }
        } else {
            value.text = Name("a value");
            value.kind = value.text == "true" ? FormValue::True
                         : value.text == "false" ? FormValue::False
                                                 : FormValue::Identifier;
            if (value.kind != FormValue::Identifier)
                value.text.clear();
        }
        return value;
    }

    std::string QuotedText()
    {
        ++at_;
        std::string text;
        while (at_ < text_.size() && text_[at_] != '"' && text_[at_] != '\n') {
            if (text_[at_] == '\\' && at_ + 1 < text_.size())
                ++at_;
            text += text_[at_++];
        }
        if (at_ >= text_.size() || text_[at_] != '"')
            Fail("the text is not closed on its line");
        ++at_;
        return text;
    }

    std::int32_t WholeNumber()
    {
        const bool negative = text_[at_] == '-';
        if (negative)
            ++at_;
        long long value = 0;
        const std::size_t start = at_;
        while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) {
            value = value * 10 + (text_[at_++] - '0');
            if (value > std::numeric_limits<std::int32_t>::max() + 1LL)
                Fail("the number is too large");
        }
        if (at_ == start)
            Fail("expected digits");
        value = negative ? -value : value;
        if (value > std::numeric_limits<std::int32_t>::max())
            Fail("the number is too large");
        return static_cast<std::int32_t>(value);
    }

    const std::string& text_;
    std::size_t at_ = 0;
    int line_ = 1;
};

}  // namespace

FormObject ParseFormText(const std::string& text)
{
    return FormParser(text).Parse();
}
