// darkfill._darkfill: numpy arrays through the library, read where they lie (any
// strides), the interpreter lock released while a fill runs. The package's
// __init__.py gives these their Python face and their manual.

// Python's headers come before Qt's, whose "slots" they would take for a keyword.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "cli/CommandLine.h"
#include "cli/FileTask.h"
#include "cli/Report.h"
#include "cli/TaskPlan.h"
#include "darkfill/darkfill.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/SystemFileName.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

const char* const Accepted = "uint8, uint16, int32 or float32";

std::string DescribeDtype(const py::array& array)
{
    return py::str(array.dtype()).cast<std::string>();
}

std::string DescribeShape(const py::array& array)
{
    std::string shape = "(";
    for (py::ssize_t d = 0; d < array.ndim(); ++d)
        shape += (d ? ", " : "") + std::to_string(array.shape(d));
    return shape + (array.ndim() == 1 ? ",)" : ")");
}

void RequireRaster(const py::array& array, const char* what)
{
    if (array.ndim() != 2)
        throw py::value_error(std::string(what) + " must be a 2-D array (rows, columns); it has " +
                              std::to_string(array.ndim()) + " dimensions, shape " + DescribeShape(array));
    const py::dtype dtype = array.dtype();
    const char kind = dtype.kind();
    const bool known = (kind == 'u' && (dtype.itemsize() == 1 || dtype.itemsize() == 2)) ||
                       (kind == 'i' && dtype.itemsize() == 4) || (kind == 'f' && dtype.itemsize() == 4);
    if (!known || !dtype.attr("isnative").cast<bool>())
        throw py::type_error(std::string(what) + " holds " + DescribeDtype(array) + " values; darkfill fills " +
                             Accepted + " arrays in the machine's byte order");
    if (!array.attr("flags").attr("aligned").cast<bool>())
        throw py::value_error(std::string(what) + " is not aligned to its values; np.require(a, requirements='A') "
                                                  "gives an aligned copy");
}

template <class Value>
darkfill::RasterView<Value> ViewOf(const py::array& array)
{
    auto* data = static_cast<Value*>(const_cast<void*>(array.data()));
    return darkfill::RasterView<Value>(data, static_cast<int>(array.shape(0)), static_cast<int>(array.shape(1)),
                                       array.strides(0), array.strides(1));
}

// The options from the module's keywords; reach None is the rule's own.
darkfill::FillOptions OptionsOf(int smallestRegion, std::optional<int> reach, const std::string& rule,
                                const std::string& far)
{
    const std::optional<darkfill::FillRule> named = FillRuleNamed(QString::fromStdString(rule));
    if (!named)
        throw py::value_error("rule must be 'rows-columns', 'nearest' or 'background'; it is '" + rule + "'");
    const std::optional<darkfill::FarSide> side = FarSideNamed(QString::fromStdString(far));
    if (!side)
        throw py::value_error("far must be 'larger' or 'smaller'; it is '" + far + "'");
    if (smallestRegion < 1)
        throw py::value_error("smallest_region must be at least 1; it is " + std::to_string(smallestRegion));
    if (reach && *reach < 0)
        throw py::value_error("reach must be at least 0; it is " + std::to_string(*reach));
    return {.smallestRegion = smallestRegion, .reach = reach.value_or(darkfill::RuleReach), .rule = *named,
            .far = *side};
}

py::tuple CountsTuple(const darkfill::FillCounts& c)
{
    return py::make_tuple(c.regionsFound, c.regionsPainted, c.pixelsPainted, c.pixelsFilled, c.pixelsLeftAtZero);
}

// One fill: the array, where the result goes (a new array where out is None),
// the map and counts where asked. Returns (result, map or None, counts or None).
class Fill
{
public:
    explicit Fill(darkfill::Filler& filler) : filler_(filler) {}

    py::tuple operator()(const py::array& array, const py::object& out, bool wantMap, bool wantCounts,
                         const darkfill::FillOptions& options, std::mutex* lock)
    {
        RequireRaster(array, "the array");
        if (static_cast<long long>(array.shape(0)) * array.shape(1) > darkfill::MaximumCells || array.size() == 0)
            throw py::value_error("the array is " + DescribeShape(array) +
                                  "; darkfill fills arrays of 1 to 2**24 (16,777,216) values");
        py::array result = ResultFor(array, out);
        py::object map = py::none();
        darkfill::RasterView<darkfill::ValueSource> mapView;
        if (wantMap) {
            py::array_t<std::uint8_t> cells({array.shape(0), array.shape(1)});
            mapView = darkfill::RasterView<darkfill::ValueSource>(
                reinterpret_cast<darkfill::ValueSource*>(cells.mutable_data()), static_cast<int>(array.shape(0)),
                static_cast<int>(array.shape(1)));
            map = cells;
        }
        darkfill::FillCounts counts;
        const darkfill::FillExtras extras{.fillMap = mapView, .counts = wantCounts ? &counts : nullptr};
        {
            py::gil_scoped_release released;
            std::unique_lock<std::mutex> held;
            if (lock)
                held = std::unique_lock(*lock);
            Dispatch(array, result, options, extras);
        }
        return py::make_tuple(result, map, wantCounts ? py::object(CountsTuple(counts)) : py::none());
    }

private:
    static py::array ResultFor(const py::array& array, const py::object& out)
    {
        if (out.is_none())
            return py::array(array.dtype(), {array.shape(0), array.shape(1)});
        if (!py::isinstance<py::array>(out))
            throw py::type_error("out must be a numpy array; it is a " +
                                 py::str(out.get_type().attr("__name__")).cast<std::string>());
        py::array result = out.cast<py::array>();
        RequireRaster(result, "out");
        if (!result.dtype().is(array.dtype()))
            throw py::type_error("out holds " + DescribeDtype(result) + " values and the array " +
                                 DescribeDtype(array) + "; they must be the same");
        if (result.shape(0) != array.shape(0) || result.shape(1) != array.shape(1))
            throw py::value_error("out has shape " + DescribeShape(result) + " and the array " +
                                  DescribeShape(array) + "; they must be the same");
        if (!result.writeable())
            throw py::value_error("out is read-only");
        return result;
    }

