#pragma once

#include <string>

// The framework's string type: UTF-8 text.
using AnsiString = std::string;
