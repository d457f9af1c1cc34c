// darkfill-cli: fills the holes of grey pictures and depth maps, one file or a
// folder's worth, without a window. See ManualText() for what it does.

#include "cli/CommandLine.h"
#include "cli/FileTask.h"
#include "cli/Progress.h"
#include "cli/Report.h"
#include "cli/TaskPlan.h"
#include "framework/pictures/SystemFileName.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QThread>

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

ExistingOutputs ExistingOutputsOf(const CommandLine& commandLine)
{
    if (commandLine.force)
        return ExistingOutputs::Replace;
    return commandLine.skipExisting ? ExistingOutputs::Skip : ExistingOutputs::Refuse;
}

void Print(std::FILE* stream, const QString& line)
{
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stream);
}

// Fills the tasks on `jobs` threads and reports each one, in the order of the
// inputs, as soon as it and those before it are done. Returns the exit status.
int RunTasks(const std::vector<FileTask>& tasks, const CommandLine& commandLine)
{
    const int total = static_cast<int>(tasks.size());
    const int jobs = std::min(commandLine.jobs > 0 ? commandLine.jobs : QThread::idealThreadCount(), total);
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
    std::FILE* reports = commandLine.output == QStringLiteral("-") ? stderr : stdout;
    const bool batch = !commandLine.outputDirectory.isEmpty();
    Progress progress(total, batch && !commandLine.quiet && ::isatty(STDERR_FILENO));
    QElapsedTimer clock;
    clock.start();
    int reported = 0;
    int failed = 0;
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
                Print(stderr, QStringLiteral("darkfill-cli: ") + outcome.error);
            } else if (commandLine.stats) {
                Print(reports, StatsLine(task, outcome));
            }
            if (commandLine.json)
                Print(reports, JsonLine(task, outcome));
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
    if (commandLine.stats && batch)
        Print(reports, SummaryLine(total - failed, failed, clock.elapsed() / 1000.0, read, analyse, write));
    return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("darkfill-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DARKFILL_VERSION));
    // The decoders may take what the largest picture that can be filled needs,
    // 8 bytes a pixel (16-bit colour), and no more.
    QImageReader::setAllocationLimit(static_cast<int>(darkfill::MaximumCells * 8 / (1024 * 1024)) + 1);

    // The arguments as the system gave them, byte for byte: Qt's own list spells
    // a name that is no UTF-8 differently, so that it names no file.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << FileNameFromSystem(argv[i]);
    CommandLine commandLine;
    QString error;
    switch (ParseCommandLine(arguments, commandLine, error)) {
    case CommandLineRequest::Help:
        std::fputs(ManualText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLineRequest::Version:
        std::printf("darkfill-cli %s\n", DARKFILL_VERSION);
        return 0;
    case CommandLineRequest::UsageError:
        std::fprintf(stderr, "darkfill-cli: %s\n%s", error.toLocal8Bit().constData(),
                     UsageLine().toLocal8Bit().constData());
        return 2;
    case CommandLineRequest::Run:
        break;
    }
    if (const QString clash = StandardOutputClash(commandLine); !clash.isEmpty()) {
        std::fprintf(stderr, "darkfill-cli: %s\n", clash.toLocal8Bit().constData());
        return 1;
    }
    return RunTasks(PlanTasks(commandLine), commandLine);
}
