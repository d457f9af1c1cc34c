#pragma once

#include "tasks/CommandLine.h"
#include "tasks/FileTask.h"

#include <string>
#include <vector>

namespace darkfill::tasks {

// The tasks that a command line asks for, in the order of its inputs. A task that
// would write over an input, or write the same file as an earlier task, carries
// its refusal; a folder that cannot be made refuses every task. With
// --skip-existing, what stopped runs left in the output folders is cleared.
std::vector<FileTask> PlanTasks(const CommandLine& commandLine);

// Where the command line writes to standard output (the result, or reports) and
// standard output is one of the inputs, standard input among them (darkfill-cli
// IN -o - >> IN, or - -o - < IN 1<> IN), the message that refuses the whole run
// before anything is written; empty otherwise.
std::string StandardOutputClash(const CommandLine& commandLine);

}  // namespace darkfill::tasks
