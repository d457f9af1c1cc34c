#include "cli/Progress.h"

#include <cstdio>
#include <string>

Progress::Progress(int total, bool shown) : total_(total), shown_(shown), start_(std::chrono::steady_clock::now()) {}

void Progress::Show(int done)
{
    if (!shown_)
        return;
    constexpr int Width = 30;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0.0;
    const int filled = total_ > 0 ? Width * done / total_ : Width;
    char left[32] = "--:--";
    if (rate > 0) {
        const int remaining = static_cast<int>((total_ - done) / rate + 0.5);
        std::snprintf(left, sizeof left, "%d:%02d", remaining / 60, remaining % 60);
    }
    const std::string bar = std::string(filled, '=') + std::string(Width - filled, ' ');
    std::fprintf(stderr, "\r[%s] %d/%d  %.1f pictures/s  %s left\033[K", bar.c_str(), done, total_, rate, left);
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::Clear()
{
    if (!drawn_)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
}
