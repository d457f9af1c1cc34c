#include "cli/CommandLine.h"

#include "framework/pictures/PictureFile.h"
#include "framework/pictures/PictureWriter.h"
#include "framework/pictures/SystemFileName.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// A name whose extension asks for a format that no writer here knows; a name
// without one is written as PNG.
bool UnwritableExtension(const QString& fileName)
{
    return !QFileInfo(fileName).suffix().isEmpty() && !FormatOfFileName(fileName);
}

bool SameFolder(const QString& a, const QString& b)
{
    return AbsoluteFileName(a) == AbsoluteFileName(b) ||
           (FileExists(a) && CanonicalFileName(a) == CanonicalFileName(b));
}

struct RuleName {
    darkfill::FillRule rule;
    const char* name;
};
constexpr RuleName RuleNames[] = {{darkfill::FillRule::RowsColumns, "rows-columns"},
                                  {darkfill::FillRule::Nearest, "nearest"},
                                  {darkfill::FillRule::Background, "background"}};

}  // namespace

std::optional<darkfill::FillRule> FillRuleNamed(const QString& name)
{
    for (const RuleName& entry : RuleNames)
        if (name == QLatin1String(entry.name))
            return entry.rule;
    return std::nullopt;
}

QString NameOf(darkfill::FillRule rule)
{
    for (const RuleName& entry : RuleNames)
        if (entry.rule == rule)
            return QLatin1String(entry.name);
    return {};
}

std::optional<darkfill::FarSide> FarSideNamed(const QString& name)
{
    if (name == QLatin1String("larger"))
        return darkfill::FarSide::Larger;
    if (name == QLatin1String("smaller"))
        return darkfill::FarSide::Smaller;
    return std::nullopt;
}

QString NameOf(darkfill::FarSide far)
{
    return far == darkfill::FarSide::Smaller ? QStringLiteral("smaller") : QStringLiteral("larger");
}

