#include "darkfill/darkfill.h"
#include "framework/pictures/GreyPicture.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/PictureWriter.h"
#include "testing/rasters/GeneratedRasters.h"
#include "testing/rasters/RasterFill.h"

#include <QBuffer>
#include <QtEndian>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <zlib.h>

// darkfill-cli as its users run it: the real program, its exit status, its
// messages and the files it leaves.

namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
    QByteArray outBytes;
};

// The address space that every run of the tool has here: far more than these
// small pictures need, far less than a picture bomb would take. The address
// sanitizer reserves more than that for itself, so its build runs unbounded.
void BoundAddressSpace()
{
#if !defined(__SANITIZE_ADDRESS__)
    constexpr rlim_t Bound = rlim_t{512} << 20;
    rlimit limit{Bound, Bound};
    ::setrlimit(RLIMIT_AS, &limit);
#endif
}

// Runs the program in folder; fileSizeLimit > 0 makes the disk "full" beyond it.
ToolRun RunTool(const QDir& folder, const QStringList& arguments, const QByteArray& input = {}, rlim_t fileSizeLimit = 0)
{
    QProcess process;
    process.setWorkingDirectory(folder.path());
    process.setChildProcessModifier([fileSizeLimit] {
        BoundAddressSpace();
        if (fileSizeLimit > 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
    });
    process.start(QStringLiteral(DARKFILL_CLI), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    ToolRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.outBytes = process.readAllStandardOutput();
    run.out = QString::fromUtf8(run.outBytes);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The tool run with its arguments as bytes, as a shell passes them: QProcess
// spells a name that is no UTF-8 its own way before the tool sees it.
ToolRun RunToolWithBytes(const QDir& folder, const std::vector<QByteArray>& arguments)
{
    const QByteArray where = QFile::encodeName(folder.path());
    const QByteArray out = where + "/.stdout", err = where + "/.stderr";
    std::vector<char*> argv{const_cast<char*>(DARKFILL_CLI)};
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || o < 0 || e < 0 || ::chdir(where.constData()) != 0)
            ::_exit(126);
        ::dup2(in, 0), ::dup2(o, 1), ::dup2(e, 2);
        BoundAddressSpace();
        ::execv(DARKFILL_CLI, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ToolRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QFile stdOut(QFile::decodeName(out)), stdErr(QFile::decodeName(err));
    stdOut.open(QIODevice::ReadOnly);
    stdErr.open(QIODevice::ReadOnly);
    run.outBytes = stdOut.readAll();
    run.out = QString::fromUtf8(run.outBytes);
    run.err = QString::fromUtf8(stdErr.readAll());
    stdOut.remove();
    stdErr.remove();
    return run;
}

GreyPicture DepthMap(int width, int height, unsigned seed, int bits)
{
    const std::vector<std::int32_t> raster = DepthLikeRaster(height, width, 15, seed, bits > 8 ? 65535 : 255);
    return {width, height, bits, std::vector<std::uint16_t>(raster.begin(), raster.end())};
}

QByteArray EncodedPicture(const char* format)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The picture with its header's width and height (at those offsets, in the
// byte order given) set to 5000, and nothing after the header.
QByteArray WideHeader(QByteArray bytes, int widthAt, int heightAt, bool bigEndian)
{
    for (const int at : {widthAt, heightAt})
        for (int i = 0; i < 4; ++i)
            bytes[at + (bigEndian ? 3 - i : i)] = static_cast<char>(20000 >> (8 * i));
    return bytes.left(64);
}

GreyPicture Filled(const GreyPicture& picture, const darkfill::FillOptions& options = {})
{
    std::vector<std::int32_t> raster(picture.values.begin(), picture.values.end());
    FillRaster(raster, picture.height, picture.width, raster, {}, nullptr, options);
    GreyPicture result = picture;
    std::copy(raster.begin(), raster.end(), result.values.begin());
    return result;
}

GreyPicture ReadBack(const QString& path)
{
    return GreyPictureOfImage(DecodePictureImage(ReadPictureFileBytes(path), path));
}

class Tool : public testing::Test
{
protected:
    void SetUp() override
    {
        folder_ = QDir(temporary_.path());
        WriteGreyPicture(DepthMap(64, 48, 1, 16), folder_.filePath(QStringLiteral("deep.png")));
        WriteGreyPicture(DepthMap(64, 48, 2, 16), folder_.filePath(QStringLiteral("deep.pgm")));
        WriteGreyPicture(DepthMap(50, 40, 3, 8), folder_.filePath(QStringLiteral("grey.png")));
        QFile damaged(folder_.filePath(QStringLiteral("damaged.png")));
        damaged.open(QIODevice::WriteOnly);
        damaged.write(QByteArray("\x89PNG\r\n\x1a\n", 8));
    }
    QString Path(const QString& name) const { return folder_.filePath(name); }

    QTemporaryDir temporary_;
    QDir folder_;
};

TEST_F(Tool, UsageErrorsExitTwoAndTouchNothing)
{
    struct Row {
        const char* name;
        QStringList arguments;
        const char* message;
    };
    const Row table[] = {
        {"NoInput", {}, "no input picture"},
        {"UnknownOption", {"deep.png", "-o", "x.png", "--colour"}, "Unknown option"},
        {"NeitherForm", {"deep.png"}, "either -o OUT"},
        {"BothForms", {"deep.png", "-o", "x.png", "--output-dir", "d"}, "either -o OUT"},
        {"SeveralInputsOneOutput", {"deep.png", "grey.png", "-o", "x.png"}, "several inputs need --output-dir"},
        {"StandardInputInBatch", {"-", "--output-dir", "d"}, "standard input (-)"},
        {"FormatWithOneFile", {"deep.png", "-o", "x.png", "--format", "pgm"}, "--format is for --output-dir"},
        {"UnknownFormat", {"deep.png", "--output-dir", "d", "--format", "gif"}, "format gif is unknown"},
        {"JobsNotANumber", {"deep.png", "--output-dir", "d", "--jobs", "two"}, "--jobs needs a whole number"},
        {"JobsZero", {"deep.png", "--output-dir", "d", "--jobs", "0"}, "--jobs needs a whole number"},
        {"MaxPixelsZero", {"deep.png", "-o", "x.png", "--max-pixels", "0"}, "--max-pixels needs a whole number"},
        {"MaxPixelsWithUnit", {"deep.png", "-o", "x.png", "--max-pixels", "1G"}, "--max-pixels needs a whole number"},
        {"MissingValue", {"deep.png", "-o"}, "Missing value"},
        {"ForceAndSkip", {"deep.png", "-o", "x.png", "--force", "--skip-existing"}, "give one of them"},
        {"EmptyOutputFolder", {"deep.png", "--output-dir", ""}, "--output-dir needs a folder name"},
        {"UnknownExtension", {"deep.png", "-o", "x.xyz"}, "the extension of \"x.xyz\" names no format"},
        {"UnknownFillMapExtension", {"deep.png", "-o", "x.png", "--fill-map", "m.xyz"}, "the fill map \"m.xyz\""},
        {"FillMapsAmongOutputs", {"deep.png", "--output-dir", "d", "--fill-map", "./d/"}, "a folder of its own"},
        {"UnknownRule", {"deep.png", "-o", "x.png", "--rule", "closest"}, "the rule closest is unknown"},
        {"UnknownFarSide", {"deep.png", "-o", "x.png", "--rule", "background", "--far", "near"}, "larger or smaller"},
        {"FarWithoutBackground", {"deep.png", "-o", "x.png", "--rule", "nearest", "--far", "smaller"},
         "--far is for --rule background"},
        {"GuidedWithoutGuide", {"deep.png", "-o", "x.png", "--rule", "guided"}, "--rule guided needs a guide"},
        {"GuideWithoutGuided", {"deep.png", "-o", "x.png", "--guide", "grey.png"}, "are for --rule guided"},
        {"GuideAndGuideFolder", {"deep.png", "-o", "x.png", "--rule", "guided", "--guide", "g.png", "--guide-dir", "."},
         "either --guide FILE or --guide-dir DIR"},
        {"OneGuideForSeveral", {"deep.png", "deep.pgm", "--output-dir", "d", "--rule", "guided", "--guide", "g.png"},
         "several need --guide-dir"},
    };
    const QStringList before = folder_.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const Row& row : table) {
        const ToolRun run = RunTool(folder_, row.arguments);
        EXPECT_EQ(run.status, 2) << row.name;
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(row.message))) << row.name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("usage: darkfill-cli"))) << row.name;
        EXPECT_EQ(folder_.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before) << row.name;
    }
}

