#include "cli/Progress.h"

#include <QString>

#include <cstdio>

Progress::Progress(int total, bool shown) : total_(total), shown_(shown)
{
    clock_.start();
}

void Progress::Show(int done)
{
    if (!shown_)
        return;
    constexpr int Width = 30;
    const double seconds = static_cast<double>(clock_.elapsed()) / 1000.0;
    const double rate = seconds > 0 ? done / seconds : 0.0;
    const int filled = total_ > 0 ? Width * done / total_ : Width;
    QString left = QStringLiteral("--:--");
    if (rate > 0) {
        const int remaining = static_cast<int>((total_ - done) / rate + 0.5);
        left = QStringLiteral("%1:%2").arg(remaining / 60).arg(remaining % 60, 2, 10, QLatin1Char('0'));
    }
    const QString bar = QString(filled, QLatin1Char('=')) + QString(Width - filled, QLatin1Char(' '));
    std::fprintf(stderr, "\r[%s] %d/%d  %.1f pictures/s  %s left\033[K", qPrintable(bar), done, total_, rate,
                 qPrintable(left));
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
