#include "cli/FileTask.h"

#include "framework/core/Exception.h"
#include "framework/pictures/GreyPicture.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/PictureWriter.h"
#include "framework/pictures/SystemFileName.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <iterator>
#include <utility>
#include <vector>

namespace {

const QString StandardStream = QStringLiteral("-");

[[noreturn]] void Fail(const QString& message)
{
    throw Exception(message.toStdString());
}

double Milliseconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

GreyPicture ReadInput(const QString& input)
{
    if (input == StandardStream) {
        QFile in;
        in.open(stdin, QIODevice::ReadOnly);
        const QString name = QStringLiteral("standard input");
        return GreyPictureOfImage(DecodePictureImage(
            ReadPictureStream(in, name, MaximumPictureFileBytes, darkfill::MaximumCells), name, darkfill::MaximumCells));
    }
    return GreyPictureOfImage(DecodePictureImage(ReadPictureFileBytes(input), input, darkfill::MaximumCells));
}

bool Exists(const QString& path)
{
    return path != StandardStream && FileExists(path);
}

// Whether the task is done already: with Skip, an output that exists with its
// fill map (where one is asked for); only one of them is refused, as it is
// without Skip.
bool AlreadyDone(const FileTask& task, ExistingOutputs existing)
{
    const bool output = Exists(task.output), map = Exists(task.fillMap);
    if (existing == ExistingOutputs::Replace || (!output && !map))
        return false;
    if (existing == ExistingOutputs::Skip && output && (map || task.fillMap.isEmpty()))
        return true;
    if (existing == ExistingOutputs::Skip)
        Fail(QStringLiteral("%1 exists without %2; --force writes both again.")
                 .arg(QuotedFileName(output ? task.output : task.fillMap),
                      QuotedFileName(output ? task.fillMap : task.output)));
    Fail(QStringLiteral("%1 exists; --force writes over it.").arg(QuotedFileName(output ? task.output : task.fillMap)));
}

// The result's bytes: in the format of the name's extension, PNG for a name
// without one, like standard output.
QByteArray EncodeResult(const GreyPicture& result, const QString& output)
{
    if (output == StandardStream)
        return EncodeGreyPicture(result, PictureFormat::Png, QStringLiteral("standard output"));
    if (QFileInfo(output).suffix().isEmpty())
        return EncodeGreyPicture(result, PictureFormat::Png, output);
    return EncodeGreyPicture(result, RequireFormatOf(output), output);
}

QByteArray EncodeFillMap(const GreyPicture& picture, const std::vector<darkfill::ValueSource>& sources,
                         const QString& path)
{
    const std::vector<std::uint32_t> palette(std::begin(darkfill::FillMapColours), std::end(darkfill::FillMapColours));
    std::vector<std::uint8_t> indexes(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i)
        indexes[i] = static_cast<std::uint8_t>(sources[i]);
    return EncodePalettePicture(picture.width, picture.height, indexes, palette, path);
}

void WriteStandardOutput(const QByteArray& bytes)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(bytes) != bytes.size())
        Fail(QStringLiteral("Cannot write the result to standard output: %1.").arg(out.errorString()));
}

}  // namespace

FileOutcome RunFileTask(const FileTask& task, ExistingOutputs existing)
{
    FileOutcome outcome;
    try {
        if (!task.refusal.isEmpty())
            Fail(task.refusal);
        if (AlreadyDone(task, existing)) {
            outcome.ok = outcome.alreadyDone = true;
            return outcome;
        }

        QElapsedTimer timer;
        timer.start();
        GreyPicture picture = ReadInput(task.input);
        outcome.width = picture.width;
        outcome.height = picture.height;
        outcome.bitsPerValue = picture.bitsPerValue;
        if (static_cast<long long>(picture.width) * picture.height > darkfill::MaximumCells)
            Fail(QStringLiteral("%1 is %2 x %3 pixels; pictures of at most %4 pixels can be filled.")
                     .arg(QuotedFileName(task.input))
                     .arg(picture.width)
                     .arg(picture.height)
                     .arg(darkfill::MaximumCells));
        outcome.readMilliseconds = Milliseconds(timer);

        timer.restart();
        const darkfill::RasterView<std::uint16_t> values(picture.values.data(), picture.height, picture.width);
        std::vector<darkfill::ValueSource> sources(task.fillMap.isEmpty() ? 0 : picture.values.size());
        darkfill::FillHoles(values, values, task.options,
                            {.fillMap = darkfill::RasterView<darkfill::ValueSource>(
                                 sources.empty() ? nullptr : sources.data(), picture.height, picture.width),
                             .counts = &outcome.counts});
        outcome.analyseMilliseconds = Milliseconds(timer);

        // The result and its map are one: both are made before either is put
        // in place, and neither stays new without the other. Without --force,
        // what appears under their names meanwhile is kept: the check above
        // only spares the work.
        timer.restart();
        const ExistingFile onWriting = existing == ExistingOutputs::Replace ? ExistingFile::Replace : ExistingFile::Keep;
        std::vector<std::pair<QString, QByteArray>> files;
        const QByteArray result = EncodeResult(picture, task.output);
        if (task.output != StandardStream)
            files.emplace_back(task.output, result);
        if (!task.fillMap.isEmpty())
            files.emplace_back(task.fillMap, EncodeFillMap(picture, sources, task.fillMap));
        WriteFilesAtomically(files, onWriting);
        if (task.output == StandardStream)
            WriteStandardOutput(result);
        outcome.writeMilliseconds = Milliseconds(timer);
        outcome.ok = true;
    } catch (const Exception& e) {
        outcome.error = QString::fromStdString(e.Message);
    } catch (const std::bad_alloc&) {
        outcome.error = QStringLiteral("%1: there is not enough memory to fill it.").arg(QuotedFileName(task.input));
    }
    return outcome;
}
