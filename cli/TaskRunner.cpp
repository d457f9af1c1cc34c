#include "cli/TaskRunner.h"

#include "cli/Progress.h"
#include "tasks/Report.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

using namespace darkfill::tasks;

namespace {

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

// A picture handed from a job's reading thread to its writing thread: one at a
// time, so that a job holds at most three pictures.
class Handoff
{
public:
    struct Item {
        int index;
        FilledPicture filled;
        FileOutcome outcome;
    };

    void Put(Item item)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !slot_; });
        slot_ = std::move(item);
        changed_.notify_all();
    }
    void Close()
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    // The next picture, or none once the reading thread is done.
    std::optional<Item> Take()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return slot_ || closed_; });
        std::optional<Item> item = std::move(slot_);
        slot_.reset();
        changed_.notify_all();
        return item;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Item> slot_;
    bool closed_ = false;
};

// The outcomes as they come in, from any thread, for the reporting loop.
class Outcomes
{
public:
    explicit Outcomes(std::size_t count) : outcomes_(count) {}

    void Finish(int index, FileOutcome outcome)
    {
        const std::lock_guard lock(mutex_);
        outcomes_[index] = std::move(outcome);
        finished_.notify_one();
    }
    // The outcome of the task at index, waiting up to a moment for it.
    std::optional<FileOutcome> Wait(int index)
    {
        std::unique_lock lock(mutex_);
        finished_.wait_for(lock, std::chrono::milliseconds(200), [&] { return outcomes_[index].has_value(); });
        return outcomes_[index];
    }

private:
    std::mutex mutex_;
    std::condition_variable finished_;
    std::vector<std::optional<FileOutcome>> outcomes_;
};

}  // namespace

int RunTasks(const std::vector<FileTask>& tasks, const CommandLine& commandLine)
{
    const int total = static_cast<int>(tasks.size());
    // A job keeps two threads busy, its reading and its writing: one job for
    // every two cores unless told.
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    const int jobs = std::min(commandLine.jobs > 0 ? commandLine.jobs : std::max(1, cores / 2), total);
    const ExistingOutputs existing = ExistingOutputsOf(commandLine);
    Outcomes outcomes(tasks.size());
    std::atomic<int> next{0};

    std::vector<Handoff> handoffs(jobs);
    std::vector<std::thread> threads;
    for (Handoff& handoff : handoffs) {
        threads.emplace_back([&] {
            for (int i = next++; i < total; i = next++) {
                FileOutcome outcome;
                if (std::optional<FilledPicture> filled = ReadAndFill(tasks[i], existing, outcome))
                    handoff.Put({i, std::move(*filled), std::move(outcome)});
                else
                    outcomes.Finish(i, std::move(outcome));
            }
            handoff.Close();
        });
        threads.emplace_back([&] {
            while (std::optional<Handoff::Item> item = handoff.Take()) {
                WriteFilled(tasks[item->index], existing, item->filled, item->outcome);
                item->filled = {};
                outcomes.Finish(item->index, std::move(item->outcome));
            }
        });
    }

    std::FILE* reports = commandLine.output == "-" ? stderr : stdout;
    const bool batch = !commandLine.outputDirectory.empty();
    Progress progress(total, batch && !commandLine.quiet && ::isatty(STDERR_FILENO));
    const auto started = std::chrono::steady_clock::now();
    int failed = 0;
    bool usageErrors = false;
    int reportsLost = 0;  // why reports were lost, or 0
    const auto report = [&](const std::string& line) {
        if (const int error = Print(reports, line); error && !reportsLost)
            reportsLost = error;
    };
    double read = 0, analyse = 0, write = 0;
    for (int reported = 0; reported < total;) {
        const std::optional<FileOutcome> outcome = outcomes.Wait(reported);
        if (outcome) {
            const FileTask& task = tasks[reported++];
            progress.Clear();
            if (!outcome->ok) {
                ++failed;
                usageErrors = usageErrors || outcome->usageError;
                Print(stderr, "darkfill-cli: " + outcome->error);
            } else if (commandLine.stats) {
                report(StatsLine(task, *outcome));
            }
            if (commandLine.json)
                report(JsonLine(task, *outcome));
            read += outcome->readMilliseconds;
            analyse += outcome->analyseMilliseconds;
            write += outcome->writeMilliseconds;
        }
        progress.Show(reported);
    }
    for (std::thread& thread : threads)
        thread.join();
    progress.Clear();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (commandLine.stats && batch)
        report(SummaryLine(total - failed, failed, seconds, read, analyse, write));
    if (reportsLost)
        Print(stderr, std::string("darkfill-cli: the reports could not be written to ") +
                          (reports == stdout ? "standard output" : "standard error") + ": " +
                          std::strerror(reportsLost) + ".");
    if (usageErrors)
        return 2;
    return failed > 0 || reportsLost ? 1 : 0;
}