TEST_F(Tool, BadFilesExitOneNamingTheFileAndReason)
{
    QFile::copy(Path(QStringLiteral("grey.png")), Path(QStringLiteral("taken.png")));
    QFile::link(QStringLiteral("loop.png"), Path(QStringLiteral("loop.png")));
    QFile deep(Path(QStringLiteral("deep.png")));
    deep.open(QIODevice::ReadOnly);
    QByteArray flipped = deep.readAll();
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x10);
    QFile flippedFile(Path(QStringLiteral("flipped.png")));
    flippedFile.open(QIODevice::WriteOnly);
    flippedFile.write(flipped);
    flippedFile.close();
    // The same byte flipped in the image data under a checksum that matches it:
    // only inflating the data finds the fault.
    const qsizetype idat = flipped.indexOf("IDAT"), length = qFromBigEndian<quint32>(flipped.constData() + idat - 4);
    QByteArray corrupt = deep.seek(0) ? deep.readAll() : QByteArray();
    corrupt[idat + 4 + length / 2] = static_cast<char>(corrupt[idat + 4 + length / 2] ^ 0x10);
    qToBigEndian<quint32>(crc32(0, reinterpret_cast<const Bytef*>(corrupt.constData() + idat), length + 4),
                          corrupt.data() + idat + 4 + length);
    QFile corruptFile(Path(QStringLiteral("corrupt.png")));
    corruptFile.open(QIODevice::WriteOnly);
    corruptFile.write(corrupt);
    corruptFile.close();
    // Headers that claim more pixels than can be filled, over a few bytes.
    QFile hugePgm(Path(QStringLiteral("huge.pgm")));
    hugePgm.open(QIODevice::WriteOnly);
    hugePgm.write(QByteArray("P5\n20000 20000\n65535\n") + QByteArray(64, '\1'));
    hugePgm.close();
    QFile hugeBmp(Path(QStringLiteral("huge.bmp")));
    hugeBmp.open(QIODevice::WriteOnly);
    hugeBmp.write(WideHeader(EncodedPicture("bmp"), 18, 22, false));
    hugeBmp.close();
    struct Row {
        const char* name;
        QStringList arguments;
        const char* message;
    };
    const Row table[] = {
        {"HugeDeepPgm", {"huge.pgm", "-o", "x.png"},
         "\"huge.pgm\" is 20000 x 20000 pixels; pictures of at most 268435456 pixels can be read here: it is too "
         "large; its fill would take about 4.0 GB of memory; --max-pixels 400000000 reads it"},
        {"HugeBmp", {"huge.bmp", "-o", "x.png"}, "\"huge.bmp\" is 20000 x 20000 pixels; pictures of at most"},
        {"BeyondMaxPixels", {"deep.png", "-o", "x.png", "--max-pixels", "3071"},
         "\"deep.png\" is 64 x 48 pixels; pictures of at most 3071 pixels can be read here: it is too large; its "
         "fill would take about 31 kB of memory; --max-pixels 3072 reads it"},
        {"Missing", {"none.png", "-o", "x.png"}, "\"none.png\": the file does not exist"},
        {"Damaged", {"damaged.png", "-o", "x.png"}, "\"damaged.png\" is damaged"},
        {"Folder", {".", "-o", "x.png"}, "is a folder"},
        {"Device", {"/dev/zero", "-o", "x.png"}, "is a character device"},
        {"OverTheInput", {"grey.png", "-o", "./grey.png"}, "would write over the input"},
        {"ExistingOutput", {"deep.png", "-o", "taken.png"}, "\"taken.png\" exists; --force"},
        {"SixteenBitsIntoBmp", {"deep.png", "-o", "x.bmp"}, "hold 8 bits a value"},
        {"FlippedByte", {"flipped.png", "-o", "x.png"}, "\"flipped.png\" is damaged: its IDAT chunk does not match"},
        {"CorruptImageData", {"corrupt.png", "-o", "x.png"}, "\"corrupt.png\" is damaged: its image data is corrupt"},
        {"SymlinkLoop", {"loop.png", "-o", "x.png"}, "\"loop.png\": the file cannot be read (Too many levels of symbolic links)"},
        {"FillMapAsGrey", {"deep.png", "-o", "y.png", "--fill-map", "map.pgm"}, "hold grey only"},
    };
    for (const Row& row : table) {
        const ToolRun run = RunTool(folder_, row.arguments);
        EXPECT_EQ(run.status, 1) << row.name;
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(row.message))) << row.name << ": " << run.err.toStdString();
        // Only the tool speaks, not the libraries that it reads with.
        for (const QString& line : run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            EXPECT_TRUE(line.startsWith(QStringLiteral("darkfill-cli: "))) << row.name << ": " << line.toStdString();
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("x.png")))) << row.name;
    }
    EXPECT_EQ(ReadBack(Path(QStringLiteral("grey.png"))).values, DepthMap(50, 40, 3, 8).values);
}

