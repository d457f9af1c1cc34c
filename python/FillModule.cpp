// darkfill._darkfill: numpy arrays through the library, read where they lie (any
// strides), the interpreter lock released while a fill runs; files through
// darkfill-cli's tasks. No Qt: the formats that only Qt reads are read by a
// plugin loaded the first time such a file comes (files/ForeignPlugin.h). The
// package's __init__.py gives these their Python face and their manual.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "darkfill/darkfill.h"
#include "files/FileNames.h"
#include "files/ForeignPlugin.h"
#include "files/PictureReader.h"
#include "tasks/CommandLine.h"
#include "tasks/FileTask.h"
#include "tasks/Report.h"
#include "tasks/TaskPlan.h"

#include <dlfcn.h>

#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace py = pybind11;
using namespace darkfill::tasks;

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
    const std::optional<darkfill::FillRule> named = FillRuleNamed(rule);
    if (!named)
        throw py::value_error("rule must be 'rows-columns', 'nearest', 'background' or 'guided'; it is '" + rule +
                              "'");
    if (*named == darkfill::FillRule::Guided && reach)
        throw py::value_error("the guided rule has no reach; give reach=None");
    const std::optional<darkfill::FarSide> side = FarSideNamed(far);
    if (!side)
        throw py::value_error("far must be 'larger' or 'smaller'; it is '" + far + "'");
    if (smallestRegion < 1)
        throw py::value_error("smallest_region must be at least 1; it is " + std::to_string(smallestRegion));
    if (reach && *reach < 0)
        throw py::value_error("reach must be at least 0; it is " + std::to_string(*reach));
    return {.smallestRegion = smallestRegion, .reach = reach.value_or(darkfill::RuleReach), .rule = *named,
            .far = *side};
}

// Rule "guided" takes a guide, and no other rule does; what names the guide it
// needs.
void RequireGuideForRule(bool given, darkfill::FillRule rule, const char* what)
{
    const bool guided = rule == darkfill::FillRule::Guided;
    if (guided && !given)
        throw py::value_error(std::string("rule='guided' needs a guide: ") + what);
    if (!guided && given)
        throw py::value_error("a guide is for rule='guided'");
}

// The guide array of rule "guided", checked against the array it guides: uint8
// (rows, columns) grey or (rows, columns, 3 or 4) colour, or uint16 grey, any
// strides but a colour's samples side by side (else it is copied into keep).
darkfill::GuideView GuideOf(const py::object& guide, const py::array& array, darkfill::FillRule rule,
                            py::array& keep)
{
    RequireGuideForRule(!guide.is_none(), rule, "an array of the array's rows and columns");
    if (guide.is_none())
        return {};
    if (!py::isinstance<py::array>(guide))
        throw py::type_error("guide must be a numpy array; it is a " +
                             py::str(guide.get_type().attr("__name__")).cast<std::string>());
    keep = guide.cast<py::array>();
    const py::dtype dtype = keep.dtype();
    const bool bytes = dtype.kind() == 'u' && dtype.itemsize() == 1;
    const bool wide = dtype.kind() == 'u' && dtype.itemsize() == 2 && dtype.attr("isnative").cast<bool>();
    const bool colour = keep.ndim() == 3 && (keep.shape(2) == 3 || keep.shape(2) == 4);
    if (!bytes && !wide)
        throw py::type_error("guide holds " + DescribeDtype(keep) +
                             " values; a guide is uint8 (grey, or colour with 3 or 4 channels) or uint16 (grey)");
    if (!(keep.ndim() == 2 || (bytes && colour)))
        throw py::value_error("guide has shape " + DescribeShape(keep) +
                              "; a guide is (rows, columns), or (rows, columns, 3 or 4) for uint8 colour");
    if (keep.shape(0) != array.shape(0) || keep.shape(1) != array.shape(1))
        throw py::value_error("guide has shape " + DescribeShape(keep) + " and the array " + DescribeShape(array) +
                              "; their rows and columns must be the same");
    if (colour && keep.strides(2) != 1)
        keep = py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast>(keep);
    const darkfill::GuideFormat format = wide     ? darkfill::GuideFormat::Grey16
                                         : colour ? darkfill::GuideFormat::Rgb8
                                                  : darkfill::GuideFormat::Grey8;
    return darkfill::GuideView(keep.data(), format, static_cast<int>(keep.shape(0)), static_cast<int>(keep.shape(1)),
                               keep.strides(0), keep.strides(1));
}

