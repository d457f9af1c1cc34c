#include "framework/core/Exception.h"
#include "framework/forms/FormStream.h"
#include "framework/forms/FormText.h"

#include <gtest/gtest.h>

namespace {

const char* const Description = R"(
# every kind of value, nested objects
Window : TWindow {
    Count = -2147483648
    Big = 2147483647
    Caption = "say \"hi\" \\ bye"
    Empty = ""
    Colour = clBtnFace
    On = true
    Off = false
    Font.Style = [fsBold, fsItalic]
    None = []
    Panel1 : TPanel {
        Inner : TButton { Caption = "x" }
    }
    Last : TImage { }
}
)";

std::string MessageOf(const std::vector<std::uint8_t>& stream)
{
    try {
        ReadFormStream(stream.data(), stream.size(), "TTEST");
    } catch (const Exception& e) {
        return e.Message;
    }
    return "";
}

TEST(FormStream, RoundTripKeepsEveryValue)
{
    const FormObject parsed = ParseFormText(Description);
    ASSERT_EQ(parsed.properties.size(), 9u);
    EXPECT_EQ(parsed.properties[0].value.integer, -2147483647 - 1);
    EXPECT_EQ(parsed.properties[2].value.text, "say \"hi\" \\ bye");
    EXPECT_EQ(parsed.properties[7].value.items, (std::vector<std::string>{"fsBold", "fsItalic"}));
    ASSERT_EQ(parsed.children.size(), 2u);
    EXPECT_EQ(parsed.children[0].children[0].name, "Inner");

    const std::vector<std::uint8_t> stream = WriteFormStream(parsed);
    EXPECT_EQ(std::string(stream.begin(), stream.begin() + 4), "TPF0");
    EXPECT_EQ(ReadFormStream(stream.data(), stream.size(), "TTEST"), parsed);
}

TEST(FormStream, EveryTruncationIsRefused)
{
    const std::vector<std::uint8_t> stream = WriteFormStream(ParseFormText(Description));
    for (std::size_t length = 0; length < stream.size(); ++length) {
        const std::vector<std::uint8_t> cut(stream.begin(), stream.begin() + length);
        const std::string message = MessageOf(cut);
        EXPECT_NE(message.find("TTEST is damaged"), std::string::npos) << "cut at " << length << ": " << message;
    }
}

TEST(FormStream, DamageIsNamed)
{
    const std::vector<std::uint8_t> good = WriteFormStream(ParseFormText("A : TA { X = 1 }"));
    struct Row {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        const char* reason;
    };
    const Row table[] = {
        {"Signature", [](auto& s) { s[3] = '1'; }, "signature"},
        {"ObjectTag", [](auto& s) { s[4] = 'X'; }, "first object"},
        {"PropertyTag", [](auto& s) { s[4 + 1 + 3 + 2] = 'Q'; }, "unknown tag"},
        {"ValueType", [](auto& s) { s[4 + 1 + 3 + 2 + 1 + 2] = 'Z'; }, "unknown type"},
        {"TrailingBytes", [](auto& s) { s.push_back(0); }, "follow the last object"},
        {"BadNameCharacter", [](auto& s) { s[4 + 1 + 1] = ' '; }, "character"},
        {"HugeTextLength",
         [](auto& s) {
             s = WriteFormStream(ParseFormText("A : TA { X = \"t\" }"));
             s[4 + 1 + 3 + 2 + 1 + 2 + 1 + 3] = 0x7F;
         },
         "ends inside"},
    };
    for (const Row& row : table) {
        std::vector<std::uint8_t> stream = good;
        row.damage(stream);
        const std::string message = MessageOf(stream);
        EXPECT_NE(message.find(row.reason), std::string::npos) << row.name << ": " << message;
    }
}

TEST(FormStream, FlippedBytesNeverCrash)
{
    const std::vector<std::uint8_t> stream = WriteFormStream(ParseFormText(Description));
    for (std::size_t at = 0; at < stream.size(); ++at)
        for (const std::uint8_t flip : {0x01, 0x80, 0xFF}) {
            std::vector<std::uint8_t> damaged = stream;
            damaged[at] ^= flip;
            try {
                ReadFormStream(damaged.data(), damaged.size(), "TTEST");
            } catch (const Exception&) {
            }
        }
}

TEST(FormText, ErrorsNameTheirLine)
{
    struct Row {
        const char* name;
        const char* text;
        const char* expected;
    };
    const Row table[] = {
        {"MissingClass", "A : {", "line 1: expected a class name"},
        {"UnclosedObject", "A : TA {\n X = 1\n", "line 3: the object A is not closed"},
        {"MissingEquals", "A : TA {\n\n X 1 }", "line 3: expected '='"},
        {"UnclosedText", "A : TA {\n X = \"abc\n }", "line 2: the text is not closed"},
        {"NumberTooLarge", "A : TA { X = 2147483648 }", "too large"},
        {"TextAfterEnd", "A : TA { }\nB", "line 2: text after"},
        {"UnclosedSet", "A : TA { S = [a, b }", "expected ']'"},
    };
    for (const Row& row : table) {
        try {
            ParseFormText(row.text);
            ADD_FAILURE() << row.name << ": parsed";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message.find(row.expected), std::string::npos) << row.name << ": " << e.Message;
        }
    }
}

}  // namespace