TEST_F(Tool, FillsAtTheInputsDepthInEveryFormat)
{
    struct Row {
        const char* input;
        const char* output;
        GreyPicture picture;
    };
    const Row table[] = {
        {"deep.png", "a.png", DepthMap(64, 48, 1, 16)}, {"deep.png", "b.pgm", DepthMap(64, 48, 1, 16)},
        {"deep.pgm", "c.png", DepthMap(64, 48, 2, 16)}, {"deep.pgm", "d.tif", DepthMap(64, 48, 2, 16)},
        {"grey.png", "e.bmp", DepthMap(50, 40, 3, 8)},  {"grey.png", "f.pgm", DepthMap(50, 40, 3, 8)},
        {"grey.png", "noextension", DepthMap(50, 40, 3, 8)},
    };
    for (const Row& row : table) {
        if (QString::fromLatin1(row.output).endsWith(QStringLiteral(".tif")) &&
            !WritableFormatFilters().join(' ').contains(QStringLiteral("*.tif")))
            continue;
        const QString output = QString::fromLatin1(row.output);
        const ToolRun run = RunTool(folder_, {row.input, "-o", output});
        ASSERT_EQ(run.status, 0) << row.output << ": " << run.err.toStdString();
        const GreyPicture back = output == QStringLiteral("noextension")
                                     ? GreyPictureOfImage(QImage(Path(output), "png"))
                                     : ReadBack(Path(output));
        EXPECT_EQ(back.bitsPerValue, row.picture.bitsPerValue) << row.output;
        EXPECT_EQ(back.values, Filled(row.picture).values) << row.output;
    }
}

