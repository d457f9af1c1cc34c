#pragma once

#include "tasks/FileTask.h"

#include <string>

// The lines that darkfill-cli prints about a picture.

namespace darkfill::tasks {

// "IN: 640 x 480, 16 bits: 7 regions, 5 painted (1,091 pixels); 22,102 pixels
// filled, 162 left at 0", or "IN: already done, "OUT" exists"
std::string StatsLine(const FileTask& task, const FileOutcome& outcome);

// One JSON object on one line: the input and output, size, depth and type,
// counts and milliseconds; or the input and its error.
std::string JsonLine(const FileTask& task, const FileOutcome& outcome);

// What a whole run took, for --stats: pictures filled and failed, the time, and
// the shares of reading, filling and writing.
std::string SummaryLine(int filled, int failed, double seconds, double readMs, double analyseMs, double writeMs);

}  // namespace darkfill::tasks
