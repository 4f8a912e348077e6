#include "run/FileQueue.h"

#include "folders/InputExpansion.h"
#include "run/FolderRun.h"
#include "run/Logger.h"

#include <algorithm>
#include <utility>

TFileQueue::TTurns::TTurns(TFileQueue* Queue, std::size_t Job, const TLogger& Logger, std::size_t Count,
                           std::function<std::vector<std::string>(std::size_t Index)> WrittenFile)
    : Queue(Queue), Job(Job), Logger(Logger), Count(Count), InHand(NoIndex), WrittenFile(std::move(WrittenFile))
{
}

TFileQueue::TTurns::~TTurns()
{
    if (Queue && InHand != NoIndex)
        Queue->Finish(InHand, Logger.Lines.Count());
}

std::size_t TFileQueue::TTurns::Next()
{
    if (!Queue) {
        InHand = InHand == NoIndex ? 0 : InHand + 1;
        return InHand;
    }
    if (InHand != NoIndex)
        Queue->Finish(InHand, Logger.Lines.Count());
    InHand = NoIndex;
    const std::size_t index = Queue->Take(Job, Logger.Lines.Count(), WrittenFile);
    if (index < Count)
        InHand = index;
    return index;
}

TFileQueue::TFileQueue(bool SameFileWaits, bool FolderWaits) : SameFileWaits(SameFileWaits), FolderWaits(FolderWaits)
{
}

bool TFileQueue::Expand(std::size_t Job, TFolderRun& FolderRun, TStringList& Names, TReplacedFiles& Record)
{
    Record = Replaced;
    CheckNames(Names);
    if (Job != 0) {
        std::unique_lock<std::mutex> hold(Lock);
        Changed.wait(hold, [this] { return IsOpen || Aborted; });
        if (!IsOpen)
            return false;
        // Names that hold no folder stand as they are.
        if (FolderNamed) {
            Names = Files;
            FolderRun.Adopt(Found);
        }
        return true;
    }
    bool folder = false;
    {
        std::unique_lock<std::mutex> hold(Lock);
        Changed.wait(hold, [&] { return NamesChecked >= Names.Count(); });
        folder = FolderNamed;
    }
    if (!FolderRun.Expand(Names, folder))
        return false;
    const std::lock_guard<std::mutex> hold(Lock);
    Files = Names;
    Found = FolderRun.Found();
    FileMarks.assign(Files.Count(), TMark());
    Done.assign(Files.Count(), false);
    if (SameFileWaits)
        LastOfFile.reserve(Files.Count());
    return true;
}

void TFileQueue::CheckNames(const TStringList& Names)
{
    // Shares small enough to spread a list over the jobs, big enough that the lock is rare.
    constexpr std::size_t share = 64;
    const std::size_t count = Names.Count();
    for (std::size_t first; (first = NextCheck.fetch_add(share)) < count;) {
        const bool folder = NamesFolder(Names, first, first + share);
        bool all = false;
        {
            const std::lock_guard<std::mutex> hold(Lock);
            NamesChecked += std::min(share, count - first);
            FolderNamed = FolderNamed || folder;
            all = NamesChecked == count;
        }
        if (all)
            Changed.notify_all();
    }
}

void TFileQueue::Open()
{
    {
        const std::lock_guard<std::mutex> hold(Lock);
        IsOpen = true;
    }
    Changed.notify_all();
}

std::size_t TFileQueue::Count() const
{
    const std::lock_guard<std::mutex> hold(Lock);
    return Files.Count();
}

std::size_t TFileQueue::Finished() const
{
    const std::lock_guard<std::mutex> hold(Lock);
    return FinishedCount;
}

void TFileQueue::Abort()
{
    {
        const std::lock_guard<std::mutex> hold(Lock);
        Aborted = true;
    }
    Changed.notify_all();
}

std::vector<TFileQueue::TMark> TFileQueue::Marks() const
{
    const std::lock_guard<std::mutex> hold(Lock);
    return FileMarks;
}

std::size_t TFileQueue::Take(std::size_t Job, std::size_t LogLines,
                             const std::function<std::vector<std::string>(std::size_t Index)>& WrittenFile)
{
    std::unique_lock<std::mutex> hold(Lock);
    if (Aborted || Next >= Files.Count())
        return Files.Count();
    const std::size_t index = Next++;
    const std::vector<std::size_t> before = WaitsOf(index, WrittenFile);
    Changed.wait(hold, [&] {
        return Aborted || std::all_of(before.begin(), before.end(), [this](std::size_t i) { return Done[i]; });
    });
    if (Aborted) {
        Done[index] = true;
        return Files.Count();
    }
    FileMarks[index] = {Job, LogLines, LogLines};
    return index;
}

std::vector<std::size_t> TFileQueue::WaitsOf(std::size_t Index,
                                             const std::function<std::vector<std::string>(std::size_t Index)>& WrittenFile)
{
    std::vector<std::size_t> before;
    if (SameFileWaits && WrittenFile) {
        for (std::string& key : WrittenFile(Index)) {
            const auto [Last, First] = LastOfFile.try_emplace(std::move(key), Index);
            if (!First) {
                before.push_back(Last->second);
                Last->second = Index;
            }
        }
    }
    if (FolderWaits && Index < Found.size() && Found[Index].Found()) {
        const std::string& relative = Found[Index].Relative;
        for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1)) {
            const auto [Folder, First] = FirstInFolder.try_emplace(relative.substr(0, slash), Index);
            if (!First)
                before.push_back(Folder->second);
        }
    }
    return before;
}

void TFileQueue::Finish(std::size_t Index, std::size_t LogLines)
{
    {
        const std::lock_guard<std::mutex> hold(Lock);
        FileMarks[Index].End = LogLines;
        Done[Index] = true;
        ++FinishedCount;
    }
    Changed.notify_all();
}
