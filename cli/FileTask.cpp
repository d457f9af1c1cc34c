#include "cli/FileTask.h"

#include "framework/core/Exception.h"
#include "framework/pictures/GreyPicture.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/PictureWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <iterator>
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
        return GreyPictureOfImage(DecodePictureImage(ReadPictureStream(in, QStringLiteral("standard input")),
                                                     QStringLiteral("standard input")));
    }
    return GreyPictureOfImage(DecodePictureImage(ReadPictureFileBytes(input), input));
}

void RefuseExisting(const QString& path, bool force)
{
    if (!force && path != StandardStream && QFileInfo::exists(path))
        Fail(QStringLiteral("%1 exists; --force writes over it.").arg(QuotedFileName(path)));
}

void WriteOutput(const GreyPicture& result, const QString& output, ExistingFile existing)
{
    // A name without an extension, like standard output, gets PNG.
    if (output != StandardStream && !QFileInfo(output).suffix().isEmpty()) {
        WriteGreyPicture(result, output, existing);
        return;
    }
    if (output != StandardStream) {
        WriteFileAtomically(output, EncodeGreyPicture(result, PictureFormat::Png, output), existing);
        return;
    }
    const QByteArray bytes = EncodeGreyPicture(result, PictureFormat::Png, QStringLiteral("standard output"));
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(bytes) != bytes.size())
        Fail(QStringLiteral("Cannot write the result to standard output: %1.").arg(out.errorString()));
}

void WriteFillMap(const GreyPicture& picture, const std::vector<darkfill::ValueSource>& sources, const QString& path,
                  ExistingFile existing)
{
    const std::vector<std::uint32_t> palette(std::begin(darkfill::FillMapColours), std::end(darkfill::FillMapColours));
    std::vector<std::uint8_t> indexes(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i)
        indexes[i] = static_cast<std::uint8_t>(sources[i]);
    WritePalettePicture(picture.width, picture.height, indexes, palette, path, existing);
}

}  // namespace

FileOutcome RunFileTask(const FileTask& task, bool force)
{
    FileOutcome outcome;
    try {
        if (!task.refusal.isEmpty())
            Fail(task.refusal);
        RefuseExisting(task.output, force);
        if (!task.fillMap.isEmpty())
            RefuseExisting(task.fillMap, force);

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

        // Without --force, what appears under an output's name while it is
        // being made is kept: the check above only spares the work.
        timer.restart();
        const ExistingFile existing = force ? ExistingFile::Replace : ExistingFile::Keep;
        WriteOutput(picture, task.output, existing);
        if (!task.fillMap.isEmpty())
            WriteFillMap(picture, sources, task.fillMap, existing);
        outcome.writeMilliseconds = Milliseconds(timer);
        outcome.ok = true;
    } catch (const Exception& e) {
        outcome.error = QString::fromStdString(e.Message);
    } catch (const std::bad_alloc&) {
        outcome.error = QStringLiteral("%1: there is not enough memory to fill it.").arg(QuotedFileName(task.input));
    }
    return outcome;
}
