// The bar's value within a run, when the bytes read are worth a report, and lumiva-batch's
// terminal line (its pipe case runs end to end in BatchTwinTest).
#include "progress/ProgressLine.h"
#include "progress/ReadProgress.h"
#include "progress/RunProgress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <pty.h>
#include <string>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using TTime = TReadProgress::TTime;

TRunProgress At(std::int32_t Position, std::int32_t Max, std::uint64_t Done = 0, std::uint64_t Size = 0)
{
    return {Position, Max, Done, Size, 0};
}

TEST(RunPercentage, FileBoundariesGiveTheShareOfFilesHandled)
{
    EXPECT_EQ(RunPercentage(At(0, 5)), 0);
    EXPECT_EQ(RunPercentage(At(1, 3)), 33);
    EXPECT_EQ(RunPercentage(At(2, 3)), 66);
    EXPECT_EQ(RunPercentage(At(3, 3)), 100);
    EXPECT_EQ(RunPercentage(At(7, 5)), 100);
    EXPECT_EQ(RunPercentage(At(1, 0)), 0);
    EXPECT_EQ(RunPercentage(At(-1, 3)), 0);
    // Nothing read yet of the file in hand, or a file of no bytes: still the boundary's value.
    EXPECT_EQ(RunPercentage(At(1, 3, 0, 1000)), 33);
    EXPECT_EQ(RunPercentage(At(1, 3, 5, 0)), 33);
}

TEST(RunPercentage, WithinAFileTheBarMovesByTheBytesRead)
{
    EXPECT_EQ(RunPercentage(At(0, 1, 1, 2)), 50);
    EXPECT_EQ(RunPercentage(At(1, 3, 1, 2)), 50);
    EXPECT_EQ(RunPercentage(At(0, 4, 999, 1000)), 24);
    // A file that grew while read counts as whole, never as more.
    EXPECT_EQ(RunPercentage(At(1, 3, 3000, 1000)), 66);
    // Huge files do not overflow.
    EXPECT_EQ(RunPercentage(At(1, 2, 1ULL << 62, 1ULL << 63)), 75);

    // Sweeping through the second of three files never leaves the two boundaries' values and never goes back.
    int last = RunPercentage(At(1, 3));
    for (std::uint64_t done = 0; done <= 997; done += 7) {
        const int value = RunPercentage(At(1, 3, done, 997));
        EXPECT_GE(value, last);
        EXPECT_LE(value, 66);
        last = value;
    }
}

TEST(ReadProgress, LargeFilesReportAtOnceThenOncePerInterval)
{
    const TTime t0{};
    const std::uint64_t big = TReadProgress::MinFileSize + 1;
    TReadProgress progress(2, t0);
    EXPECT_TRUE(progress.Read(1000, big, t0 + 1ms, 100ms));
    EXPECT_FALSE(progress.Read(2000, big, t0 + 50ms, 100ms));
    EXPECT_TRUE(progress.Read(3000, big, t0 + 101ms, 100ms));
    EXPECT_EQ(progress.Current().FileDone, 3000u);
    EXPECT_EQ(progress.Current().FileSize, big);
    EXPECT_EQ(progress.Current().Position, 0);
    EXPECT_EQ(progress.Current().Max, 2);

    EXPECT_FALSE(progress.FileEnded(1, t0 + 150ms, 100ms));
    EXPECT_EQ(progress.Current().Position, 1);
    EXPECT_EQ(progress.Current().FileDone, 0u);
    EXPECT_EQ(progress.Current().RunBytes, 3000u);
    EXPECT_TRUE(progress.Read(500, big, t0 + 201ms, 100ms));
    EXPECT_EQ(progress.Current().RunBytes, 3500u);
    EXPECT_TRUE(progress.FileEnded(2, t0 + 400ms, 100ms));
    EXPECT_EQ(progress.Current().RunBytes, 3500u);
}

TEST(ReadProgress, SmallFilesReportOnlyAtTheirEndAndNotInAQuickRun)
{
    const TTime t0{};
    TReadProgress progress(3, t0);
    EXPECT_FALSE(progress.Read(100, TReadProgress::MinFileSize, t0 + 500ms, 100ms));
    EXPECT_EQ(progress.Current().RunBytes, 100u);
    EXPECT_FALSE(progress.FileEnded(1, t0 + 99ms, 100ms)) << "the run is younger than one interval";
    EXPECT_FALSE(progress.Read(100, 100, t0 + 500ms, 100ms));
    EXPECT_TRUE(progress.FileEnded(2, t0 + 100ms, 100ms));
    EXPECT_FALSE(progress.FileEnded(3, t0 + 150ms, 100ms));
    EXPECT_EQ(progress.Current().RunBytes, 200u);
    EXPECT_EQ(progress.Current().Position, 3);
}

TEST(ProgressLine, TextNamesFilesBytesAndRate)
{
    TRunProgress progress = At(3, 10);
    progress.RunBytes = 3 * 512 * 1024 * 1024ULL;
    EXPECT_EQ(TProgressLine::Text(progress, 2.0), "3 of 10 files, 1.5 GiB read, 768.0 MiB/s");
    progress.RunBytes = 1000;
    EXPECT_EQ(TProgressLine::Text(progress, 0.5), "3 of 10 files, 1000 B read, 2.0 KiB/s");
    EXPECT_EQ(TProgressLine::Text(At(0, 1), 0.0), "0 of 1 files, 0 B read");
}

// Everything that can be read from Fd now.
std::string Drain(int Fd)
{
    std::string text;
    pollfd ready{Fd, POLLIN, 0};
    while (::poll(&ready, 1, 50) > 0 && (ready.revents & POLLIN)) {
        char buffer[256];
        const ssize_t n = ::read(Fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

TEST(ProgressLine, DrawsInPlaceAndErasesOnATerminal)
{
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw); // the bytes as written, no CR added
    ::tcsetattr(slave, TCSANOW, &raw);
    const TTime t0{};
    {
        TProgressLine line(slave, t0);
        EXPECT_TRUE(line.Enabled());
        TRunProgress progress = At(0, 2);
        progress.RunBytes = 10 * 1024 * 1024;
        line.Show(progress, t0 + 1s);
        progress = At(1, 2);
        progress.RunBytes = 2048;
        line.Show(progress, t0 + 2s);
        line.Clear();
        line.Clear(); // nothing left to erase
    }
    const std::string first = "\r0 of 2 files, 10.0 MiB read, 10.0 MiB/s";
    const std::string second = "\r1 of 2 files, 2.0 KiB read, 1.0 KiB/s";
    const std::string cover(first.size() - second.size(), ' ');
    EXPECT_EQ(Drain(master), first + second + cover + "\r" + std::string(first.size() - 1, ' ') + "\r");
    ::close(slave);
    ::close(master);
}

} // namespace
