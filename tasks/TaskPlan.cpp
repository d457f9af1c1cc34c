#include "tasks/TaskPlan.h"

#include "files/AtomicWrite.h"
#include "files/FileNames.h"
#include "files/PictureWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

namespace darkfill::tasks {

namespace {

using files::QuotedName;

// The path from the root, without ".", ".." or doubled separators, as written
// (symbolic links are not followed).
std::string Absolute(const std::string& path)
{
    std::string whole = path;
    if (whole.empty() || whole[0] != '/') {
        char here[PATH_MAX];
        whole = std::string(::getcwd(here, sizeof here) ? here : "") + '/' + path;
    }
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= whole.size()) {
        const std::size_t slash = std::min(whole.find('/', at), whole.size());
        const std::string part = whole.substr(at, slash - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = slash + 1;
    }
    std::string clean;
    for (const std::string& part : parts)
        clean += '/' + part;
    return clean.empty() ? "/" : clean;
}

// The file that a path names, the same however it is written: for a path that
// does not exist yet, the one that its folder would hold.
std::string Identity(const std::string& path)
{
    if (const std::string file = files::CanonicalPath(path); !file.empty())
        return file;
    const std::string absolute = Absolute(path);
    const std::string folder = files::CanonicalPath(files::FolderOf(absolute));
    return folder.empty() ? absolute : files::JoinPath(folder, files::BaseNameOf(absolute));
}

// Makes the folder and those above it where they are missing.
std::string MakeFolder(const std::string& path)
{
    std::string made;
    std::size_t at = 0;
    while (at != std::string::npos) {
        at = path.find('/', at + 1);
        made = path.substr(0, at);
        struct stat status {};
        if (made.empty() || ::stat(made.c_str(), &status) == 0)
            continue;
        if (::mkdir(made.c_str(), 0777) != 0 && errno != EEXIST)
            return "Cannot make the folder " + QuotedName(path) + ": " + std::strerror(errno) + ".";
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return "Cannot make the folder " + QuotedName(path) + ": " + std::strerror(errno) + ".";
    if (!S_ISDIR(status.st_mode))
        return "Cannot make the folder " + QuotedName(path) + ": " + std::strerror(ENOTDIR) + ".";
    return {};
}

// The batch form's output for an input: --format's, or PNG, and a PFM or NPY
// input's own format where --format is not given.
std::string OutputFormat(const CommandLine& commandLine, const std::string& input)
{
    if (!commandLine.format.empty())
        return commandLine.format;
    const std::optional<files::FileFormat> format = files::FormatOfName(input);
    if (format == files::FileFormat::Pfm || format == files::FileFormat::Npy)
        return files::ExtensionOf(*format);
    return "png";
}

void ClearStaleFiles(const std::vector<FileTask>& tasks)
{
    std::map<std::string, std::vector<std::string>> outputs;  // folder -> names written there
    for (const FileTask& task : tasks)
        for (const std::string& path : {task.output, task.fillMap})
            if (!path.empty() && path != "-")
                outputs[files::FolderOf(path)].push_back(files::BaseNameOf(path));
    for (const auto& [folder, names] : outputs)
        files::ClearStaleTemporaries(folder, names);
}

// The files of a guide folder by their names without extension; a name that
// several files share maps to none of them ("" for the clash).
struct GuideFolder {
    std::map<std::string, std::string> byStem;
    std::string failure;  // the folder cannot be read
};

GuideFolder ListGuides(const std::string& folder)
{
    GuideFolder guides;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (!entries->is_regular_file(error))
            continue;
        const std::string path = entries->path().string();
        const auto [at, added] = guides.byStem.emplace(files::StemOf(path), path);
        if (!added)
            at->second.clear();
    }
    if (error)
        guides.failure = "the guide folder " + QuotedName(folder) + " cannot be read: " + error.message() + ".";
    return guides;
}

// Where the guide of an input is, or why there is none.
std::string GuideOf(const std::string& input, const GuideFolder& guides, const std::string& folder,
                    std::string& refusal)
{
    if (!guides.failure.empty()) {
        refusal = guides.failure;
        return {};
    }
    const auto found = guides.byStem.find(files::StemOf(input));
    if (found == guides.byStem.end())
        refusal = QuotedName(input) + ": the guide folder " + QuotedName(folder) + " holds no picture named " +
                  QuotedName(files::StemOf(input)) + ".";
    else if (found->second.empty())
        refusal = QuotedName(input) + ": the guide folder " + QuotedName(folder) + " holds several pictures named " +
                  QuotedName(files::StemOf(input)) + "; keep one.";
    return found == guides.byStem.end() ? std::string() : found->second;
}

}  // namespace

std::vector<FileTask> PlanTasks(const CommandLine& commandLine)
{
    const bool batch = !commandLine.outputDirectory.empty();
    std::string folderFailure;
    if (batch) {
        folderFailure = MakeFolder(commandLine.outputDirectory);
        if (folderFailure.empty() && !commandLine.fillMap.empty())
            folderFailure = MakeFolder(commandLine.fillMap);
    }

    // What is read, which no output may take the place of: the inputs, and each
    // input's guide (or why it has none).
    std::map<std::string, std::string> read;  // identity -> "the input "a.png"", say
    for (const std::string& input : commandLine.inputs)
        if (input != "-")
            read.emplace(Identity(input), "the input " + QuotedName(input));
    const GuideFolder folder = commandLine.guideDirectory.empty() ? GuideFolder() : ListGuides(commandLine.guideDirectory);
    std::vector<std::string> guides(commandLine.inputs.size(), commandLine.guide), guideRefusals(guides.size());
    for (std::size_t i = 0; i < guides.size(); ++i) {
        if (!commandLine.guideDirectory.empty())
            guides[i] = GuideOf(commandLine.inputs[i], folder, commandLine.guideDirectory, guideRefusals[i]);
        if (!guides[i].empty())
            read.emplace(Identity(guides[i]), "the guide " + QuotedName(guides[i]));
    }

    std::vector<FileTask> tasks;
    std::map<std::string, std::string> written;  // identity -> the input whose task writes it
    for (std::size_t i = 0; i < commandLine.inputs.size(); ++i) {
        const std::string& input = commandLine.inputs[i];
        FileTask task{input,         commandLine.output,  batch ? std::string() : commandLine.fillMap,
                      folderFailure, commandLine.options, commandLine.compression, commandLine.maximumPixels,
                      guides[i]};
        if (task.refusal.empty())
            task.refusal = guideRefusals[i];
        if (batch) {
            const std::string name = files::StemOf(input);
            task.output = files::JoinPath(commandLine.outputDirectory, name + '.' + OutputFormat(commandLine, input));
            if (!commandLine.fillMap.empty())
                task.fillMap = files::JoinPath(commandLine.fillMap, name + ".png");
        }
        for (const std::string& path : {task.output, task.fillMap}) {
            if (path.empty() || path == "-" || !task.refusal.empty())
                continue;
            const std::string identity = Identity(path);
            if (const auto clash = read.find(identity); clash != read.end())
                task.refusal = QuotedName(input) + ": writing " + QuotedName(path) + " would write over " +
                               clash->second + ".";
            else if (const auto earlier = written.find(identity); earlier != written.end())
                task.refusal = QuotedName(input) + ": " + QuotedName(path) + " is written for " +
                               QuotedName(earlier->second) + " already.";
            else
                written.emplace(identity, input);
        }
        tasks.push_back(task);
    }
    if (commandLine.skipExisting && folderFailure.empty())
        ClearStaleFiles(tasks);
    return tasks;
}

std::string StandardOutputClash(const CommandLine& commandLine)
{
    const bool writes = commandLine.output == "-" || commandLine.stats || commandLine.json;
    struct stat out {};
    if (!writes || ::fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode))
        return {};
    for (const std::string& input : commandLine.inputs) {
        struct stat in {};
        const bool standard = input == "-";
        const int found = standard ? ::fstat(STDIN_FILENO, &in) : ::stat(input.c_str(), &in);
        if (found == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            return "standard output is the input " + QuotedName(standard ? "standard input" : input) +
                   "; writing to it would destroy it, so nothing is written.";
    }
    return {};
}

}  // namespace darkfill::tasks
