#include "progress/RunProgress.h"

#include <algorithm>

int RunPercentage(const TRunProgress& Progress) noexcept
{
    if (Progress.Position < 0 || Progress.Max <= 0)
        return 0;
    if (Progress.Position >= Progress.Max)
        return 100;
    // (Position + Done / Size) / Max in whole numbers; 128 bits hold a file size of 2^63 times 100.
    using TWide = unsigned __int128;
    const TWide size = Progress.FileSize > 0 ? Progress.FileSize : 1;
    const TWide done = Progress.FileSize > 0 ? std::min(Progress.FileDone, Progress.FileSize) : 0;
    const TWide value = (static_cast<TWide>(Progress.Position) * size + done) * 100 /
                        (static_cast<TWide>(Progress.Max) * size);
    return static_cast<int>(value);
}