// Each rule, in both forms, gives what the library gives with its options.
TEST_F(Tool, RuleAndFarSideReachTheFill)
{
    struct Row {
        const char* name;
        QStringList options;
        darkfill::FillOptions expected;
    };
    using darkfill::FillRule;
    const Row table[] = {
        {"RowsColumns", {"--rule", "rows-columns"}, {}},
        {"Nearest", {"--rule", "nearest"}, {.rule = FillRule::Nearest}},
        {"BackgroundLarger", {"--rule", "background"}, {.rule = FillRule::Background}},
        {"BackgroundSmaller", {"--rule", "background", "--far", "smaller"},
         {.rule = FillRule::Background, .far = darkfill::FarSide::Smaller}},
    };
    const GreyPicture expectedDefault = Filled(DepthMap(64, 48, 1, 16));
    for (const Row& row : table) {
        const QString one = QStringLiteral("one-%1.png").arg(QLatin1String(row.name));
        const QString folder = QStringLiteral("batch-%1").arg(QLatin1String(row.name));
        ASSERT_EQ(RunTool(folder_, QStringList{"deep.png", "-o", one} + row.options).status, 0) << row.name;
        ASSERT_EQ(RunTool(folder_, QStringList{"deep.png", "--output-dir", folder} + row.options).status, 0)
            << row.name;
        const GreyPicture expected = Filled(DepthMap(64, 48, 1, 16), row.expected);
        EXPECT_EQ(ReadBack(Path(one)).values, expected.values) << row.name;
        EXPECT_EQ(ReadBack(Path(folder + QStringLiteral("/deep.png"))).values, expected.values) << row.name;
        EXPECT_EQ(expected.values == expectedDefault.values, row.expected.rule == FillRule::RowsColumns) << row.name;
    }
}

