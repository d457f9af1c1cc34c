#pragma once

#include <chrono>

// A progress bar on standard error, drawn over itself on one line: done of total,
// pictures a second, time left. Draws only where it is told to (a terminal).
class Progress
{
public:
    Progress(int total, bool shown);

    void Show(int done);
    // Clears the bar, so that a message can take its line; the next Show draws it again.
    void Clear();

private:
    int total_;
    bool shown_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
};
