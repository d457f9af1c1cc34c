#include "files/FileNames.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace darkfill::files {

namespace {

// The length of the UTF-8 sequence that starts at text[at], or 0 where none does
// (a stray byte, an overlong form, a surrogate, beyond U+10FFFF).
std::size_t Utf8Length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t code = 0, least = 0;
    if ((lead & 0xE0) == 0xC0)
        length = 2, code = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, code = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, code = lead & 0x07, least = 0x10000;
    else
        return 0;
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

std::string Hex(const char* format, unsigned value)
{
    char spelt[8];
    std::snprintf(spelt, sizeof spelt, format, value);
    return spelt;
}

// Walks the text: each valid UTF-8 character whole, each stray byte alone.
template <class Character, class Stray>
std::string Spell(std::string_view text, Character character, Stray stray)
{
    std::string spelt;
    spelt.reserve(text.size() + 2);
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t length = Utf8Length(text, at)) {
            character(spelt, text.substr(at, length));
            at += length;
        } else {
            stray(spelt, static_cast<std::uint8_t>(text[at++]));
        }
    }
    return spelt;
}

}  // namespace

std::string PrintableName(std::string_view name)
{
    return Spell(
        name,
        [](std::string& to, std::string_view c) {
            const auto u = static_cast<std::uint8_t>(c[0]);
            if (u == '\n')
                to += "\\n";
            else if (u == '\t')
                to += "\\t";
            else if (u == '\r')
                to += "\\r";
            else if (c.size() == 1 && (u < 0x20 || u == 0x7f))
                to += Hex("\\x%02x", u);
            else
                to += c;
        },
        [](std::string& to, std::uint8_t byte) { to += Hex("\\x%02x", byte); });
}

std::string QuotedName(std::string_view name)
{
    return '"' + PrintableName(name) + '"';
}

std::string JsonString(std::string_view text)
{
    return '"' +
           Spell(
               text,
               [](std::string& to, std::string_view c) {
                   const auto u = static_cast<std::uint8_t>(c[0]);
                   if (u == '"' || u == '\\')
                       to += {'\\', c[0]};
                   else if (u == '\n')
                       to += "\\n";
                   else if (u == '\t')
                       to += "\\t";
                   else if (u == '\r')
                       to += "\\r";
                   else if (c.size() == 1 && u < 0x20)
                       to += Hex("\\u%04x", u);
                   else
                       to += c;
               },
               [](std::string& to, std::uint8_t byte) { to += Hex("\\udc%02x", byte); }) +
           '"';
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StemOf(const std::string& path)
{
    const std::string base = BaseNameOf(path);
    const std::size_t dot = base.find_last_of('.');
    return dot == std::string::npos ? base : base.substr(0, dot);
}

std::string ExtensionOf(const std::string& path)
{
    const std::string base = BaseNameOf(path);
    const std::size_t dot = base.find_last_of('.');
    std::string extension = dot == std::string::npos ? std::string() : base.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

std::string CanonicalPath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    std::string result = resolved ? resolved : "";
    std::free(resolved);
    return result;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

}  // namespace darkfill::files