// A colour guide for deep.png: a left and a right half of their own colours.
QImage ColourGuide(int width, int height)
{
    QImage guide(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            guide.setPixel(x, y, x < width / 2 ? qRgb(200, 40, 10) : qRgb(20, 90, 230));
    return guide;
}

// The guided rule reads its guide as colour, from --guide for one picture and
// from --guide-dir by the input's name for several; a guide that does not fit is
// refused naming both sizes.
TEST_F(Tool, GuidedRuleTakesItsGuide)
{
    const QImage guide = ColourGuide(64, 48);
    ASSERT_TRUE(guide.save(Path(QStringLiteral("colour.png"))));
    ASSERT_TRUE(folder_.mkpath(QStringLiteral("rgb")));
    ASSERT_TRUE(guide.save(Path(QStringLiteral("rgb/deep.bmp"))));
    ASSERT_TRUE(ColourGuide(50, 40).save(Path(QStringLiteral("small.png"))));

    darkfill::FillOptions options = {.rule = darkfill::FillRule::Guided,
                                     .guide = darkfill::GuideView(guide.constBits(), darkfill::GuideFormat::Rgb8, 48,
                                                                  64, guide.bytesPerLine(), 3)};
    const GreyPicture expected = Filled(DepthMap(64, 48, 1, 16), options);
    EXPECT_NE(expected.values, Filled(DepthMap(64, 48, 1, 16)).values);

    struct Row {
        const char* name;
        QStringList arguments;
        int status;
        const char* result;   // the file to compare with the expected fill, if any
        const char* message;  // a part of what standard error says, if anything
    };
    const Row table[] = {
        {"OneFile", {"deep.png", "-o", "one.png", "--rule", "guided", "--guide", "colour.png"}, 0, "one.png", nullptr},
        {"Batch", {"deep.png", "--output-dir", "out", "--rule", "guided", "--guide-dir", "rgb"}, 0, "out/deep.png",
         nullptr},
        {"GuideOfAnotherSize", {"deep.png", "-o", "x.png", "--rule", "guided", "--guide", "small.png"}, 2, nullptr,
         "the guide \"small.png\" is 50 x 40 pixels and \"deep.png\" 64 x 48"},
        {"NoGuideOfItsName", {"deep.png", "grey.png", "--output-dir", "d", "--rule", "guided", "--guide-dir", "rgb"}, 1,
         nullptr, "\"grey.png\": the guide folder \"rgb\" holds no picture named \"grey\""},
        {"OutputOverItsGuide", {"deep.png", "-o", "colour.png", "--rule", "guided", "--guide", "colour.png", "--force"},
         1, nullptr, "would write over the guide \"colour.png\""},
        {"BatchOverAGuide", {"deep.png", "--output-dir", "rgb", "--format", "bmp", "--rule", "guided", "--guide-dir",
                             "rgb", "--force"},
         1, nullptr, "would write over the guide"},
    };
    for (const Row& row : table) {
        const ToolRun run = RunTool(folder_, row.arguments);
        EXPECT_EQ(run.status, row.status) << row.name << ": " << run.err.toStdString();
        if (row.result) {
            EXPECT_EQ(ReadBack(Path(QString::fromLatin1(row.result))).values, expected.values) << row.name;
        }
        if (row.message) {
            EXPECT_TRUE(run.err.contains(QString::fromLatin1(row.message))) << row.name << ": " << run.err.toStdString();
        }
    }
}

TEST_F(Tool, StandardInputToStandardOutput)
{
    QFile deep(Path(QStringLiteral("deep.pgm")));
    deep.open(QIODevice::ReadOnly);
    const ToolRun run = RunTool(folder_, {"-", "-o", "-", "--stats"}, deep.readAll());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("-: 64 x 48, 16 bits"))) << run.err.toStdString();
    const GreyPicture back = GreyPictureOfImage(DecodePictureImage(run.outBytes, QStringLiteral("output")));
    EXPECT_EQ(back.values, Filled(DepthMap(64, 48, 2, 16)).values);
}

TEST_F(Tool, BatchGoesOnPastABadFileAndReportsEveryFile)
{
    const ToolRun run = RunTool(folder_, {"deep.png", "damaged.png", "grey.png", "--output-dir", "out", "--fill-map",
                                      "maps", "--json", "--jobs", "2"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("\"damaged.png\" is damaged"))) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QLatin1Char('\r'))) << "a progress bar where standard error is no terminal";
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    const QStringList order = {"deep.png", "damaged.png", "grey.png"};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject report = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        EXPECT_EQ(report.value(QStringLiteral("input")).toString(), order[i]);
        EXPECT_EQ(report.value(QStringLiteral("ok")).toBool(), i != 1) << lines[i].toStdString();
    }
    EXPECT_EQ(ReadBack(Path(QStringLiteral("out/deep.png"))).values, Filled(DepthMap(64, 48, 1, 16)).values);
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("out/grey.png"))));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out/damaged.png"))));
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("maps/grey.png"))));
}