    void Dispatch(const py::array& array, py::array& result, const darkfill::FillOptions& options,
                  const darkfill::FillExtras& extras)
    {
        const char kind = array.dtype().kind();
        const auto size = array.dtype().itemsize();
        if (kind == 'u' && size == 1)
            filler_.Fill(ViewOf<const std::uint8_t>(array), ViewOf<std::uint8_t>(result), options, extras);
        else if (kind == 'u')
            filler_.Fill(ViewOf<const std::uint16_t>(array), ViewOf<std::uint16_t>(result), options, extras);
        else if (kind == 'i')
            filler_.Fill(ViewOf<const std::int32_t>(array), ViewOf<std::int32_t>(result), options, extras);
        else
            filler_.Fill(ViewOf<const float>(array), ViewOf<float>(result), options, extras);
    }

    darkfill::Filler& filler_;
};

// A Filler for Python: one thread fills with it at a time, the others wait.
struct SharedFiller {
    darkfill::Filler filler;
    std::mutex lock;
};

// What fill_file says of a file it could not fill.
class FileError : public std::exception
{
public:
    explicit FileError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// One file, planned and run as darkfill-cli plans and runs its one-file form, so
// that it refuses what the tool refuses, with the same words.
py::tuple FillFile(const std::string& input, const std::string& output, const std::optional<std::string>& fillMap,
                   bool force, const darkfill::FillOptions& options)
{
    CommandLine commandLine;
    commandLine.inputs = QStringList{FileNameFromSystem(input)};
    commandLine.output = FileNameFromSystem(output);
    commandLine.fillMap = fillMap ? FileNameFromSystem(*fillMap) : QString();
    if (const QString clash = StandardOutputClash(commandLine); !clash.isEmpty())
        throw FileError(clash.toStdString());
    FileTask task = PlanTasks(commandLine).front();
    task.options = options;
    FileOutcome outcome;
    {
        py::gil_scoped_release released;
        outcome = RunFileTask(task, force ? ExistingOutputs::Replace : ExistingOutputs::Refuse);
    }
    if (!outcome.ok)
        throw FileError(outcome.error.toStdString());
    return py::make_tuple(CountsTuple(outcome.counts), outcome.width, outcome.height, outcome.bitsPerValue,
                          outcome.readMilliseconds, outcome.analyseMilliseconds, outcome.writeMilliseconds);
}

// darkfill-cli's batch form, for the batch runner: its options read and its
// tasks planned by the tool's own rules, so that the runner refuses what the tool
// refuses. Returns (usage error or None, tasks, options); a task is (input,
// output, fill map, refusal, rule, far side), the paths as bytes.
py::tuple PlanBatch(const std::vector<std::string>& arguments)
{
    QStringList words{QStringLiteral("darkfill-cli")};
    for (const std::string& argument : arguments)
        words << FileNameFromSystem(argument);
    CommandLine commandLine;
    QString error;
    const CommandLineRequest request = ParseCommandLine(words, commandLine, error);
    if (request == CommandLineRequest::Run && commandLine.outputDirectory.isEmpty())
        error = QStringLiteral("the batch runner writes into a folder: give --output-dir DIR");
    else if (request == CommandLineRequest::Help || request == CommandLineRequest::Version)
        error = QStringLiteral("--help and --version come before the inputs");
    if (!error.isEmpty())
        return py::make_tuple(error.toStdString(), py::list(), py::dict());
    std::vector<FileTask> planned;
    {
        py::gil_scoped_release released;  // planning makes folders
        planned = PlanTasks(commandLine);
    }
    py::list tasks;
    for (const FileTask& task : planned)
        tasks.append(py::make_tuple(py::bytes(SystemFileName(task.input).toStdString()),
                                    py::bytes(SystemFileName(task.output).toStdString()),
                                    py::bytes(SystemFileName(task.fillMap).toStdString()), task.refusal.toStdString(),
                                    NameOf(task.options.rule).toStdString(), NameOf(task.options.far).toStdString()));
    py::dict options;
    options["existing"] = commandLine.force ? "replace" : commandLine.skipExisting ? "skip" : "refuse";
    options["json"] = commandLine.json;
    options["stats"] = commandLine.stats;
    options["quiet"] = commandLine.quiet;
    options["jobs"] = commandLine.jobs;
    options["clash"] = StandardOutputClash(commandLine).toStdString();
    return py::make_tuple(py::none(), tasks, options);
}

// One planned task, run as darkfill-cli runs it, existing outputs taken as
// "refuse", "replace" (--force) or "skip" (--skip-existing) say; never raises.
// Returns (ok,
// error, counts, width, height, bits, read, analyse and write milliseconds, the
// tool's --stats line, its --json line).
py::tuple RunTask(const std::string& input, const std::string& output, const std::string& fillMap,
                  const std::string& refusal, const std::string& rule, const std::string& far,
                  const std::string& existing)
{
    const darkfill::FillOptions options = OptionsOf(darkfill::FillOptions().smallestRegion, std::nullopt, rule, far);
    const FileTask task{FileNameFromSystem(input), FileNameFromSystem(output), FileNameFromSystem(fillMap),
                        QString::fromStdString(refusal), options};
    FileOutcome outcome;
    {
        py::gil_scoped_release released;
        outcome = RunFileTask(task, existing == "replace" ? ExistingOutputs::Replace
                                    : existing == "skip"  ? ExistingOutputs::Skip
                                                          : ExistingOutputs::Refuse);
    }
    return py::make_tuple(outcome.ok, outcome.error.toStdString(), CountsTuple(outcome.counts), outcome.width,
                          outcome.height, outcome.bitsPerValue, outcome.readMilliseconds,
                          outcome.analyseMilliseconds, outcome.writeMilliseconds,
                          outcome.ok ? StatsLine(task, outcome).toStdString() : std::string(),
                          JsonLine(task, outcome).toStdString());
}

}  // namespace

