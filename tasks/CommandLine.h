#pragma once

#include "darkfill/darkfill.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darkfill::tasks {

// The most pixels of a picture that is read unless --max-pixels says otherwise:
// 2^28, a 16k x 16k picture, whose fill takes a few GB.
inline constexpr long long DefaultMaximumPixels = 1LL << 28;

// What the user asked darkfill-cli (or its batch runner) for. Names are bytes,
// as the system gave them.
struct CommandLine {
    std::vector<std::string> inputs;  // "-" stands for standard input (one-file form only)
    std::string output;               // -o: one file, "-" for standard output
    std::string outputDirectory;      // --output-dir: the batch form
    std::string fillMap;              // --fill-map: a file, or a folder in the batch form
    std::string format;               // --format: the batch form's outputs; empty: not given
    bool stats = false;
    bool json = false;
    bool force = false;
    bool skipExisting = false;        // --skip-existing: leave what is done already
    bool quiet = false;
    int jobs = 0;                     // 0: one for every two cores
    int compression = -1;             // --compression: -1 fast, 0 to 9, 12 small
    long long maximumPixels = DefaultMaximumPixels;  // --max-pixels
    FillOptions options;              // --rule, --far
    std::string guide;                // --guide: the guide of the one input
    std::string guideDirectory;       // --guide-dir: each input's guide by its name
};

// The fill rules and far sides by the names that the command line and the Python
// module give them: rows-columns, nearest, background, guided; larger, smaller.
std::optional<FillRule> FillRuleNamed(std::string_view name);
std::optional<FarSide> FarSideNamed(std::string_view name);
const char* NameOf(FillRule rule);
const char* NameOf(FarSide far);

// --compression's word: fast, small, or a level from 0 to 9.
std::optional<int> CompressionNamed(std::string_view name);

enum class CommandLineRequest { Run, Help, Version, UsageError };

// Reads the arguments (the program's name first). On a usage error, error says
// what is wrong.
CommandLineRequest ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                                    std::string& error);

// The manual: what the program does, every option, the formats, the fill map's
// colours, the exit status and examples.
std::string ManualText();

// One line that names the usage and points to --help, for usage errors.
std::string UsageLine();

}  // namespace darkfill::tasks