TEST_F(Tool, TwoInputsOfOneNameDoNotOverwriteEachOther)
{
    const ToolRun run = RunTool(folder_, {"deep.png", "deep.pgm", "--output-dir", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("is written for \"deep.png\" already"))) << run.err.toStdString();
    EXPECT_EQ(ReadBack(Path(QStringLiteral("out/deep.png"))).values, Filled(DepthMap(64, 48, 1, 16)).values);
}

TEST_F(Tool, FullDiskLeavesNoOutputFile)
{
    const ToolRun run = RunTool(folder_, {"deep.png", "-o", "full.png"}, {}, 600);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot write \"full.png\""))) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("full.png"))));
    for (const QString& name : folder_.entryList(QDir::Files))
        EXPECT_FALSE(name.startsWith(QStringLiteral("full.png"))) << name.toStdString() << " left behind";
}

// Another program creates the output after the tool has found that it does not
// exist: the tool is known to be past that check once it has read from its
// input, a pipe of one page into which a page and a byte have been written.
TEST_F(Tool, OutputThatAppearsMeanwhileIsReplacedOnlyWithForce)
{
    const GreyPicture picture = DepthMap(320, 240, 4, 16);
    WriteGreyPicture(picture, Path(QStringLiteral("large.png")));
    QFile large(Path(QStringLiteral("large.png")));
    ASSERT_TRUE(large.open(QIODevice::ReadOnly));
    const QByteArray input = large.readAll();
    struct Row {
        const char* name;
        QStringList options;
        int status;
        bool kept;
    } const rows[] = {
        {"kept without --force", {}, 1, true},
        {"replaced with --force", {"--force"}, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString output = Path(QStringLiteral("raced.png"));
        QFile::remove(output);
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        const qsizetype page = ::fcntl(ends[1], F_SETPIPE_SZ, 4096);
        ASSERT_GT(page, 0);
        ASSERT_GT(input.size(), page + 1);
        QProcess process;
        process.setWorkingDirectory(folder_.path());
        process.setChildProcessModifier([&ends] {
            ::dup2(ends[0], 0);
            ::close(ends[1]);
        });
        process.start(QStringLiteral(DARKFILL_CLI), QStringList{"-", "-o", "raced.png"} + row.options);
        ::close(ends[0]);
        ASSERT_EQ(::write(ends[1], input.constData(), page + 1), page + 1);
        QFile theirs(output);
        ASSERT_TRUE(theirs.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        theirs.write("theirs");
        theirs.close();
        const qsizetype rest = input.size() - page - 1;
        ASSERT_EQ(::write(ends[1], input.constData() + page + 1, rest), rest);
        ::close(ends[1]);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), row.status) << process.readAllStandardError().toStdString();
        if (row.kept) {
            ASSERT_TRUE(theirs.open(QIODevice::ReadOnly));
            EXPECT_EQ(theirs.readAll(), QByteArray("theirs"));
        } else {
            EXPECT_EQ(ReadBack(output).values, Filled(picture).values);
        }
        EXPECT_EQ(folder_.entryList({QStringLiteral("raced.png*")}, QDir::Files), QStringList{"raced.png"});
    }
}

// Standard output opened on an input, by the shell's >> or 1<>: the input must
// come out as it went in.
TEST_F(Tool, StandardOutputThatIsAnInputIsRefused)
{
    struct Row {
        const char* name;
        QStringList arguments;
        int flags;
    } const rows[] = {
        {"result appended", {"deep.png", "-o", "-"}, O_WRONLY | O_APPEND},
        {"result written in place", {"deep.png", "-o", "-"}, O_RDWR},
        {"reports appended", {"grey.png", "deep.png", "--output-dir", "out", "--json"}, O_WRONLY | O_APPEND},
    };
    QFile input(Path(QStringLiteral("deep.png")));
    ASSERT_TRUE(input.open(QIODevice::ReadOnly));
    const QByteArray before = input.readAll();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QProcess process;
        process.setWorkingDirectory(folder_.path());
        const QByteArray path = QFile::encodeName(input.fileName());
        const int flags = row.flags;
        process.setChildProcessModifier([path, flags] { ::dup2(::open(path.constData(), flags), 1); });
        process.start(QStringLiteral(DARKFILL_CLI), row.arguments);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_TRUE(process.readAllStandardError().contains("standard output is the input \"deep.png\""));
        input.seek(0);
        EXPECT_EQ(input.readAll(), before);
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out"))));
    }
}

