#include "run/FileQueue.h"

#include "run/FolderRun.h"
#include "run/Logger.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace {

constexpr auto FirstFilesAwake = std::chrono::microseconds(500);

} // namespace

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
        return InHand < Count ? InHand : NoIndex;
    }
    const std::size_t finished = InHand;
    InHand = NoIndex;
    InHand = Queue->Take(Job, finished, Logger.Lines.Count(), WrittenFile);
    return InHand;
}

TFileQueue::TFileQueue(bool SameFileWaits, bool FolderWaits) : SameFileWaits(SameFileWaits), FolderWaits(FolderWaits)
{
}

bool TFileQueue::Expand(std::size_t Job, TFolderRun& FolderRun, TStringList& Names, TReplacedFiles& Record,
                        const std::function<bool()>& Ready)
{
    Record = Replaced;
    FolderRun.Share(Expanded);
    if (Job == 0)
        return FolderRun.Expand(Names, [&](std::vector<TInputFile>& More) { Show(More, Ready); });
    // The first files usually come within a fraction of a millisecond: sooner than a job put to
    // sleep would wake again, so it waits awake for a while.
    const auto until = std::chrono::steady_clock::now() + FirstFilesAwake;
    while (Expanded.Count() == 0 && !Settled.load(std::memory_order_relaxed) && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    std::unique_lock<std::mutex> hold(Lock);
    Changed.wait(hold, [this] { return IsOpen || Aborted; });
    return IsOpen;
}

void TFileQueue::Show(std::vector<TInputFile>& More, const std::function<bool()>& Ready)
{
    Expanded.Add(More);
    if (!ReadyAsked) {
        ReadyAsked = true;
        NotReady = !Ready();
    }
    if (NotReady)
        return;
    {
        const std::lock_guard<std::mutex> hold(Lock);
        ShowLocked();
    }
    Changed.notify_all();
}

void TFileQueue::ShowLocked()
{
    FileMarks.resize(Expanded.AddedCount());
    Done.resize(Expanded.AddedCount(), false);
    Expanded.ShowAll();
    IsOpen = true;
}

void TFileQueue::Open()
{
    {
        const std::lock_guard<std::mutex> hold(Lock);
        ShowLocked();
        Complete = true;
        Settled.store(true);
    }
    Changed.notify_all();
}

bool TFileQueue::IsOpened() const
{
    const std::lock_guard<std::mutex> hold(Lock);
    return Complete;
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
        Settled.store(true);
    }
    Changed.notify_all();
}

std::vector<TFileQueue::TMark> TFileQueue::Marks() const
{
    const std::lock_guard<std::mutex> hold(Lock);
    return FileMarks;
}

std::size_t TFileQueue::Take(std::size_t Job, std::size_t InHand, std::size_t LogLines,
                             const std::function<std::vector<std::string>(std::size_t Index)>& WrittenFile)
{
    // The keys are made before the lock for the file that is next now, when it is there: the
    // other job rarely takes it first, and then they are made again under the lock.
    const std::size_t guess = Next.load();
    const bool guessed = guess < Expanded.Count();
    std::vector<std::size_t> keys;
    if (guessed) {
        try {
            keys = WrittenKeys(guess, WrittenFile);
        } catch (...) {
            // The file in hand is still finished, or files that wait for it would wait for ever.
            if (InHand != NoIndex)
                Finish(InHand, LogLines);
            throw;
        }
    }
    std::unique_lock<std::mutex> hold(Lock);
    if (InHand != NoIndex)
        FinishLocked(InHand, LogLines);
    // Ahead of the expansion, a job waits for the next files to come over.
    if (!Complete && !Aborted && Next.load() >= Expanded.Count())
        Changed.wait(hold, [this] { return Complete || Aborted || Next.load() < Expanded.Count(); });
    if (Aborted || Next.load() >= Expanded.Count())
        return NoIndex;
    const std::size_t index = Next.load();
    Next.store(index + 1);
    if (index != guess || !guessed)
        keys = WrittenKeys(index, WrittenFile);
    std::vector<std::size_t> before;
    WaitsOf(index, keys, before);
    if (!before.empty())
        Changed.wait(hold, [&] {
            return Aborted || std::all_of(before.begin(), before.end(), [this](std::size_t i) { return Done[i]; });
        });
    if (Aborted) {
        Done[index] = true;
        return NoIndex;
    }
    FileMarks[index] = {Job, LogLines, LogLines};
    return index;
}

std::vector<std::size_t> TFileQueue::WrittenKeys(
    std::size_t Index, const std::function<std::vector<std::string>(std::size_t Index)>& WrittenFile) const
{
    std::vector<std::size_t> keys;
    if (SameFileWaits && WrittenFile)
        for (const std::string& key : WrittenFile(Index))
            keys.push_back(std::hash<std::string>()(key));
    return keys;
}

void TFileQueue::WaitsOf(std::size_t Index, const std::vector<std::size_t>& Keys, std::vector<std::size_t>& Before)
{
    // Only files not done yet are waited for, so a file usually waits for none.
    const auto waitFor = [&](std::size_t Earlier) {
        if (!Done[Earlier])
            Before.push_back(Earlier);
    };
    for (const std::size_t key : Keys) {
        auto& last = LastOf(key);
        if (last.second != 0)
            waitFor(last.second - 1);
        last.second = Index + 1;
    }
    if (FolderWaits && Expanded[Index].Found()) {
        const std::string& relative = Expanded[Index].Relative;
        for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1)) {
            const auto [folder, first] = FirstInFolder.try_emplace(relative.substr(0, slash), Index);
            if (!first)
                waitFor(folder->second);
        }
    }
}

std::pair<std::size_t, std::size_t>& TFileQueue::LastOf(std::size_t Key)
{
    // 0 marks a free slot; the key it would be shares with 1.
    Key = Key == 0 ? 1 : Key;
    if (2 * (KeysKept + 1) > LastOfFile.size()) {
        std::vector<std::pair<std::size_t, std::size_t>> old(std::max<std::size_t>(1024, 2 * LastOfFile.size()));
        old.swap(LastOfFile);
        KeysKept = 0;
        for (const auto& slot : old)
            if (slot.first != 0)
                LastOf(slot.first).second = slot.second;
    }
    const std::size_t mask = LastOfFile.size() - 1;
    for (std::size_t at = Key & mask;; at = (at + 1) & mask) {
        if (LastOfFile[at].first == Key)
            return LastOfFile[at];
        if (LastOfFile[at].first == 0) {
            ++KeysKept;
            LastOfFile[at].first = Key;
            return LastOfFile[at];
        }
    }
}

void TFileQueue::Finish(std::size_t Index, std::size_t LogLines)
{
    const std::lock_guard<std::mutex> hold(Lock);
    FinishLocked(Index, LogLines);
}

void TFileQueue::FinishLocked(std::size_t Index, std::size_t LogLines)
{
    FileMarks[Index].End = LogLines;
    Done[Index] = true;
    ++FinishedCount;
    // Waiters are rare (a file named twice, the first file of a folder); the wake finds none mostly.
    Changed.notify_all();
}
