// darkfill-cli on a batch of generated 640 x 480 16-bit PNG depth maps, with one
// job and with two, side by side: pictures a second, the speed-up, where the time
// goes (from the tool's own --stats), and the most memory one job's process holds.
//   build/bench/batch_bench DARKFILL_CLI [PICTURES]

#include "framework/pictures/GreyPicture.h"
#include "framework/pictures/PictureWriter.h"
#include "testing/rasters/GeneratedRasters.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
    double seconds = 0;
    std::string output;
};

// Runs the tool to its end, its standard output into a file.
Outcome RunTool(const std::vector<std::string>& arguments, const std::string& outputFile)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    Outcome outcome;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return outcome;
    }
    int status = 0;
    waitpid(child, &status, 0);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream in(outputFile);
    std::stringstream text;
    text << in.rdbuf();
    outcome.output = text.str();
    posix_spawn_file_actions_destroy(&actions);
    return outcome;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: batch_bench DARKFILL_CLI [PICTURES]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const int pictures = argc > 2 ? std::atoi(argv[2]) : 200;
    QTemporaryDir folder;
    const QDir dir(folder.path());
    std::vector<std::string> inputs;
    for (int i = 0; i < pictures; ++i) {
        const std::vector<std::int32_t> raster = DepthLikeRaster(480, 640, 5 + i % 30, static_cast<unsigned>(i), 65535);
        const GreyPicture picture{640, 480, 16, std::vector<std::uint16_t>(raster.begin(), raster.end())};
        const QString path = dir.filePath(QStringLiteral("depth%1.png").arg(i, 4, 10, QLatin1Char('0')));
        WriteGreyPicture(picture, path);
        inputs.push_back(path.toStdString());
    }
    const std::string report = dir.filePath(QStringLiteral("report.txt")).toStdString();
    double oneJob = 0;
    for (const char* jobs : {"1", "2"}) {
        std::vector<std::string> arguments = {tool};
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        for (const char* option : {"--output-dir", "", "--jobs", jobs, "--stats", "--force", "--quiet"})
            arguments.push_back(option);
        arguments[inputs.size() + 2] = dir.filePath(QStringLiteral("out")).toStdString();
        const Outcome outcome = RunTool(arguments, report);
        const std::string summary = outcome.output.substr(outcome.output.rfind('\n', outcome.output.size() - 2) + 1);
        std::printf("--jobs %s: %d pictures in %.2f s, %.1f pictures/s%s\n  %s", jobs, pictures, outcome.seconds,
                    pictures / outcome.seconds,
                    oneJob > 0 ? (" (" + std::to_string(oneJob / outcome.seconds).substr(0, 4) + " x one job)").c_str()
                               : "",
                    summary.c_str());
        oneJob = oneJob > 0 ? oneJob : outcome.seconds;
    }
    // One 1280 x 720 picture against no picture at all: what one job adds.
    const std::vector<std::int32_t> raster = DepthLikeRaster(720, 1280, 15, 7, 65535);
    const QString large = dir.filePath(QStringLiteral("large.png"));
    WriteGreyPicture({1280, 720, 16, std::vector<std::uint16_t>(raster.begin(), raster.end())}, large);
    // GNU time starts the tool as a child of its own and tells its peak: a
    // process keeps the peak of the one that it was spawned from, which would
    // be this benchmark's, and the tool no longer exceeds it.
    const auto peak = [&](std::vector<std::string> arguments) {
        const std::string said = report + ".peak";
        arguments.insert(arguments.begin(), {"/usr/bin/time", "-f", "%M", "-o", said});
        RunTool(arguments, report);
        std::ifstream in(said);
        long kilobytes = -1;
        in >> kilobytes;
        return kilobytes;
    };
    const long idle = peak({tool, "--version"});
    const long job =
        peak({tool, large.toStdString(), "-o", dir.filePath(QStringLiteral("large-out.png")).toStdString(), "--force"});
    if (idle < 0 || job < 0)
        std::printf("peak memory: not measured (GNU time, /usr/bin/time, is missing)\n");
    else
        std::printf("peak memory of one job on 1280 x 720: %ld kB above the idle process (%ld kB), %.1f bytes a cell\n",
                    job - idle, idle, (job - idle) * 1024.0 / (1280 * 720));
    return 0;
}
