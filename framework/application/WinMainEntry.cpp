#ifndef _WIN32

#include "framework/application/TApplication.h"
#include "framework/application/WinMain.h"

#include <cstdlib>
#include <iostream>

namespace {

// Qt's window system plugin aborts without a display; say so plainly instead.
bool DisplayAvailable()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

int main(int argc, char** argv)
{
    TApplication::KeepCommandLine(argc, argv);
    if (const std::optional<int> status = CommandLineHandler::Run(TApplication::CommandLine()))
        return *status;
    if (!DisplayAvailable()) {
        std::cerr << "This program needs a display to open its window, and none is set (DISPLAY is empty)." << std::endl;
        return 1;
    }
    const int result = WinMain(nullptr, nullptr, nullptr, 0);
    Application->Shutdown();
    return result;
}

#endif