py::tuple CountsTuple(const darkfill::FillCounts& c)
{
    return py::make_tuple(c.regionsFound, c.regionsPainted, c.pixelsPainted, c.pixelsFilled, c.pixelsLeftAtZero);
}

// Equal dtypes by numpy's own comparison (kind, size and byte order), not the
// same object: an unpickled array's dtype is another object of the same type.
bool SameDtype(const py::array& a, const py::array& b)
{
    const int equal = PyObject_RichCompareBool(a.dtype().ptr(), b.dtype().ptr(), Py_EQ);
    if (equal < 0)
        throw py::error_already_set();
    return equal == 1;
}

// One fill: the array, where the result goes (a new array where out is None),
// the map and counts where asked. Returns (result, map or None, counts or None).
class Fill
{
public:
    explicit Fill(darkfill::Filler& filler) : filler_(filler) {}

    py::tuple operator()(const py::array& array, const py::object& out, bool wantMap, bool wantCounts,
                         darkfill::FillOptions options, const py::object& guide, std::mutex* lock)
    {
        RequireRaster(array, "the array");
        if (array.shape(0) > darkfill::MaximumSide || array.shape(1) > darkfill::MaximumSide || array.size() == 0)
            throw py::value_error("the array is " + DescribeShape(array) +
                                  "; darkfill fills arrays of 1 to 2**30 rows and columns");
        py::array guideCells;
        options.guide = GuideOf(guide, array, options.rule, guideCells);
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
        if (!SameDtype(result, array))
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

// Qt's readers, from their plugin beside this module, loaded the first time a
// file in a format that only Qt reads comes.
const darkfill::files::ForeignReader* QtReader()
{
    static const darkfill::files::ForeignReader* const reader = [] {
        Dl_info self{};
        if (!::dladdr(reinterpret_cast<void*>(&QtReader), &self) || !self.dli_fname)
            return static_cast<const darkfill::files::ForeignReader*>(nullptr);
        return darkfill::files::LoadForeignReader({darkfill::files::JoinPath(
            darkfill::files::FolderOf(self.dli_fname), darkfill::files::QtReaderPluginName)});
    }();
    return reader;
}

// One file, planned and run as darkfill-cli plans and runs its one-file form, so
// that it refuses what the tool refuses, with the same words.
FileOutcome FillFile(const std::string& input, const std::string& output, const std::optional<std::string>& fillMap,
                     bool force, const darkfill::FillOptions& options, int compression,
                     const std::optional<std::string>& guide)
{
    RequireGuideForRule(guide.has_value(), options.rule, "the guide picture's file name");
    CommandLine commandLine;
    commandLine.inputs = {input};
    commandLine.output = output;
    commandLine.fillMap = fillMap.value_or("");
    commandLine.compression = compression;
    commandLine.guide = guide.value_or("");
    // Here, as for arrays, the limit is memory.
    commandLine.maximumPixels = std::numeric_limits<long long>::max();
    if (const std::string clash = StandardOutputClash(commandLine); !clash.empty())
        throw FileError(clash);
    FileTask task = PlanTasks(commandLine).front();
    task.options = options;
    FileOutcome outcome;
    {
        py::gil_scoped_release released;
        outcome = RunFileTask(task, force ? ExistingOutputs::Replace : ExistingOutputs::Refuse);
    }
    if (!outcome.ok)
        throw FileError(outcome.error);
    return outcome;
}

// darkfill-cli's batch form, for the batch runner: its options read and its
// tasks planned by the tool's own rules, so that the runner refuses what the tool
// refuses.
struct BatchPlan {
    std::string error;  // a usage error, or empty
    std::vector<FileTask> tasks;
    std::string existing;  // "refuse", "replace" (--force) or "skip" (--skip-existing)
    bool json = false;
    bool stats = false;
    bool quiet = false;
    int jobs = 0;
    std::string clash;  // standard output that is an input
};

BatchPlan PlanBatch(const std::vector<std::string>& arguments)
{
    std::vector<std::string> words{"darkfill-cli"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    CommandLine commandLine;
    BatchPlan plan;
    const CommandLineRequest request = ParseCommandLine(words, commandLine, plan.error);
    if (request == CommandLineRequest::Run && commandLine.outputDirectory.empty())
        plan.error = "the batch runner writes into a folder: give --output-dir DIR";
    else if (request == CommandLineRequest::Help || request == CommandLineRequest::Version)
        plan.error = "--help and --version come before the inputs";
    if (!plan.error.empty())
        return plan;
    {
        py::gil_scoped_release released;  // planning makes folders
        plan.tasks = PlanTasks(commandLine);
    }
    plan.existing = commandLine.force ? "replace" : commandLine.skipExisting ? "skip" : "refuse";
    plan.json = commandLine.json;
    plan.stats = commandLine.stats;
    plan.quiet = commandLine.quiet;
    plan.jobs = commandLine.jobs;
    plan.clash = StandardOutputClash(commandLine);
    return plan;
}

// What the batch runner reports of one task.
struct TaskReport {
    FileOutcome outcome;
    std::string statsLine;  // darkfill-cli's --stats line for it
    std::string jsonLine;   // and its --json line
};

// One planned task, run as darkfill-cli runs it, existing outputs taken as
// "refuse", "replace" or "skip" say; never raises.
TaskReport RunTask(const FileTask& task, const std::string& existing)
{
    TaskReport report;
    {
        py::gil_scoped_release released;
        report.outcome = RunFileTask(task, existing == "replace" ? ExistingOutputs::Replace
                                           : existing == "skip"  ? ExistingOutputs::Skip
                                                                 : ExistingOutputs::Refuse);
    }
    report.statsLine = report.outcome.ok ? StatsLine(task, report.outcome) : std::string();
    report.jsonLine = JsonLine(task, report.outcome);
    return report;
}

py::bytes Bytes(const std::string& name)
{
    return py::bytes(name);
}

}  // namespace

PYBIND11_MODULE(_darkfill, module)
{
    module.attr("__version__") = darkfill::Version();
    module.attr("MAXIMUM_SIDE") = darkfill::MaximumSide;

    module.def(
        "fill_holes",
        [](const py::array& array, const py::object& out, bool fillMap, bool counts, int smallestRegion,
           std::optional<int> reach, const std::string& rule, const std::string& far, const py::object& guide) {
            darkfill::Filler filler;
            return Fill(filler)(array, out, fillMap, counts, OptionsOf(smallestRegion, reach, rule, far), guide,
                                nullptr);
        },
        py::arg("array"), py::arg("out"), py::arg("fill_map"), py::arg("counts"), py::arg("smallest_region"),
        py::arg("reach"), py::arg("rule"), py::arg("far"), py::arg("guide"));

    py::class_<SharedFiller>(module, "Filler")
        .def(py::init<>())
        .def(
            "fill",
            [](SharedFiller& self, const py::array& array, const py::object& out, bool fillMap, bool counts,
               int smallestRegion, std::optional<int> reach, const std::string& rule, const std::string& far,
               const py::object& guide) {
                return Fill(self.filler)(array, out, fillMap, counts, OptionsOf(smallestRegion, reach, rule, far),
                                         guide, &self.lock);
            },
            py::arg("array"), py::arg("out"), py::arg("fill_map"), py::arg("counts"), py::arg("smallest_region"),
            py::arg("reach"), py::arg("rule"), py::arg("far"), py::arg("guide"))
        .def_property_readonly("held_bytes", [](SharedFiller& self) {
            const std::lock_guard held(self.lock);
            return self.filler.HeldBytes();
        });

    py::register_exception<FileError>(module, "FileError", PyExc_OSError);
    darkfill::files::SetForeignReader(&QtReader);

    py::class_<darkfill::FillCounts>(module, "Counts")
        .def_readonly("regions_found", &darkfill::FillCounts::regionsFound)
        .def_readonly("regions_painted", &darkfill::FillCounts::regionsPainted)
        .def_readonly("pixels_painted", &darkfill::FillCounts::pixelsPainted)
        .def_readonly("pixels_filled", &darkfill::FillCounts::pixelsFilled)
        .def_readonly("pixels_left_at_zero", &darkfill::FillCounts::pixelsLeftAtZero);

    py::class_<FileOutcome>(module, "FileOutcome")
        .def_readonly("ok", &FileOutcome::ok)
        .def_readonly("usage_error", &FileOutcome::usageError)
        .def_readonly("error", &FileOutcome::error)
        .def_readonly("width", &FileOutcome::width)
        .def_readonly("height", &FileOutcome::height)
        .def_property_readonly("bits", &FileOutcome::Bits)
        .def_property_readonly("dtype", [](const FileOutcome& o) { return darkfill::files::DtypeName(o.type); })
        .def_readonly("counts", &FileOutcome::counts)
        .def_readonly("read_ms", &FileOutcome::readMilliseconds)
        .def_readonly("analyse_ms", &FileOutcome::analyseMilliseconds)
        .def_readonly("write_ms", &FileOutcome::writeMilliseconds)
        .def_readonly("already_done", &FileOutcome::alreadyDone);

    // A planned task travels to the workers of a cluster: it pickles as its
    // paths (bytes), refusal and options.
    py::class_<FileTask> task(module, "FileTask");
    for (const auto& [name, path] : {std::pair{"input", &FileTask::input}, {"output", &FileTask::output},
                                     {"fill_map", &FileTask::fillMap}, {"guide", &FileTask::guide}})
        task.def_property(
            name, [path = path](const FileTask& t) { return Bytes(t.*path); },
            [path = path](FileTask& t, const std::string& bytes) { t.*path = bytes; });
    task.def_readwrite("refusal", &FileTask::refusal)
        .def(py::pickle(
            [](const FileTask& t) {
                return py::make_tuple(Bytes(t.input), Bytes(t.output), Bytes(t.fillMap), t.refusal,
                                      NameOf(t.options.rule), NameOf(t.options.far), t.options.smallestRegion,
                                      t.options.reach, t.compression, t.maximumPixels, Bytes(t.guide));
            },
            [](const py::tuple& state) {
                FileTask t;
                t.input = state[0].cast<std::string>();
                t.output = state[1].cast<std::string>();
                t.fillMap = state[2].cast<std::string>();
                t.refusal = state[3].cast<std::string>();
                t.options = {.smallestRegion = state[6].cast<int>(),
                             .reach = state[7].cast<int>(),
                             .rule = FillRuleNamed(state[4].cast<std::string>()).value_or(darkfill::FillRule::RowsColumns),
                             .far = FarSideNamed(state[5].cast<std::string>()).value_or(darkfill::FarSide::Larger)};
                t.compression = state[8].cast<int>();
                t.maximumPixels = state[9].cast<long long>();
                t.guide = state[10].cast<std::string>();
                return t;
            }));

    py::class_<BatchPlan>(module, "BatchPlan")
        .def_readonly("error", &BatchPlan::error)
        .def_readonly("tasks", &BatchPlan::tasks)
        .def_readonly("existing", &BatchPlan::existing)
        .def_readonly("json", &BatchPlan::json)
        .def_readonly("stats", &BatchPlan::stats)
        .def_readonly("quiet", &BatchPlan::quiet)
        .def_readonly("jobs", &BatchPlan::jobs)
        .def_readonly("clash", &BatchPlan::clash);

    py::class_<TaskReport>(module, "TaskReport")
        .def_readonly("outcome", &TaskReport::outcome)
        .def_readonly("stats_line", &TaskReport::statsLine)
        .def_readonly("json_line", &TaskReport::jsonLine);

    module.def(
        "fill_file",
        [](const std::string& input, const std::string& output, const std::optional<std::string>& fillMap, bool force,
           int smallestRegion, std::optional<int> reach, const std::string& rule, const std::string& far,
           const std::string& compression, const std::optional<std::string>& guide) {
            const std::optional<int> level = CompressionNamed(compression);
            if (!level)
                throw py::value_error("compression must be 'fast', 'small' or '0' to '9'; it is '" + compression + "'");
            return FillFile(input, output, fillMap, force, OptionsOf(smallestRegion, reach, rule, far), *level, guide);
        },
        py::arg("input"), py::arg("output"), py::arg("fill_map"), py::arg("force"), py::arg("smallest_region"),
        py::arg("reach"), py::arg("rule"), py::arg("far"), py::arg("compression"), py::arg("guide"));

    module.def("plan_batch", &PlanBatch, py::arg("arguments"));
    module.def("run_task", &RunTask, py::arg("task"), py::arg("existing"));
    module.def(
        "quoted_file_name", [](const std::string& name) { return darkfill::files::QuotedName(name); },
        py::arg("name"));
    module.def("summary_line", &SummaryLine, py::arg("filled"), py::arg("failed"), py::arg("seconds"), py::arg("read"),
               py::arg("analyse"), py::arg("write"));
}
