#include "progress/ProgressLine.h"

#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

std::string Amount(double Bytes)
{
    if (Bytes < 1024)
        return std::to_string(static_cast<unsigned long long>(Bytes)) + " B";
    static const char* const Units[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    int unit = 0;
    Bytes /= 1024;
    while (Bytes >= 1024 && unit < 4) {
        Bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", Bytes, Units[unit]);
    return text;
}

} // namespace

TProgressLine::TProgressLine(int Fd, TTime Start) : Fd(Fd), Terminal(::isatty(Fd) == 1), Start(Start) {}

std::string TProgressLine::Text(const TRunProgress& Progress, double Seconds)
{
    std::string text = std::to_string(Progress.Position) + " of " + std::to_string(Progress.Max) + " files, " +
                       Amount(static_cast<double>(Progress.RunBytes)) + " read";
    if (Seconds > 0)
        text += ", " + Amount(static_cast<double>(Progress.RunBytes) / Seconds) + "/s";
    return text;
}

void TProgressLine::Show(const TRunProgress& Progress, TTime Now)
{
    if (!Terminal)
        return;
    const std::string text = Text(Progress, std::chrono::duration<double>(Now - Start).count());
    // Spaces cover the rest of a longer line drawn before.
    Write("\r" + text + std::string(Shown > text.size() ? Shown - text.size() : 0, ' '));
    Shown = std::max(Shown, text.size());
}

void TProgressLine::Clear()
{
    if (!Terminal || Shown == 0)
        return;
    Write("\r" + std::string(Shown, ' ') + "\r");
    Shown = 0;
}

// A line that cannot be drawn is no reason to disturb the run.
void TProgressLine::Write(const std::string& Bytes) noexcept
{
    WriteAll(Fd, Bytes.data(), Bytes.size());
}
