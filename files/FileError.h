#pragma once

#include <stdexcept>
#include <string>

namespace darkfill::files {

// A file that could not be read or written, or a request that cannot be met; the
// message names the file and says why, in words for the user.
class FileError : public std::runtime_error
{
public:
    // Usage: what was asked cannot be done with any file (a float picture into
    // PNG, say), as a wrong command line; Failure: everything else.
    enum class Kind { Failure, Usage };

    explicit FileError(const std::string& message, Kind kind = Kind::Failure)
        : std::runtime_error(message), kind_(kind)
    {
    }
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

}  // namespace darkfill::files