CommandLineRequest ParseCommandLine(const QStringList& arguments, CommandLine& commandLine, QString& error)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    const QCommandLineOption output(QStringLiteral("o"), QString(), QStringLiteral("OUT"));
    const QCommandLineOption outputDirectory(QStringLiteral("output-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption fillMap(QStringLiteral("fill-map"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")}, QString(), QStringLiteral("N"));
    const QCommandLineOption stats(QStringLiteral("stats"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption force({QStringLiteral("f"), QStringLiteral("force")}, QString());
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")}, QString());
    const QCommandLineOption skipExisting(QStringLiteral("skip-existing"), QString());
    const QCommandLineOption rule(QStringLiteral("rule"), QString(), QStringLiteral("RULE"));
    const QCommandLineOption far(QStringLiteral("far"), QString(), QStringLiteral("SIDE"));
    parser.addOptions({help, version, output, outputDirectory, fillMap, format, jobs, stats, json, force, quiet,
                       skipExisting, rule, far});

    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return CommandLineRequest::UsageError;
    }
    if (parser.isSet(help))
        return CommandLineRequest::Help;
    if (parser.isSet(version))
        return CommandLineRequest::Version;

    commandLine.inputs = parser.positionalArguments();
    commandLine.output = parser.value(output);
    commandLine.outputDirectory = parser.value(outputDirectory);
    commandLine.fillMap = parser.value(fillMap);
    commandLine.stats = parser.isSet(stats);
    commandLine.json = parser.isSet(json);
    commandLine.force = parser.isSet(force);
    commandLine.skipExisting = parser.isSet(skipExisting);
    commandLine.quiet = parser.isSet(quiet);
    if (parser.isSet(format))
        commandLine.format = parser.value(format).toLower();

    const bool batch = parser.isSet(outputDirectory);
    if (commandLine.inputs.isEmpty())
        error = QStringLiteral("no input picture is given");
    else if (parser.isSet(output) == batch)
        error = QStringLiteral("give either -o OUT for one picture or --output-dir DIR for several");
    else if (!batch && commandLine.inputs.size() > 1)
        error = QStringLiteral("-o writes one picture; several inputs need --output-dir DIR");
    else if (batch && commandLine.inputs.contains(QStringLiteral("-")))
        error = QStringLiteral("standard input (-) can be read in the one-picture form only");
    else if (commandLine.output.isEmpty() && !batch)
        error = QStringLiteral("-o needs a file name, or - for standard output");
    else if (parser.isSet(format) && !batch)
        error = QStringLiteral("--format is for --output-dir; with -o the output's extension picks the format");
    else if (!FormatOfFileName(QStringLiteral("x.") + commandLine.format))
        error = QStringLiteral("the format %1 is unknown; use png, pgm, tiff, bmp or ppm").arg(commandLine.format);
    else if (commandLine.force && commandLine.skipExisting)
        error = QStringLiteral("--force writes over what --skip-existing leaves; give one of them");
    else if (batch && commandLine.outputDirectory.isEmpty())
        error = QStringLiteral("--output-dir needs a folder name");
    else if (!batch && commandLine.output != QStringLiteral("-") && UnwritableExtension(commandLine.output))
        error = QStringLiteral("the extension of %1 names no format that can be written; use .png, .pgm, .tif, "
                               ".tiff, .bmp or .ppm")
                    .arg(QuotedFileName(commandLine.output));
    else if (parser.isSet(fillMap) && commandLine.fillMap.isEmpty())
        error = QStringLiteral("--fill-map needs a path");
    else if (!batch && UnwritableExtension(commandLine.fillMap))
        error = QStringLiteral("the extension of the fill map %1 names no format that can be written; use .png")
                    .arg(QuotedFileName(commandLine.fillMap));
    else if (batch && !commandLine.fillMap.isEmpty() && SameFolder(commandLine.fillMap, commandLine.outputDirectory))
        error = QStringLiteral("--fill-map needs a folder of its own: the maps would take the outputs' names");
    const std::optional<darkfill::FillRule> ruleNamed = FillRuleNamed(parser.value(rule));
    const std::optional<darkfill::FarSide> farNamed = FarSideNamed(parser.value(far));
    if (parser.isSet(rule) && !ruleNamed)
        error = QStringLiteral("the rule %1 is unknown; use rows-columns, nearest or background")
                    .arg(parser.value(rule));
    else if (parser.isSet(far) && !farNamed)
        error = QStringLiteral("--far needs larger or smaller");
    else if (parser.isSet(far) && ruleNamed != darkfill::FillRule::Background)
        error = QStringLiteral("--far is for --rule background");
    commandLine.options.rule = ruleNamed.value_or(darkfill::FillRule::RowsColumns);
    commandLine.options.far = farNamed.value_or(darkfill::FarSide::Larger);
    if (parser.isSet(jobs)) {
        bool number = false;
        commandLine.jobs = parser.value(jobs).toInt(&number);
        if (!number || commandLine.jobs < 1)
            error = QStringLiteral("--jobs needs a whole number from 1 up");
    }
    return error.isEmpty() ? CommandLineRequest::Run : CommandLineRequest::UsageError;
}

QString UsageLine()
{
    return QStringLiteral("usage: darkfill-cli IN -o OUT [options]\n"
                          "       darkfill-cli IN... --output-dir DIR [options]\n"
                          "Try 'darkfill-cli --help' for more.\n");
}

