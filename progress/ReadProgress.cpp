#include "progress/ReadProgress.h"

TReadProgress::TReadProgress(std::int32_t Max, TTime Start) noexcept : Start(Start)
{
    Progress.Max = Max;
}

bool TReadProgress::Read(std::uint64_t Done, std::uint64_t Size, TTime Now, std::chrono::nanoseconds Interval) noexcept
{
    Progress.FileDone = Done;
    Progress.FileSize = Size;
    Progress.RunBytes = EarlierFiles + Done;
    if (Size <= MinFileSize)
        return false;
    return Due(LastReport.value_or(Now - Interval), Now, Interval);
}

bool TReadProgress::FileEnded(std::int32_t Position, TTime Now, std::chrono::nanoseconds Interval) noexcept
{
    EarlierFiles += Progress.FileDone;
    Progress.Position = Position;
    Progress.FileDone = 0;
    Progress.FileSize = 0;
    Progress.RunBytes = EarlierFiles;
    return Due(LastReport.value_or(Start), Now, Interval);
}

bool TReadProgress::Due(TTime Since, TTime Now, std::chrono::nanoseconds Interval) noexcept
{
    if (Now - Since < Interval)
        return false;
    LastReport = Now;
    return true;
}
