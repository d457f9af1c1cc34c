#pragma once

#include <algorithm>
#include <vector>

// The middle of the figures of a benchmark's runs: the upper one of the middle two
// where they are even, so that a figure always comes from a run.
inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
