#pragma once

#include <cstdint>

// Where a conversion run stands, as far as the bytes it has read tell.
struct TRunProgress {
    std::int32_t Position = 0; // files handled so far
    std::int32_t Max = 0;      // files in the run
    std::uint64_t FileDone = 0; // bytes read of the file in hand
    std::uint64_t FileSize = 0; // its size when it was opened
    std::uint64_t RunBytes = 0; // bytes read in the whole run, the file in hand's included
};

// The progress bar's value, 0 to 100: at a file boundary exactly the share of files handled (what
// the bar shows after every file), in between that share plus the part of one file's share that
// the file in hand has read. Never below the last boundary's value nor above the next one's.
int RunPercentage(const TRunProgress& Progress) noexcept;
