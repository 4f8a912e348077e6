#pragma once

#include "progress/RunProgress.h"

#include <chrono>
#include <cstdint>
#include <optional>

// Follows the bytes a run reads, file by file, and says when they are worth a report: while a
// file above MinFileSize is read (the first read of the run's first such file at once), and when
// any file ends, at most once per interval and not before one interval of the run has passed, so
// that a quick run reports nothing. Owned by the worker; the caller passes the time, so that the
// decision is plain arithmetic.
class TReadProgress {
public:
    using TTime = std::chrono::steady_clock::time_point;
    // Smaller files go by too fast for a bar to move within them.
    static constexpr std::uint64_t MinFileSize = 4u << 20;
    static constexpr std::chrono::milliseconds DefaultInterval{100};

    TReadProgress(std::int32_t Max, TTime Start) noexcept;

    // Of the file in hand, Done of Size bytes are read at Now. True when a report is due.
    bool Read(std::uint64_t Done, std::uint64_t Size, TTime Now, std::chrono::nanoseconds Interval) noexcept;
    // Position files are handled at Now; the next read is of a new file. True when a report is due.
    bool FileEnded(std::int32_t Position, TTime Now, std::chrono::nanoseconds Interval) noexcept;

    const TRunProgress& Current() const noexcept { return Progress; }

private:
    bool Due(TTime Since, TTime Now, std::chrono::nanoseconds Interval) noexcept;

    TRunProgress Progress;
    std::uint64_t EarlierFiles = 0; // bytes read of the files already handled
    TTime Start;
    std::optional<TTime> LastReport;
};
