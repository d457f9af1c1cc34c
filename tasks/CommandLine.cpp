#include "tasks/CommandLine.h"

#include "files/FileNames.h"
#include "files/PictureWriter.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>

namespace darkfill::tasks {

namespace {

struct KnownOption {
    char shortName;  // 0: none
    const char* longName;
    bool takesValue;
};

constexpr std::array Options{
    KnownOption{'h', "help", false},          KnownOption{0, "version", false},
    KnownOption{'o', nullptr, true},          KnownOption{0, "output-dir", true},
    KnownOption{0, "fill-map", true},         KnownOption{0, "format", true},
    KnownOption{'j', "jobs", true},           KnownOption{0, "stats", false},
    KnownOption{0, "json", false},            KnownOption{'f', "force", false},
    KnownOption{'q', "quiet", false},         KnownOption{0, "skip-existing", false},
    KnownOption{0, "rule", true},             KnownOption{0, "far", true},
    KnownOption{0, "guide", true},            KnownOption{0, "guide-dir", true},
    KnownOption{0, "compression", true},      KnownOption{0, "max-pixels", true},
};

// The key under which an option's value is kept: its long name, or its letter.
std::string KeyOf(const KnownOption& option)
{
    return option.longName ? option.longName : std::string(1, option.shortName);
}

const KnownOption* FindShort(char name)
{
    for (const KnownOption& option : Options)
        if (option.shortName == name)
            return &option;
    return nullptr;
}

const KnownOption* FindLong(const std::string& name)
{
    for (const KnownOption& option : Options)
        if (option.longName && name == option.longName)
            return &option;
    return nullptr;
}

// The options given, each by its key with its last value, and the positional
// arguments. Short options may be run together (-fq), and take their value
// joined (-j2) or as the next argument; long ones as --name=value or --name value.
struct Parsed {
    std::map<std::string, std::string> values;
    std::vector<std::string> positional;
    bool Has(const char* key) const { return values.count(key) > 0; }
    std::string Value(const char* key) const { return Has(key) ? values.at(key) : std::string(); }
};

bool Parse(const std::vector<std::string>& arguments, Parsed& parsed, std::string& error)
{
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word == "-" || word.size() < 2 || word[0] != '-') {
            parsed.positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const auto takeValue = [&](const KnownOption& option, const std::string& written,
                                   std::optional<std::string> joined) {
            if (!option.takesValue) {
                parsed.values[KeyOf(option)] = "";
                return true;
            }
            if (!joined) {
                if (i + 1 >= arguments.size()) {
                    error = "Missing value after '" + written + "'.";
                    return false;
                }
                joined = arguments[++i];
            }
            parsed.values[KeyOf(option)] = *joined;
            return true;
        };
        if (word[1] == '-') {
            const std::size_t equals = word.find('=');
            const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const KnownOption* option = FindLong(name);
            if (!option || (equals != std::string::npos && !option->takesValue)) {
                error = "Unknown option '" + name + "'.";
                return false;
            }
            const std::optional<std::string> joined =
                equals == std::string::npos ? std::nullopt : std::optional(word.substr(equals + 1));
            if (!takeValue(*option, word.substr(0, equals), joined))
                return false;
            continue;
        }
        for (std::size_t at = 1; at < word.size(); ++at) {
            const KnownOption* option = FindShort(word[at]);
            if (!option) {
                error = "Unknown option '" + word.substr(at, 1) + "'.";
                return false;
            }
            if (option->takesValue) {
                const std::string rest = word.substr(at + 1);
                if (!takeValue(*option, "-" + word.substr(at, 1), rest.empty() ? std::nullopt : std::optional(rest)))
                    return false;
                break;
            }
            takeValue(*option, "", std::nullopt);
        }
    }
    return true;
}

bool IsFolder(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool SameFolder(const std::string& a, const std::string& b)
{
    const auto trimmed = [](std::string path) {
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (path.rfind("./", 0) == 0 && path.size() > 2)
            path = path.substr(2);
        return path;
    };
    if (trimmed(a) == trimmed(b))
        return true;
    return IsFolder(a) && IsFolder(b) && files::CanonicalPath(a) == files::CanonicalPath(b);
}

// A name whose extension asks for a format that no writer here knows; a name
// without one is written as PNG.
bool UnwritableExtension(const std::string& name)
{
    return !files::ExtensionOf(name).empty() && !files::FormatOfName(name);
}

struct RuleName {
    FillRule rule;
    const char* name;
};
constexpr RuleName RuleNames[] = {
    {FillRule::RowsColumns, "rows-columns"},
    {FillRule::Nearest, "nearest"},
    {FillRule::Background, "background"},
    {FillRule::Guided, "guided"},
};

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

std::optional<FillRule> FillRuleNamed(std::string_view name)
{
    for (const RuleName& entry : RuleNames)
        if (name == entry.name)
            return entry.rule;
    return std::nullopt;
}

const char* NameOf(FillRule rule)
{
    for (const RuleName& entry : RuleNames)
        if (entry.rule == rule)
            return entry.name;
    return "";
}

std::optional<FarSide> FarSideNamed(std::string_view name)
{
    if (name == "larger")
        return FarSide::Larger;
    if (name == "smaller")
        return FarSide::Smaller;
    return std::nullopt;
}

const char* NameOf(FarSide far)
{
    return far == FarSide::Smaller ? "smaller" : "larger";
}

std::optional<int> CompressionNamed(std::string_view name)
{
    if (name == "fast")
        return files::FastLevel;
    if (name == "small")
        return files::SmallLevel;
    if (name.size() == 1 && name[0] >= '0' && name[0] <= '9')
        return name[0] - '0';
    return std::nullopt;
}

CommandLineRequest ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                                    std::string& error)
{
    Parsed parsed;
    if (!Parse(arguments, parsed, error))
        return CommandLineRequest::UsageError;
    if (parsed.Has("help"))
        return CommandLineRequest::Help;
    if (parsed.Has("version"))
        return CommandLineRequest::Version;

    commandLine.inputs = parsed.positional;
    commandLine.output = parsed.Value("o");
    commandLine.outputDirectory = parsed.Value("output-dir");
    commandLine.fillMap = parsed.Value("fill-map");
    commandLine.stats = parsed.Has("stats");
    commandLine.json = parsed.Has("json");
    commandLine.force = parsed.Has("force");
    commandLine.skipExisting = parsed.Has("skip-existing");
    commandLine.quiet = parsed.Has("quiet");
    if (parsed.Has("format"))
        commandLine.format = Lower(parsed.Value("format"));

    const bool batch = parsed.Has("output-dir");
    const auto contains = [&](const char* name) {
        for (const std::string& input : commandLine.inputs)
            if (input == name)
                return true;
        return false;
    };
    if (commandLine.inputs.empty())
        error = "no input picture is given";
    else if (parsed.Has("o") == batch)
        error = "give either -o OUT for one picture or --output-dir DIR for several";
    else if (!batch && commandLine.inputs.size() > 1)
        error = "-o writes one picture; several inputs need --output-dir DIR";
    else if (batch && contains("-"))
        error = "standard input (-) can be read in the one-picture form only";
    else if (commandLine.output.empty() && !batch)
        error = "-o needs a file name, or - for standard output";
    else if (parsed.Has("format") && !batch)
        error = "--format is for --output-dir; with -o the output's extension picks the format";
    else if (parsed.Has("format") && !files::FormatOfName("x." + commandLine.format))
        error = "the format " + commandLine.format + " is unknown; use " + files::WritableExtensions();
    else if (commandLine.force && commandLine.skipExisting)
        error = "--force writes over what --skip-existing leaves; give one of them";
    else if (batch && commandLine.outputDirectory.empty())
        error = "--output-dir needs a folder name";
    else if (!batch && commandLine.output != "-" && UnwritableExtension(commandLine.output))
        error = "the extension of " + files::QuotedName(commandLine.output) +
                " names no format that can be written; use " + files::WritableExtensions();
    else if (parsed.Has("fill-map") && commandLine.fillMap.empty())
        error = "--fill-map needs a path";
    else if (!batch && UnwritableExtension(commandLine.fillMap))
        error = "the extension of the fill map " + files::QuotedName(commandLine.fillMap) +
                " names no format that can be written; use .png";
    else if (batch && !commandLine.fillMap.empty() && SameFolder(commandLine.fillMap, commandLine.outputDirectory))
        error = "--fill-map needs a folder of its own: the maps would take the outputs' names";

    const std::optional<FillRule> rule = FillRuleNamed(parsed.Value("rule"));
    const std::optional<FarSide> far = FarSideNamed(parsed.Value("far"));
    const bool guides = parsed.Has("guide") || parsed.Has("guide-dir");
    commandLine.guide = parsed.Value("guide");
    commandLine.guideDirectory = parsed.Value("guide-dir");
    if (parsed.Has("rule") && !rule)
        error = "the rule " + parsed.Value("rule") + " is unknown; use rows-columns, nearest, background or guided";
    else if (parsed.Has("far") && !far)
        error = "--far needs larger or smaller";
    else if (parsed.Has("far") && rule != FillRule::Background)
        error = "--far is for --rule background";
    else if (rule == FillRule::Guided && !guides)
        error = "--rule guided needs a guide picture: --guide FILE, or --guide-dir DIR for several inputs";
    else if (guides && rule != FillRule::Guided)
        error = "--guide and --guide-dir are for --rule guided";
    else if (parsed.Has("guide") && parsed.Has("guide-dir"))
        error = "give either --guide FILE or --guide-dir DIR";
    else if (parsed.Has("guide") && commandLine.guide.empty())
        error = "--guide needs a file name";
    else if (parsed.Has("guide-dir") && commandLine.guideDirectory.empty())
        error = "--guide-dir needs a folder name";
    else if (parsed.Has("guide") && commandLine.inputs.size() > 1)
        error = "--guide guides one input; several need --guide-dir DIR, which holds a guide of each one's name";
    commandLine.options.rule = rule.value_or(FillRule::RowsColumns);
    commandLine.options.far = far.value_or(FarSide::Larger);

    if (parsed.Has("compression")) {
        const std::optional<int> level = CompressionNamed(parsed.Value("compression"));
        if (!level)
            error = "--compression needs fast, small or a level from 0 to 9";
        commandLine.compression = level.value_or(files::FastLevel);
    }
    if (parsed.Has("max-pixels")) {
        const std::string pixels = parsed.Value("max-pixels");
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(pixels.c_str(), &end, 10);
        if (pixels.empty() || *end != '\0' || value < 1 || errno == ERANGE)
            error = "--max-pixels needs a whole number from 1 up";
        else
            commandLine.maximumPixels = value;
    }
    if (parsed.Has("jobs")) {
        const std::string jobs = parsed.Value("jobs");
        char* end = nullptr;
        const long value = std::strtol(jobs.c_str(), &end, 10);
        if (jobs.empty() || *end != '\0' || value < 1 || value > INT_MAX)
            error = "--jobs needs a whole number from 1 up";
        else
            commandLine.jobs = static_cast<int>(value);
    }
    return error.empty() ? CommandLineRequest::Run : CommandLineRequest::UsageError;
}

std::string UsageLine()
{
    return "usage: darkfill-cli IN -o OUT [options]\n"
           "       darkfill-cli IN... --output-dir DIR [options]\n"
           "Try 'darkfill-cli --help' for more.\n";
}

}  // namespace darkfill::tasks
