#pragma once

#include "progress/RunProgress.h"

#include <chrono>
#include <cstddef>
#include <string>

// The one progress line that lumiva-batch keeps on standard error: files handled of all, bytes
// read, rate. It is drawn, redrawn in place and erased only when its file descriptor is a
// terminal, so that a pipe or a log never sees it. Lives on the main thread.
class TProgressLine {
public:
    using TTime = std::chrono::steady_clock::time_point;

    // Start is when the run began, for the rate.
    TProgressLine(int Fd, TTime Start);

    bool Enabled() const noexcept { return Terminal; }
    // Draws the line for Progress at Now over the one shown before.
    void Show(const TRunProgress& Progress, TTime Now);
    // Erases the line, so that what is written next starts on a clean line.
    void Clear();

    // "3 of 10 files, 1.5 GiB read, 210.4 MiB/s"; without the rate before any time has passed.
    static std::string Text(const TRunProgress& Progress, double Seconds);

private:
    void Write(const std::string& Bytes) noexcept;

    int Fd;
    bool Terminal;
    TTime Start;
    std::size_t Shown = 0; // characters on the line now, covering spaces included
};