PYBIND11_MODULE(_darkfill, module)
{
    module.attr("__version__") = darkfill::Version();
    module.attr("MAXIMUM_CELLS") = darkfill::MaximumCells;

    module.def(
        "fill_holes",
        [](const py::array& array, const py::object& out, bool fillMap, bool counts, int smallestRegion,
           std::optional<int> reach, const std::string& rule, const std::string& far) {
            darkfill::Filler filler;
            return Fill(filler)(array, out, fillMap, counts, OptionsOf(smallestRegion, reach, rule, far), nullptr);
        },
        py::arg("array"), py::arg("out"), py::arg("fill_map"), py::arg("counts"), py::arg("smallest_region"),
        py::arg("reach"), py::arg("rule"), py::arg("far"));

    py::class_<SharedFiller>(module, "Filler")
        .def(py::init<>())
        .def(
            "fill",
            [](SharedFiller& self, const py::array& array, const py::object& out, bool fillMap, bool counts,
               int smallestRegion, std::optional<int> reach, const std::string& rule, const std::string& far) {
                return Fill(self.filler)(array, out, fillMap, counts, OptionsOf(smallestRegion, reach, rule, far),
                                         &self.lock);
            },
            py::arg("array"), py::arg("out"), py::arg("fill_map"), py::arg("counts"), py::arg("smallest_region"),
            py::arg("reach"), py::arg("rule"), py::arg("far"))
        .def_property_readonly("held_bytes", [](SharedFiller& self) {
            const std::lock_guard held(self.lock);
            return self.filler.HeldBytes();
        });

    py::register_exception<FileError>(module, "FileError", PyExc_OSError);
    module.def(
        "fill_file",
        [](const std::string& input, const std::string& output, const std::optional<std::string>& fillMap, bool force,
           int smallestRegion, std::optional<int> reach, const std::string& rule, const std::string& far) {
            return FillFile(input, output, fillMap, force, OptionsOf(smallestRegion, reach, rule, far));
        },
        py::arg("input"), py::arg("output"), py::arg("fill_map"), py::arg("force"), py::arg("smallest_region"),
        py::arg("reach"), py::arg("rule"), py::arg("far"));

    module.def("plan_batch", &PlanBatch, py::arg("arguments"));
    module.def("run_task", &RunTask, py::arg("input"), py::arg("output"), py::arg("fill_map"), py::arg("refusal"),
               py::arg("rule"), py::arg("far"), py::arg("existing"));
    module.def(
        "quoted_file_name",
        [](const std::string& name) { return QuotedFileName(FileNameFromSystem(name)).toStdString(); },
        py::arg("name"));
    module.def(
        "summary_line",
        [](int filled, int failed, double seconds, double read, double analyse, double write) {
            return SummaryLine(filled, failed, seconds, read, analyse, write).toStdString();
        },
        py::arg("filled"), py::arg("failed"), py::arg("seconds"), py::arg("read"), py::arg("analyse"),
        py::arg("write"));
}
