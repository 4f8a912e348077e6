#include "run/FileQueue.h"

#include "folders/InputExpansion.h"
#include "run/FolderRun.h"
#include "run/Logger.h"

#include <algorithm>
#include <utility>

TFileQueue::TTurns::TTurns(TFileQueue* Queue, std::size_t Job, const TLogger& Logger, std::size_t Count,
                           std::function<std::string(std::size_t Index)> WrittenFile)
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
    const std::size_t Index = Queue->Take(Job, Logger.Lines.Count(), WrittenFile);
    if (Index < Count)
        InHand = Index;
    return Index;
}

TFileQueue::TFileQueue(bool SameFileWaits, bool FolderWaits) : SameFileWaits(SameFileWaits), FolderWaits(FolderWaits)
{
}

bool TFileQueue::Expand(std::size_t Job, TFolderRun& FolderRun, TStringList& Names, TReplacedFiles& Record)
{
    Record = Replaced;
    CheckNames(Names);
    if (Job != 0) {
        std::unique_lock<std::mutex> Hold(Lock);
        Changed.wait(Hold, [this] { return IsOpen || Aborted; });
        if (!IsOpen)
            return false;
        // Names that hold no folder stand as they are.
        if (FolderNamed) {
            Names = Files;
            FolderRun.Adopt(Found);
        }
        return true;
    }
    bool Folder = false;
    {
        std::unique_lock<std::mutex> Hold(Lock);
        Changed.wait(Hold, [&] { return NamesChecked >= Names.Count(); });
        Folder = FolderNamed;
    }
    if (!FolderRun.Expand(Names, Folder))
        return false;
    const std::lock_guard<std::mutex> Hold(Lock);
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
    constexpr std::size_t Share = 64;
    const std::size_t Count = Names.Count();
    for (std::size_t First; (First = NextCheck.fetch_add(Share)) < Count;) {
        const bool Folder = NamesFolder(Names, First, First + Share);
        bool All = false;
        {
            const std::lock_guard<std::mutex> Hold(Lock);
            NamesChecked += std::min(Share, Count - First);
            FolderNamed = FolderNamed || Folder;
            All = NamesChecked == Count;
        }
        if (All)
            Changed.notify_all();
    }
}

void TFileQueue::Open()
{
    {
        const std::lock_guard<std::mutex> Hold(Lock);
        IsOpen = true;
    }
    Changed.notify_all();
}

std::size_t TFileQueue::Count() const
{
    const std::lock_guard<std::mutex> Hold(Lock);
    return Files.Count();
}

std::size_t TFileQueue::Finished() const
{
    const std::lock_guard<std::mutex> Hold(Lock);
    return FinishedCount;
}

void TFileQueue::Abort()
{
    {
        const std::lock_guard<std::mutex> Hold(Lock);
        Aborted = true;
    }
    Changed.notify_all();
}

std::vector<TFileQueue::TMark> TFileQueue::Marks() const
{
    const std::lock_guard<std::mutex> Hold(Lock);
    return FileMarks;
}

std::size_t TFileQueue::Take(std::size_t Job, std::size_t LogLines,
                             const std::function<std::string(std::size_t Index)>& WrittenFile)
{
    std::unique_lock<std::mutex> Hold(Lock);
    if (Aborted || Next >= Files.Count())
        return Files.Count();
    const std::size_t Index = Next++;
    const std::vector<std::size_t> Before = WaitsOf(Index, WrittenFile);
    Changed.wait(Hold, [&] {
        return Aborted || std::all_of(Before.begin(), Before.end(), [this](std::size_t i) { return Done[i]; });
    });
    if (Aborted) {
        Done[Index] = true;
        return Files.Count();
    }
    FileMarks[Index] = {Job, LogLines, LogLines};
    return Index;
}

std::vector<std::size_t> TFileQueue::WaitsOf(std::size_t Index,
                                             const std::function<std::string(std::size_t Index)>& WrittenFile)
{
    std::vector<std::size_t> Before;
    if (SameFileWaits && WrittenFile) {
        const auto [Last, First] = LastOfFile.try_emplace(WrittenFile(Index), Index);
        if (!First) {
            Before.push_back(Last->second);
            Last->second = Index;
        }
    }
    if (FolderWaits && Index < Found.size() && Found[Index].Found()) {
        const std::string& Relative = Found[Index].Relative;
        for (std::size_t Slash = Relative.find('/'); Slash != std::string::npos; Slash = Relative.find('/', Slash + 1)) {
            const auto [Folder, First] = FirstInFolder.try_emplace(Relative.substr(0, Slash), Index);
            if (!First)
                Before.push_back(Folder->second);
        }
    }
    return Before;
}

void TFileQueue::Finish(std::size_t Index, std::size_t LogLines)
{
    {
        const std::lock_guard<std::mutex> Hold(Lock);
        FileMarks[Index].End = LogLines;
        Done[Index] = true;
        ++FinishedCount;
    }
    Changed.notify_all();
}
