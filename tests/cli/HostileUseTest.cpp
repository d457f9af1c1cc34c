#include "darkfill/darkfill.h"
#include "files/ByteSource.h"
#include "files/PictureReader.h"
#include "files/PictureWriter.h"
#include "testing/rasters/GeneratedRasters.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

// darkfill-cli as a hostile but realistic user runs it: standard streams closed
// or opened onto its input, runs side by side into one folder, names at the
// system's limit, reports onto a full disk, files that cost far more to decode
// than their size, float depth with its holes. Each row is a fault that once
// held, with the bound that it must keep now.

namespace {

using namespace darkfill::files;
using Bytes = std::vector<std::uint8_t>;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    double seconds = 0;
};

// How the child's standard streams and limits are set before it starts.
struct Launch {
    std::string input = "/dev/null";  // standard input, read from this file
    std::function<void()> child;      // more, in the child before exec
    bool boundMemory = true;          // the address space bounded, as a bomb needs
};

// The address space every run has here: far more than these pictures need,
// far less than a bomb would take. The address sanitizer reserves more than
// that for itself, so its build runs unbounded.
void BoundAddressSpace(rlim_t bytes)
{
#if !defined(__SANITIZE_ADDRESS__)
    rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_AS, &limit);
#else
    (void)bytes;
#endif
}

class Hostile : public testing::Test
{
protected:
    void SetUp() override
    {
        char name[] = "/tmp/hostile-XXXXXX";
        folder_ = ::mkdtemp(name);
    }
    void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

    std::string Path(const std::string& name) const { return folder_ + '/' + name; }

    Outcome Tool(const std::vector<std::string>& arguments, const Launch& setup = {}) const
    {
        const std::string out = Path(".out"), err = Path(".err");
        std::vector<char*> argv{const_cast<char*>(DARKFILL_CLI)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            const int in = ::open(setup.input.c_str(), O_RDONLY);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || o < 0 || e < 0 || ::chdir(folder_.c_str()) != 0)
                ::_exit(126);
            ::dup2(in, 0), ::dup2(o, 1), ::dup2(e, 2);
            if (setup.boundMemory)
                BoundAddressSpace(rlim_t{512} << 20);
            if (setup.child)
                setup.child();
            ::execv(DARKFILL_CLI, argv.data());
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        Outcome run;
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = Contents(out);
        run.err = Contents(err);
        ::unlink(out.c_str());
        ::unlink(err.c_str());
        return run;
    }