// A name with a newline in it is told on one line, its control characters
// escaped as in the JSON reports.
TEST_F(Tool, NamesWithControlCharactersStayOnOneLine)
{
    QFile::copy(Path(QStringLiteral("grey.png")), Path(QStringLiteral("two\nlines.png")));
    struct Row {
        const char* name;
        QStringList arguments;
        const char* line;  // what the only line of standard output or error says
    } const rows[] = {
        {"stats", {"two\nlines.png", "-o", "out.png", "--stats"}, "two\\nlines.png: 50 x 40, 8 bits"},
        {"message", {"no\tsuch\x01.png", "-o", "x.png"}, "\"no\\tsuch\\x01.png\": the file does not exist"},
    };
    for (const Row& row : rows) {
        const ToolRun run = RunTool(folder_, row.arguments);
        const QStringList lines = (run.out + run.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << row.name << ": " << (run.out + run.err).toStdString();
        EXPECT_TRUE(lines[0].contains(QString::fromLatin1(row.line))) << row.name << ": " << lines[0].toStdString();
    }
}

// Names are bytes: one that is no UTF-8 is opened and written as it is spelt,
// two that differ in such a byte stay two files, and messages show the bytes.
TEST_F(Tool, NamesThatAreNoUtf8AreKeptByteForByte)
{
    const QByteArray folder = QFile::encodeName(folder_.path()) + '/';
    for (const QByteArray& input : {QByteArray("lat\xe9.png"), QByteArray("bad\xff\xfe.png")})
        ASSERT_TRUE(QFile::copy(Path(QStringLiteral("grey.png")), QFile::decodeName(folder + "input")) &&
                    ::rename((folder + "input").constData(), (folder + input).constData()) == 0);
    struct Row {
        const char* name;
        std::vector<QByteArray> arguments;
        int status;
        const char* says;                // on standard output or error
        std::vector<QByteArray> written;  // files that must be there after the run
    } const rows[] = {
        {"Latin-1 input and output", {"lat\xe9.png", "-o", "out\xe9.png"}, 0, "", {"out\xe9.png"}},
        {"stray bytes in --stats", {"bad\xff\xfe.png", "-o", "b.png", "--stats"}, 0, "bad\\xff\\xfe.png: 50 x 40",
         {"b.png"}},
        {"missing input", {"no\xff.png", "-o", "x.png"}, 1, "\"no\\xff.png\": the file does not exist", {}},
        {"first of two outputs", {"grey.png", "-o", "dup\xfe.png"}, 0, "", {"dup\xfe.png"}},
        {"second, with --force", {"deep.png", "-o", "dup\xff.png", "--force"}, 0, "", {"dup\xfe.png", "dup\xff.png"}},
        {"batch with --json",
         {"lat\xe9.png", "bad\xff\xfe.png", "--output-dir", "d\xff", "--fill-map", "m\xfe", "--json"}, 0,
         "\"output\":\"d\\udcff/lat\\udce9.png\"", {"d\xff/lat\xe9.png", "m\xfe/bad\xff\xfe.png"}},
    };
    for (const Row& row : rows) {
        const ToolRun run = RunToolWithBytes(folder_, row.arguments);
        EXPECT_EQ(run.status, row.status) << row.name << ": " << run.err.toStdString();
        EXPECT_TRUE((run.out + run.err).contains(QString::fromLatin1(row.says)))
            << row.name << ": " << (run.out + run.err).toStdString();
        for (const QByteArray& file : row.written)
            EXPECT_EQ(::access((folder + file).constData(), F_OK), 0) << row.name << ": " << file.toStdString();
    }
}

// A result and its fill map are one: where the map cannot be written, the
// result is not left behind without it.
TEST_F(Tool, OutputWithoutItsFillMapIsNotLeft)
{
    folder_.mkdir(QStringLiteral("a folder.png"));
    struct Row {
        const char* name;
        QStringList arguments;
    } const rows[] = {
        {"map's folder missing", {"deep.png", "-o", "out.png", "--fill-map", "missing/map.png"}},
        {"map's name a folder, with --force", {"deep.png", "-o", "out.png", "--fill-map", "a folder.png", "--force"}},
    };
    for (const Row& row : rows) {
        const ToolRun run = RunTool(folder_, row.arguments);
        EXPECT_EQ(run.status, 1) << row.name;
        EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot write"))) << row.name << ": " << run.err.toStdString();
        EXPECT_EQ(folder_.entryList({QStringLiteral("out.png*")}, QDir::Files), QStringList()) << row.name;
    }
    // With --force, a result that replaced its old file gives it back.
    QFile old(Path(QStringLiteral("old.png")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("before") == 6);
    old.close();
    EXPECT_EQ(RunTool(folder_, {"deep.png", "-o", "old.png", "--fill-map", "a folder.png", "--force"}).status, 1);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("before"));
    EXPECT_EQ(folder_.entryList({QStringLiteral("old.png*")}, QDir::Files), QStringList{"old.png"});
}

// A batch stopped after some of its files, run again with --skip-existing: what
// is done stays as it is, the rest is filled, and an output without its map is
// refused rather than taken for done.
TEST_F(Tool, SkipExistingResumesABatch)
{
    const QStringList batch = {"deep.png", "grey.png", "deep.pgm", "--output-dir", "out", "--fill-map", "maps", "--json"};
    ASSERT_EQ(RunTool(folder_, {"deep.png", "--output-dir", "out", "--fill-map", "maps"}).status, 0);
    ASSERT_EQ(RunTool(folder_, {"grey.png", "--output-dir", "out"}).status, 0);
    QFile done(Path(QStringLiteral("out/deep.png")));
    ASSERT_TRUE(done.open(QIODevice::ReadOnly));
    const QByteArray before = done.readAll();

    const ToolRun run = RunTool(folder_, batch + QStringList{"--skip-existing"});
    EXPECT_EQ(run.status, 1);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << run.out.toStdString();
    const auto report = [&](int i) { return QJsonDocument::fromJson(lines[i].toUtf8()).object(); };
    EXPECT_TRUE(report(0).value(QStringLiteral("already_done")).toBool()) << lines[0].toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("\"out/grey.png\" exists without \"maps/grey.png\"")))
        << run.err.toStdString();
    // deep.pgm writes out/deep.png too: its refusal is the plan's, as ever.
    EXPECT_FALSE(report(2).value(QStringLiteral("ok")).toBool());
    done.seek(0);
    EXPECT_EQ(done.readAll(), before);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("maps/grey.png"))));

    const ToolRun again = RunTool(folder_, {"deep.png", "--output-dir", "out", "--fill-map", "maps", "--skip-existing",
                                            "--stats"});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.startsWith(QStringLiteral("deep.png: already done, \"out/deep.png\" exists")))
        << again.out.toStdString();
}

