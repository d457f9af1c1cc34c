#pragma once

#include <functional>
#include <string>
#include <vector>

// Pictures that the benchmark writes into InputRaster, each made from a fixed seed.
struct BenchmarkCase {
    std::string name;
    std::function<void()> fillInputRaster;
};

const std::vector<BenchmarkCase>& BenchmarkCases();
