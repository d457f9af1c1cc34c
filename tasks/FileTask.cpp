#include "tasks/FileTask.h"

#include "files/AtomicWrite.h"
#include "files/ByteSource.h"
#include "files/FileError.h"
#include "files/FileNames.h"
#include "files/PictureReader.h"
#include "files/PictureWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace darkfill::tasks {

namespace {

using files::FileError;
using files::QuotedName;
using Clock = std::chrono::steady_clock;

const std::string StandardStream = "-";

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Exists(const std::string& path)
{
    struct stat status {};
    return path != StandardStream && !path.empty() && ::stat(path.c_str(), &status) == 0;
}

// Whether the task is done already: with Skip, an output that exists with its
// fill map (where one is asked for); only one of them is refused, as it is
// without Skip.
bool AlreadyDone(const FileTask& task, ExistingOutputs existing)
{
    const bool output = Exists(task.output), map = Exists(task.fillMap);
    if (existing == ExistingOutputs::Replace || (!output && !map))
        return false;
    if (existing == ExistingOutputs::Skip && output && (map || task.fillMap.empty()))
        return true;
    if (existing == ExistingOutputs::Skip)
        throw FileError(QuotedName(output ? task.output : task.fillMap) + " exists without " +
                        QuotedName(output ? task.fillMap : task.output) + "; --force writes both again.");
    throw FileError(QuotedName(output ? task.output : task.fillMap) + " exists; --force writes over it.");
}

// What a picture beyond the limit would take: the picture, its result written
// over it, the fill's 4 bytes a cell of labels and about 2 of bits, runs and
// notes, and the encoded result.
std::string MemoryOfFill(long long pixels, int sampleBytes)
{
    const double bytes = static_cast<double>(pixels) * (2.0 * sampleBytes + 6.0);
    char text[160];
    std::snprintf(text, sizeof text, "its fill would take about %.*f %s of memory; --max-pixels %lld reads it",
                  bytes < 1e9 ? 0 : 1, bytes < 1e6 ? bytes / 1e3 : bytes < 1e9 ? bytes / 1e6 : bytes / 1e9,
                  bytes < 1e6 ? "kB" : bytes < 1e9 ? "MB" : "GB", pixels);
    return text;
}

files::Picture ReadInput(const FileTask& task)
{
    files::ByteSource source = task.input == StandardStream ? files::ByteSource::StandardInput()
                                                            : files::ByteSource::OpenFile(task.input);
    return files::ReadPicture(source, {.maximumPixels = task.maximumPixels, .beyondLimit = MemoryOfFill});
}

// The guide of the guided rule, read as colour, and how the library reads it: an
// 8-bit grey or colour picture (its alpha left out) or a 16-bit grey one, of the
// input's size.
struct Guide {
    files::Picture picture;
    GuideView view;
};

Guide ReadGuide(const FileTask& task, const files::Picture& input)
{
    files::ByteSource source = files::ByteSource::OpenFile(task.guide);
    Guide guide{files::ReadPicture(source, {.maximumPixels = task.maximumPixels}, files::ReadAs::Colour), {}};
    const files::Picture& picture = guide.picture;
    if (picture.width != input.width || picture.height != input.height)
        throw FileError("the guide " + QuotedName(task.guide) + " is " + std::to_string(picture.width) + " x " +
                            std::to_string(picture.height) + " pixels and " + QuotedName(task.input) + " " +
                            std::to_string(input.width) + " x " + std::to_string(input.height) +
                            "; a guide has its picture's size",
                        FileError::Kind::Usage);
    GuideFormat format = GuideFormat::Grey8;
    if (picture.type == files::SampleType::U8 && picture.channels >= 3)
        format = GuideFormat::Rgb8;
    else if (picture.type == files::SampleType::U16 && picture.channels == 1)
        format = GuideFormat::Grey16;
    else if (picture.type != files::SampleType::U8 || picture.channels != 1)
        throw FileError("the guide " + QuotedName(task.guide) + " holds " + std::to_string(BytesOf(picture.type) * 8) +
                            "-bit " + (picture.channels == 1 ? "grey" : "colour") +
                            " values; a guide is 8-bit grey or colour, or 16-bit grey",
                        FileError::Kind::Usage);
    guide.view = GuideView(picture.bytes.data(), format, picture.height, picture.width,
                           static_cast<std::ptrdiff_t>(picture.RowBytes()), picture.channels * BytesOf(picture.type));
    return guide;
}

// A float picture's unknown values as the library's holes: +inf (Middlebury's
// unknown disparity) becomes NaN, which the fill replaces.
void MarkInfiniteAsHoles(files::Picture& picture)
{
    if (picture.type != files::SampleType::F32)
        return;
    auto* values = reinterpret_cast<float*>(picture.bytes.data());
    const std::size_t count = picture.bytes.size() / sizeof(float);
    for (std::size_t i = 0; i < count; ++i)
        if (std::isinf(values[i]) && values[i] > 0)
            values[i] = std::nanf("");
}

// A Filler a thread, kept from one picture to the next so that a batch's
// pictures of one size need no fresh working memory; one that a large picture
// made large gives its memory back.
constexpr std::size_t KeptFillerBytes = 64 << 20;

template <class Value>
void FillAs(Filler& filler, files::Picture& picture, const FillOptions& options, const FillExtras& extras)
{
    const RasterView<Value> values(reinterpret_cast<Value*>(picture.bytes.data()), picture.height, picture.width);
    filler.Fill(values, values, options, extras);
}

void Fill(files::Picture& picture, const FillOptions& options, const FillExtras& extras)
{
    static thread_local Filler filler;
    switch (picture.type) {
    case files::SampleType::U8:
        FillAs<std::uint8_t>(filler, picture, options, extras);
        break;
    case files::SampleType::U16:
        FillAs<std::uint16_t>(filler, picture, options, extras);
        break;
    case files::SampleType::I32:
        FillAs<std::int32_t>(filler, picture, options, extras);
        break;
    case files::SampleType::F32:
        FillAs<float>(filler, picture, options, extras);
        break;
    }
    if (filler.HeldBytes() > KeptFillerBytes)
        filler.Release();
}

// The input's own format, for an output that names none: standard output, a
// float or 32-bit integer picture.
files::FileFormat InputFormat(const std::string& input, files::SampleType type)
{
    if (type == files::SampleType::U8 || type == files::SampleType::U16)
        return files::FileFormat::Png;
    if (const std::optional<files::FileFormat> format = files::FormatOfName(input);
        format && files::Holds(*format, type))
        return *format;
    return type == files::SampleType::F32 ? files::FileFormat::Pfm : files::FileFormat::Npy;
}

// The result's bytes: in the format of the name's extension; PNG for a name
// without one, and for standard output (where a float picture keeps its
// input's format).
std::vector<std::uint8_t> EncodeResult(const files::Picture& result, const FileTask& task)
{
    const files::WriteOptions options{.level = task.compression};
    if (task.output == StandardStream)
        return files::EncodePicture(result, InputFormat(task.input, result.type), options, "standard output");
    const files::FileFormat format = files::FormatOfName(task.output).value_or(files::FileFormat::Png);
    return files::EncodePicture(result, format, options, task.output);
}

std::vector<std::uint8_t> EncodeFillMap(const files::Picture& picture, const std::vector<ValueSource>& sources,
                                        const FileTask& task)
{
    const files::FileFormat format = files::FormatOfName(task.fillMap).value_or(files::FileFormat::Png);
    return files::EncodePalette(picture.width, picture.height,
                                {reinterpret_cast<const std::uint8_t*>(sources.data()), sources.size()},
                                FillMapColours, format, {.level = task.compression}, task.fillMap);
}

void WriteStandardOutput(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileError(std::string("Cannot write the result to standard output: ") +
                            std::strerror(n < 0 ? errno : ENOSPC) + ".");
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

namespace {

// Runs a stage, telling any failure in the outcome.
template <class Stage>
auto Telling(FileOutcome& outcome, const FileTask& task, Stage stage) -> decltype(stage())
{
    try {
        return stage();
    } catch (const FileError& e) {
        outcome.error = e.what();
        outcome.usageError = e.kind() == FileError::Kind::Usage;
    } catch (const std::bad_alloc&) {
        outcome.error = QuotedName(task.input) + ": there is not enough memory to fill it.";
    }
    return decltype(stage())();
}

}  // namespace

std::optional<FilledPicture> ReadAndFill(const FileTask& task, ExistingOutputs existing, FileOutcome& outcome)
{
    return Telling(outcome, task, [&]() -> std::optional<FilledPicture> {
        if (!task.refusal.empty())
            throw FileError(task.refusal);
        if (AlreadyDone(task, existing)) {
            outcome.ok = outcome.alreadyDone = true;
            return std::nullopt;
        }

        Clock::time_point start = Clock::now();
        FilledPicture filled{ReadInput(task), {}};
        files::Picture& picture = filled.picture;
        outcome.width = picture.width;
        outcome.height = picture.height;
        outcome.type = picture.type;
        FillOptions options = task.options;
        std::optional<Guide> guide;
        if (!task.guide.empty()) {
            guide = ReadGuide(task, picture);
            options.guide = guide->view;
        }
        outcome.readMilliseconds = MillisecondsSince(start);

        start = Clock::now();
        MarkInfiniteAsHoles(picture);
        filled.sources.resize(task.fillMap.empty() ? 0 : std::size_t(picture.Pixels()));
        Fill(picture, options,
             {.fillMap = RasterView<ValueSource>(filled.sources.empty() ? nullptr : filled.sources.data(),
                                                 picture.height, picture.width),
              .counts = &outcome.counts});
        outcome.analyseMilliseconds = MillisecondsSince(start);
        return filled;
    });
}

void WriteFilled(const FileTask& task, ExistingOutputs existing, FilledPicture& filled, FileOutcome& outcome)
{
    Telling(outcome, task, [&] {
        // The result and its map are one: both are made before either is put
        // in place, and neither stays new without the other. Without --force,
        // what appears under their names meanwhile is kept: the check before
        // reading only spares the work.
        const Clock::time_point start = Clock::now();
        std::vector<files::FileBytes> written;
        std::vector<std::uint8_t> result = EncodeResult(filled.picture, task);
        if (task.output != StandardStream)
            written.push_back({task.output, std::move(result)});
        if (!task.fillMap.empty())
            written.push_back({task.fillMap, EncodeFillMap(filled.picture, filled.sources, task)});
        files::WriteFilesAtomically(written, existing == ExistingOutputs::Replace ? files::ExistingFile::Replace
                                                                                  : files::ExistingFile::Keep);
        if (task.output == StandardStream)
            WriteStandardOutput(result);
        outcome.writeMilliseconds = MillisecondsSince(start);
        outcome.ok = true;
    });
}

FileOutcome RunFileTask(const FileTask& task, ExistingOutputs existing)
{
    FileOutcome outcome;
    if (std::optional<FilledPicture> filled = ReadAndFill(task, existing, outcome))
        WriteFilled(task, existing, *filled, outcome);
    return outcome;
}

}  // namespace darkfill::tasks
