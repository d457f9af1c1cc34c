#pragma once

#include <string>
#include <string_view>

// File names as the system spells them: bytes, UTF-8 or not ("lat\xe9.png" from
// an old Latin-1 disk). They are opened and written byte for byte; only messages
// and reports spell them for people.

namespace darkfill::files {

// The name for a message: each byte that is no part of UTF-8 as \xe9, control
// characters as \n, \t, \r or \x01, so that every name stays on one line.
std::string PrintableName(std::string_view name);

// The same, in double quotes: "lat\xe9.png".
std::string QuotedName(std::string_view name);

// Text as a JSON string, in its quotes. Each byte that is no part of UTF-8 becomes
// the lone surrogate \udce9, which Python's os.fsencode turns back into the byte.
std::string JsonString(std::string_view text);

// The folder part of a path ("." for a bare name) and the last part.
std::string FolderOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

// The last part without its last extension ("frame.0001" of "a/frame.0001.png"),
// and the extension in lower case without its dot ("png"; "" where there is none).
std::string StemOf(const std::string& path);
std::string ExtensionOf(const std::string& path);

// The path with every symbolic link resolved, or "" where it leads nowhere.
std::string CanonicalPath(const std::string& path);

// folder/name, without doubling a separator.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace darkfill::files
