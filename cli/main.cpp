// darkfill-cli: fills the holes of grey pictures and depth maps, one file or a
// folder's worth, without a window. See ManualText() for what it does.

#include "cli/TaskRunner.h"
#include "files/FileNames.h"
#include "files/ForeignPlugin.h"
#include "tasks/CommandLine.h"
#include "tasks/TaskPlan.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

using namespace darkfill::tasks;

namespace {

// Descriptors 0, 1 and 2 that the caller closed are opened on /dev/null, so
// that no file this program opens takes their numbers (and a message meant for
// standard error goes into an output).
void OpenClosedStandardStreams()
{
    for (int descriptor = 0; descriptor <= 2; ++descriptor)
        if (::fcntl(descriptor, F_GETFD) < 0 && errno == EBADF) {
            const int opened = ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
            if (opened >= 0 && opened != descriptor) {
                ::dup2(opened, descriptor);
                ::close(opened);
            }
        }
}

// Qt's readers, from their plugin beside the program (in the build tree) or in
// the library folder where it is installed; loaded when a file needs them.
const darkfill::files::ForeignReader* QtReader()
{
    static const darkfill::files::ForeignReader* const reader = [] {
        char path[4096];
        const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
        const std::string folder = length > 0 ? darkfill::files::FolderOf(std::string(path, length)) : ".";
        const std::string name = darkfill::files::QtReaderPluginName;
        return darkfill::files::LoadForeignReader(
            {darkfill::files::JoinPath(folder, name),
             darkfill::files::JoinPath(darkfill::files::JoinPath(folder, DARKFILL_PLUGIN_DIR), name)});
    }();
    return reader;
}

}  // namespace

int main(int argc, char** argv)
{
    OpenClosedStandardStreams();
    // A batch's pictures take memory of the same sizes one after another: kept
    // by the allocator rather than given back and faulted in again for each
    // (a tenth of the time went to the kernel's page faults).
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
    darkfill::files::SetForeignReader(&QtReader);

    const std::vector<std::string> arguments(argv, argv + argc);
    CommandLine commandLine;
    std::string error;
    switch (ParseCommandLine(arguments, commandLine, error)) {
    case CommandLineRequest::Help:
        std::fputs(ManualText().c_str(), stdout);
        return 0;
    case CommandLineRequest::Version:
        std::printf("darkfill-cli %s\n", DARKFILL_VERSION);
        return 0;
    case CommandLineRequest::UsageError:
        std::fprintf(stderr, "darkfill-cli: %s\n%s", error.c_str(), UsageLine().c_str());
        return 2;
    case CommandLineRequest::Run:
        break;
    }
    if (const std::string clash = StandardOutputClash(commandLine); !clash.empty()) {
        std::fprintf(stderr, "darkfill-cli: %s\n", clash.c_str());
        return 1;
    }
    return RunTasks(PlanTasks(commandLine), commandLine);
}