    static std::string Contents(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void Put(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    // A 16-bit depth map with holes, as a PNG under the name.
    Picture PutDepthMap(const std::string& name, int width, int height, unsigned seed) const
    {
        const std::vector<std::int32_t> raster = DepthLikeRaster(height, width, 15, seed, 65535);
        Picture picture(width, height, SampleType::U16);
        for (std::size_t i = 0; i < raster.size(); ++i)
            reinterpret_cast<std::uint16_t*>(picture.bytes.data())[i] = static_cast<std::uint16_t>(raster[i]);
        Put(name, EncodePicture(picture, FormatOfName(name).value(), {}, name));
        return picture;
    }
    Picture ReadBack(const std::string& name) const
    {
        ByteSource source = ByteSource::OpenFile(Path(name));
        return ReadPicture(source);
    }

    std::string folder_;
};

Picture Filled(Picture picture, const darkfill::FillOptions& options = {})
{
    const darkfill::RasterView<std::uint16_t> view(reinterpret_cast<std::uint16_t*>(picture.bytes.data()),
                                                   picture.height, picture.width);
    darkfill::FillHoles(view, view, options);
    return picture;
}

// Standard output opened onto the input that standard input reads: the input
// comes out as it went in.
TEST_F(Hostile, StandardInputThatIsTheOutputIsRefused)
{
    PutDepthMap("in.png", 40, 30, 1);
    const std::string before = Contents(Path("in.png"));
    for (const int flags : {O_RDWR, O_WRONLY | O_APPEND}) {
        const std::string input = Path("in.png");
        Launch setup;
        setup.input = input;
        setup.child = [input, flags] { ::dup2(::open(input.c_str(), flags), 1); };
        const Outcome run = Tool({"-", "-o", "-"}, setup);
        EXPECT_EQ(run.status, 1) << flags;
        EXPECT_NE(run.err.find("standard output is the input \"standard input\""), std::string::npos) << run.err;
        EXPECT_EQ(Contents(Path("in.png")), before) << flags;
    }
}

// With standard output and error closed, no picture takes their numbers: no
// message lands in an output, every output is whole.
TEST_F(Hostile, ClosedStandardStreamsTakeNoOutputs)
{
    std::vector<std::string> arguments;
    std::vector<Picture> pictures;
    for (int i = 0; i < 24; ++i) {
        const std::string name = "in" + std::to_string(i) + ".png";
        pictures.push_back(PutDepthMap(name, 48, 32, 10 + i));
        arguments.push_back(name);
        if (i % 6 == 3) {  // damaged ones, whose messages have nowhere to go
            Put("bad" + std::to_string(i) + ".png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0});
            arguments.push_back("bad" + std::to_string(i) + ".png");
        }
    }
    arguments.insert(arguments.end(), {"--output-dir", "out", "--fill-map", "maps", "--stats", "-j", "3"});
    Launch setup;
    setup.child = [] { ::close(1), ::close(2); };
    EXPECT_EQ(Tool(arguments, setup).status, 1);
    for (int i = 0; i < 24; ++i) {
        const std::string name = "out/in" + std::to_string(i) + ".png";
        ASSERT_EQ(Contents(Path(name)).rfind("\x89PNG", 0), 0u) << name;
        EXPECT_TRUE(ReadBack(name).bytes == Filled(pictures[i]).bytes) << name;
    }
}

// Two runs into one folder, the second with --force, its outputs meeting the
// first's while the first puts its pair in place: the pair that stays is one
// run's, whole.
TEST_F(Hostile, ConcurrentRunsLeaveOneRunsPair)
{
    const Picture picture = PutDepthMap("in.png", 64, 48, 3);
    const std::string pause = Path("pause");
    ASSERT_EQ(::mkfifo(pause.c_str(), 0600), 0);
    pid_t first = ::fork();
    if (first == 0) {
        ::setenv("DARKFILL_PLACING_PAUSE", pause.c_str(), 1);
        ::chdir(folder_.c_str());
        ::execl(DARKFILL_CLI, DARKFILL_CLI, "in.png", "-o", "out.png", "--fill-map", "map.png", "--rule", "nearest",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The first run waits at the FIFO, its output in place and its map not.
    const int held = ::open(pause.c_str(), O_WRONLY);
    ASSERT_GE(held, 0);
    pid_t second = ::fork();
    if (second == 0) {
        ::chdir(folder_.c_str());
        ::execl(DARKFILL_CLI, DARKFILL_CLI, "in.png", "-o", "out.png", "--fill-map", "map.png", "--rule", "background",
                "--force", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::usleep(300 * 1000);  // time for the second to reach the folder's lock
    ASSERT_EQ(::write(held, "x", 1), 1);
    ::close(held);
    int firstStatus = 0, secondStatus = 0;
    ::waitpid(first, &firstStatus, 0);
    ::waitpid(second, &secondStatus, 0);
    EXPECT_EQ(WEXITSTATUS(firstStatus), 0);
    EXPECT_EQ(WEXITSTATUS(secondStatus), 0);
    const Picture expected = Filled(picture, {.rule = darkfill::FillRule::Background});
    EXPECT_TRUE(ReadBack("out.png").bytes == expected.bytes);
    // The map is the second run's too: background fills show light grey.
    const Picture map = [&] {
        ByteSource source = ByteSource::OpenFile(Path("map.png"));
        return ReadPicture(source, {}, ReadAs::Colour);
    }();
    bool background = false, nearest = false;
    for (std::size_t i = 0; i < map.bytes.size(); i += 3) {
        const std::uint32_t rgb = map.bytes[i] << 16 | map.bytes[i + 1] << 8 | map.bytes[i + 2];
        background = background || rgb == darkfill::FillMapColours[int(darkfill::ValueSource::FromBackground)];
        nearest = nearest || rgb == darkfill::FillMapColours[int(darkfill::ValueSource::FromNearest)];
    }
    EXPECT_TRUE(background && !nearest);
}

TEST_F(Hostile, OddUsesEndAsTheySay)
{
    PutDepthMap("in.png", 40, 30, 4);
    const std::string longest(251, 'n');
    Put("out.png.1x2y3z.new", {1});              // left by a stopped run of an earlier version
    Put(".darkfill-999999999-abcdefgh.new", {1});  // left by a stopped run
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        std::string stdoutFile;  // where standard output goes; empty: a file of the test's
        int status;
        const char* message;  // on standard error
        std::vector<std::string> gone;  // files that must not be there after
    } const rows[] = {
        {"a name of 255 bytes", {"in.png", "-o", longest + ".png"}, "", 0, "", {}},
        {"reports onto a full disk", {"in.png", "-o", "a.png", "--json", "--stats"}, "/dev/full", 1,
         "the reports could not be written to standard output: No space left on device", {}},
        {"stale temporaries", {"in.png", "--output-dir", ".", "--format", "pgm", "--skip-existing"}, "", 0, "",
         {".darkfill-999999999-abcdefgh.new"}},
        {"float into PNG", {"f.pfm", "-o", "f.png"}, "", 2, "32-bit floats, which PNG pictures cannot hold", {"f.png"}},
    };
    Put("f.pfm", {'P', 'f', '\n', '1', ' ', '1', '\n', '-', '1', '\n', 0, 0, 0x80, 0x3f});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Launch setup;
        if (!row.stdoutFile.empty()) {
            const std::string file = row.stdoutFile;
            setup.child = [file] { ::dup2(::open(file.c_str(), O_WRONLY), 1); };
        }
        const Outcome run = Tool(row.arguments, setup);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        for (const std::string& file : row.gone)
            EXPECT_NE(::access(Path(file).c_str(), F_OK), 0) << file;
    }
    EXPECT_EQ(Contents(Path(longest + ".png")).rfind("\x89PNG", 0), 0u);
}

// Float depth as Middlebury and ROS keep it: 0 of either sign, NaN and +inf
// are holes; -inf, negative values and every other value are kept bit for bit,
// in PFM, float TIFF and NPY alike.
TEST_F(Hostile, FloatDepthKeepsItsValuesAndFillsItsHoles)
{
    const float values[] = {1.5f, 0.0f, -0.0f, NAN, INFINITY, -INFINITY, -2.25f, 1e-30f, 7.0f};  // 3 x 3
    Picture picture(3, 3, SampleType::F32);
    std::memcpy(picture.bytes.data(), values, sizeof values);
    for (const char* format : {"pfm", "tif", "npy"}) {
        SCOPED_TRACE(format);
        const std::string input = std::string("depth.") + format, output = std::string("filled.") + format;
        Put(input, EncodePicture(picture, FormatOfName(input).value(), {}, input));
        ASSERT_EQ(Tool({input, "-o", output}).status, 0);
        const Picture back = ReadBack(output);
        ASSERT_EQ(back.type, SampleType::F32);
        const float* filled = reinterpret_cast<const float*>(back.bytes.data());
        for (const int kept : {0, 5, 6, 7, 8})
            EXPECT_EQ(std::memcmp(&filled[kept], &values[kept], 4), 0) << kept;
        for (const int hole : {1, 2, 3, 4})
            EXPECT_TRUE(std::isfinite(filled[hole]) && filled[hole] > 0) << hole << ": " << filled[hole];
    }
}

// Files that claim a few pixels and carry much else: bounded in time and
// memory (512 MiB of address space), refused or read for what they are.
TEST_F(Hostile, DecoderBombsCostWhatTheirPixelsCost)
{
    // A progressive JPEG whose last scan comes 2,000 times.
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::darkGray);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(image));
    const qsizetype lastScan = jpeg.lastIndexOf("\xff\xda");
    const QByteArray scan = jpeg.mid(lastScan, jpeg.size() - 2 - lastScan);
    QByteArray scans = jpeg.left(lastScan);
    for (int i = 0; i < 2000; ++i)
        scans += scan;
    scans += "\xff\xd9";
    Put("scans.jpg", Bytes(scans.begin(), scans.end()));
    Put("progressive.jpg", Bytes(jpeg.begin(), jpeg.end()));
    QByteArray corrupt = jpeg;  // its reader mends it, and would tell so on standard error
    for (qsizetype at = jpeg.indexOf("\xff\xda") + 16; at < jpeg.indexOf("\xff\xda") + 24; ++at)
        if ((corrupt[at] ^ 0x11) != '\xff')
            corrupt[at] = static_cast<char>(corrupt[at] ^ 0x11);
    Put("corrupt.jpg", Bytes(corrupt.begin(), corrupt.end()));
    struct Row {
        const char* input;
        int status;
        const char* message;
    } const rows[] = {
        {"scans.jpg", 1, "\"scans.jpg\" is a JPEG picture of 2009 scans; pictures of at most 64 scans are read here"},
        {"progressive.jpg", 0, ""},
        {"corrupt.jpg", 0, ""},
    };
    for (const Row& row : rows) {
        const Outcome run = Tool({row.input, "-o", std::string(row.input) + ".png"});
        EXPECT_EQ(run.status, row.status) << row.input << ": " << run.err;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_TRUE(row.status != 0 || run.err.empty()) << run.err;
        EXPECT_LT(run.seconds, 2.0) << row.input;
    }
}

// A picture that memory cannot hold is told as such, never as damaged.
TEST_F(Hostile, MemoryThatRunsOutIsToldAsSuch)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's memory is not bounded";
#endif
    PutDepthMap("large.pgm", 4096, 4096, 5);
    Launch setup;
    setup.boundMemory = false;
    setup.child = [] { BoundAddressSpace(rlim_t{96} << 20); };
    const Outcome run = Tool({"large.pgm", "-o", "large.png"}, setup);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not enough memory"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("damaged"), std::string::npos) << run.err;
}

}  // namespace
