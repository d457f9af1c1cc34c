#include "tasks/Report.h"

#include "files/FileNames.h"

#include <charconv>
#include <cstdio>

namespace darkfill::tasks {

namespace {

// 22,102: thousands grouped the same way whatever the user's locale, for scripts.
std::string Grouped(long long n)
{
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return (n < 0 ? "-" : "") + digits;
}

// The shortest text that reads back as the same double.
std::string Number(double value)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : "0";
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Depth(const FileOutcome& outcome)
{
    switch (outcome.type) {
    case files::SampleType::U8:
        return "8 bits";
    case files::SampleType::U16:
        return "16 bits";
    case files::SampleType::I32:
        return "32-bit integers";
    case files::SampleType::F32:
        return "32-bit floats";
    }
    return {};
}

// The members of a JSON object, one after another.
class JsonObject
{
public:
    JsonObject& Add(const char* key, const std::string& json)
    {
        text_ += (text_.empty() ? "{\"" : ",\"") + std::string(key) + "\":" + json;
        return *this;
    }
    std::string Text() const { return text_ + '}'; }

private:
    std::string text_;
};

}  // namespace

std::string StatsLine(const FileTask& task, const FileOutcome& outcome)
{
    if (outcome.alreadyDone)
        return files::PrintableName(task.input) + ": already done, " + files::QuotedName(task.output) + " exists";
    const FillCounts& c = outcome.counts;
    return files::PrintableName(task.input) + ": " + std::to_string(outcome.width) + " x " +
           std::to_string(outcome.height) + ", " + Depth(outcome) + ": " + Grouped(c.regionsFound) + " regions, " +
           Grouped(c.regionsPainted) + " painted (" + Grouped(c.pixelsPainted) + " pixels); " +
           Grouped(c.pixelsFilled) + " pixels filled, " + Grouped(c.pixelsLeftAtZero) + " left at 0";
}

std::string JsonLine(const FileTask& task, const FileOutcome& outcome)
{
    JsonObject object;
    object.Add("input", files::JsonString(task.input)).Add("ok", outcome.ok ? "true" : "false");
    if (!outcome.ok)
        return object.Add("error", files::JsonString(outcome.error)).Text();
    object.Add("output", files::JsonString(task.output));
    if (!task.fillMap.empty())
        object.Add("fill_map", files::JsonString(task.fillMap));
    if (outcome.alreadyDone)
        return object.Add("already_done", "true").Text();
    const FillCounts& c = outcome.counts;
    return object.Add("width", std::to_string(outcome.width))
        .Add("height", std::to_string(outcome.height))
        .Add("bits", std::to_string(outcome.Bits()))
        .Add("dtype", files::JsonString(files::DtypeName(outcome.type)))
        .Add("regions_found", std::to_string(c.regionsFound))
        .Add("regions_painted", std::to_string(c.regionsPainted))
        .Add("pixels_painted", std::to_string(c.pixelsPainted))
        .Add("pixels_filled", std::to_string(c.pixelsFilled))
        .Add("pixels_left_at_zero", std::to_string(c.pixelsLeftAtZero))
        .Add("milliseconds", JsonObject()
                                 .Add("read", Number(outcome.readMilliseconds))
                                 .Add("analyse", Number(outcome.analyseMilliseconds))
                                 .Add("write", Number(outcome.writeMilliseconds))
                                 .Text())
        .Text();
}

std::string SummaryLine(int filled, int failed, double seconds, double readMs, double analyseMs, double writeMs)
{
    const double total = readMs + analyseMs + writeMs;
    const auto share = [total](double part) { return total > 0 ? Fixed(100.0 * part / total, 0) : "0"; };
    return std::to_string(filled) + " filled, " + std::to_string(failed) + " failed in " + Fixed(seconds, 2) +
           " s (" + Fixed(seconds > 0 ? (filled + failed) / seconds : 0.0, 1) +
           " pictures/s); of the work: reading " + share(readMs) + " %, filling " + share(analyseMs) +
           " %, writing " + share(writeMs) + " %";
}

}  // namespace darkfill::tasks
