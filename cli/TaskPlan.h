#pragma once

#include "cli/CommandLine.h"
#include "cli/FileTask.h"

#include <vector>

// The tasks that a command line asks for, in the order of its inputs. A task that
// would write over an input, or write the same file as an earlier task, carries
// its refusal; a folder that cannot be made refuses every task.
std::vector<FileTask> PlanTasks(const CommandLine& commandLine);

// Where the command line writes to standard output (the result, or reports) and
// standard output is one of the inputs (darkfill-cli IN -o - >> IN), the message
// that refuses the whole run before anything is written; empty otherwise.
QString StandardOutputClash(const CommandLine& commandLine);