QString ManualText()
{
    return QStringLiteral(R"(NAME
    darkfill-cli - fill the holes of grey pictures and depth maps

SYNOPSIS
    darkfill-cli IN -o OUT [--fill-map MAP] [--rule RULE [--far SIDE]]
                 [--stats] [--json] [--force]
    darkfill-cli IN... --output-dir DIR [--format FORMAT] [--fill-map DIR]
                 [--rule RULE [--far SIDE]] [--jobs N] [--stats] [--json]
                 [--force] [--quiet]

DESCRIPTION
    Reads each picture's grey values (the blue channel of a colour picture) at
    the picture's own depth, 8 or 16 bits, and fills its holes, the values that
    are exactly 0: every dark region of more than 5 pixels that exactly one value
    surrounds takes that value; every 0 left is filled from the nearest value
    above 0 on its row or column, at most 499 pixels away (at equal distance:
    left, then right, below, above); --rule chooses another way for these.
    The result is written as grey at the input's depth.

    Reads BMP, PNG, JPEG, GIF, ICO, PBM, PGM, PPM, XBM, XPM, and TIFF and WebP
    where Qt's plugins for them are installed; PNG, PGM, PPM and TIFF also with
    16 bits a value. Pictures of up to 16,777,216 pixels (2^24) are filled.

    Nothing is lost: an input is never written over, an existing output only
    with --force, and every output is written whole or not at all (into a new
    file beside it, then renamed), so an interrupted run leaves no half-written
    file. An output and its fill map are written as one: neither is put in
    place before both are complete.

OPTIONS
    -o OUT            Write the result to OUT; its extension picks the format
                      (.png, .pgm, .tif, .tiff, .bmp, .ppm; PNG without one).
                      - writes to standard output, as PNG. IN may be - for
                      standard input.
    --output-dir DIR  Write each input's result into DIR, under the input's name
                      with the extension of --format. DIR is made if missing.
    --format FORMAT   The batch form's format: png (the default), pgm, tiff,
                      bmp or ppm. BMP and PPM hold 8 bits only and refuse a
                      16-bit picture.
    --rule RULE       How the 0s left after the regions are filled:
                      rows-columns  (the default) as above;
                      nearest       from the value above 0 nearest in the
                                    picture, by exact Euclidean distance
                                    (at equal distance the leftmost, then the
                                    uppermost), however far;
                      background    of the nearest values to the left and to
                                    the right on the row, the farther one (or
                                    the one there is); a 0 with neither takes
                                    the same of the nearest above and below.
                                    For occlusion holes in depth maps.
    --far SIDE        For --rule background, which value is the farther:
                      larger (the default: depth, where larger is farther) or
                      smaller (disparity, where smaller is farther).
    --fill-map PATH   Also write where every value came from, as a colour
                      picture (a folder in the batch form). Colours:
                          dark grey   kept from the picture
                          green       painted with its region's surround
                          orange      filled from the left
                          sky blue    filled from the right
                          yellow      filled from below
                          blue        filled from above
                          vermilion   left at 0: no value in reach
                          purple      filled from the nearest (--rule nearest)
                          light grey  filled from the background side
                                      (--rule background)
    --stats           Print, for each picture, the regions found and painted
                      and the pixels painted, filled and left at 0.
    --json            Print one JSON object a line for each picture: its name,
                      size, depth, counts and milliseconds, or its error.
    -j, --jobs N      Fill N pictures at a time (default: one a processor core).
    -f, --force       Write over outputs that exist (never over an input).
    --skip-existing   Leave an input whose output (and fill map) exist as they
                      are and report it as already done: to run a batch again
                      after it was stopped. One that has only one of them is
                      refused.
    -q, --quiet       No progress bar. It is shown only when standard error is
                      a terminal, in the batch form.
    -h, --help        Show this manual.
    --version         Show the version.

    Reports and --stats go to standard output, or to standard error where the
    result goes to standard output. Messages name the file and the reason.
    File names are taken byte for byte as the system gives them, UTF-8 or not;
    messages and --stats show a byte that is no UTF-8 as \xff and control
    characters as \n or \x01, --json as \udcff (which Python's os.fsencode
    turns back into the byte) and \n.

EXIT STATUS
    0   every picture was filled and written
    1   at least one picture failed; the others were written
    2   the command line is wrong; nothing was read or written

EXAMPLES
    darkfill-cli depth.png -o filled.png --fill-map where.png --stats
    darkfill-cli frames/*.png --output-dir filled --jobs 2 --json > report.jsonl
    darkfill-cli occluded.png -o filled.png --rule background --far larger
    darkfill-cli - -o - < holes.pgm > filled.png
)");
}
