#pragma once

#include "tasks/CommandLine.h"
#include "tasks/FileTask.h"

#include <vector>

// Fills the tasks, --jobs at a time, and reports each one, in the order of the
// inputs, as soon as it and those before it are done: messages on standard
// error, --stats and --json lines on standard output (standard error where
// the result goes to standard output), a progress bar on a terminal. Each job
// writes one picture while it reads and fills the next, on a thread of its
// own. Returns the exit status.
int RunTasks(const std::vector<darkfill::tasks::FileTask>& tasks, const darkfill::tasks::CommandLine& commandLine);
