// darkfill-cli: fills the holes of grey pictures and depth maps, one file or a
// folder's worth, without a window. See ManualText() for what it does.

#include "cli/Progress.h"
#include "files/PictureReader.h"
#include "framework/pictures/QtPictureReader.h"
#include "tasks/CommandLine.h"
#include "tasks/FileTask.h"
#include "tasks/Report.h"
#include "tasks/TaskPlan.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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

ExistingOutputs ExistingOutputsOf(const CommandLine& commandLine)
{
    if (commandLine.force)
        return ExistingOutputs::Replace;
    return commandLine.skipExisting ? ExistingOutputs::Skip : ExistingOutputs::Refuse;
}

// Prints a line; the error where it could not be written whole (a full disk),
// else 0.
int Print(std::FILE* stream, const std::string& line)
{
    errno = 0;
    const bool written = std::fprintf(stream, "%s\n", line.c_str()) >= 0;
    if (std::fflush(stream) == 0 && written)
        return 0;
    return errno ? errno : EIO;
}

// Fills the tasks on `jobs` threads and reports each one, in the order of the
// inputs, as soon as it and those before it are done. Returns the exit status.
int RunTasks(const std::vector<FileTask>& tasks, const CommandLine& commandLine)
{
    const int total = static_cast<int>(tasks.size());
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    const int jobs = std::min(commandLine.jobs > 0 ? commandLine.jobs : std::max(1, cores), total);
    std::vector<std::optional<FileOutcome>> outcomes(tasks.size());
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable finished;

    std::vector<std::thread> workers;
    for (int j = 0; j < jobs; ++j)
        workers.emplace_back([&] {
            for (int i = next++; i < total; i = next++) {
                FileOutcome outcome = RunFileTask(tasks[i], ExistingOutputsOf(commandLine));
                const std::lock_guard lock(mutex);
                outcomes[i] = std::move(outcome);
                finished.notify_one();
            }
        });

    // Reports go to standard output unless the result itself does.
    std::FILE* reports = commandLine.output == "-" ? stderr : stdout;
    const bool batch = !commandLine.outputDirectory.empty();
    Progress progress(total, batch && !commandLine.quiet && ::isatty(STDERR_FILENO));
    const auto started = std::chrono::steady_clock::now();
    int reported = 0, failed = 0;
    bool usageErrors = false;
    int reportsLost = 0;  // why reports were lost, or 0
    const auto report = [&](const std::string& line) {
        if (const int error = Print(reports, line); error && !reportsLost)
            reportsLost = error;
    };
    double read = 0, analyse = 0, write = 0;
    while (reported < total) {
        std::unique_lock lock(mutex);
        finished.wait_for(lock, std::chrono::milliseconds(200), [&] { return outcomes[reported].has_value(); });
        while (reported < total && outcomes[reported]) {
            const FileOutcome outcome = *outcomes[reported];
            const FileTask& task = tasks[reported++];
            lock.unlock();
            progress.Clear();
            if (!outcome.ok) {
                ++failed;
                usageErrors = usageErrors || outcome.usageError;
                Print(stderr, "darkfill-cli: " + outcome.error);
            } else if (commandLine.stats) {
                report(StatsLine(task, outcome));
            }
            if (commandLine.json)
                report(JsonLine(task, outcome));
            read += outcome.readMilliseconds;
            analyse += outcome.analyseMilliseconds;
            write += outcome.writeMilliseconds;
            lock.lock();
        }
        lock.unlock();
        progress.Show(reported);
    }
    for (std::thread& worker : workers)
        worker.join();
    progress.Clear();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (commandLine.stats && batch)
        report(SummaryLine(total - failed, failed, seconds, read, analyse, write));
    if (reportsLost) {
        Print(stderr, std::string("darkfill-cli: the reports could not be written to ") +
                          (reports == stdout ? "standard output" : "standard error") + ": " +
                          std::strerror(reportsLost) + ".");
        return usageErrors ? 2 : 1;
    }
    return usageErrors ? 2 : failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    OpenClosedStandardStreams();
    // The formats that only Qt reads go to its readers.
    darkfill::files::SetForeignReader(&QtPictureReader::Instance);

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