// Standard input is refused as soon as its first bytes can be no picture that
// can be filled: endless zeros, or a PNG header claiming 5000 x 5000 pixels.
TEST_F(Tool, StandardInputIsRefusedByItsStart)
{
    struct Row {
        const char* name;
        QString file;  // what standard input reads; empty: the bytes below
        QByteArray bytes;
        const char* message;
    } const rows[] = {
        {"zeros", QStringLiteral("/dev/zero"), {}, "\"standard input\" is not a picture"},
        {"huge PNG", {}, WideHeader(EncodedPicture("png"), 16, 20, true) + QByteArray(1 << 20, '\0'),
         "\"standard input\" is 20000 x 20000 pixels"},
    };
    for (const Row& row : rows) {
        QProcess process;
        process.setWorkingDirectory(folder_.path());
        if (!row.file.isEmpty())
            process.setStandardInputFile(row.file);
        process.setChildProcessModifier(BoundAddressSpace);
        QElapsedTimer clock;
        clock.start();
        process.start(QStringLiteral(DARKFILL_CLI), {"-", "-o", "x.png"});
        if (row.file.isEmpty()) {
            process.write(row.bytes);
            process.closeWriteChannel();
        }
        ASSERT_TRUE(process.waitForFinished(20000)) << row.name;
        EXPECT_LT(clock.elapsed(), 5000) << row.name;
        EXPECT_EQ(process.exitCode(), 1) << row.name;
        EXPECT_TRUE(process.readAllStandardError().contains(row.message)) << row.name;
    }
}

TEST_F(Tool, HelpAndVersionExitZero)
{
    const ToolRun help = RunTool(folder_, {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* section : {"NAME", "SYNOPSIS", "OPTIONS", "EXIT STATUS", "EXAMPLES", "vermilion"})
        EXPECT_TRUE(help.out.contains(QString::fromLatin1(section))) << section;
    const ToolRun version = RunTool(folder_, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("darkfill-cli "))) << version.out.toStdString();
}

}  // namespace
