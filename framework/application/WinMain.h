#pragma once

// The program's entry point. On Windows it is the real one; elsewhere the
// framework's main calls it with empty arguments.
#ifdef _WIN32
#include <windows.h>
#else
using HINSTANCE = void*;
using LPSTR = char*;
#define WINAPI
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
