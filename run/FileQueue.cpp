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
    const std::size_t finished = InHand;
    InHand = NoIndex;
    const std::size_t index = Queue->Take(Job, finished, Logger.Lines.Count(), WrittenFile);
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
        bool folder = false;
        {
            std::unique_lock<std::mutex> hold(Lock);
            Changed.wait(hold, [this] { return IsOpen || Aborted; });
            if (!IsOpen)
                return false;
            folder = FolderNamed;
        }
        // Job 0 changes the files no more once the queue is open, so they are copied without the
        // lock, which job 0 is taking its first files under. Names that hold no folder stand as they are.
        if (folder) {
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
    // Copied before the lock, which the others take to ask for the count meanwhile.
    TStringList files = Names;
    std::vector<TInputFile> found = FolderRun.Found();
    std::vector<TMark> marks(files.Count());
    std::vector<bool> done(files.Count(), false);
    const std::lock_guard<std::mutex> hold(Lock);
    Files = std::move(files);
    Found = std::move(found);
    FileMarks = std::move(marks);
    Done = std::move(done);
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

bool TFileQueue::IsOpened() const
{
    const std::lock_guard<std::mutex> hold(Lock);
    return IsOpen;
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

std::size_t TFileQueue::Take(std::size_t Job, std::size_t InHand, std::size_t LogLines,
                             const std::function<std::vector<std::string>(std::size_t Index)>& WrittenFile)
{
    // Files is fixed since the queue opened. The keys are made before the lock for the file that
    // is next now: the other job rarely takes it first, and then they are made again under the lock.
    const std::size_t count = Files.Count();
    std::size_t guess = Next.load();
    std::vector<std::size_t> keys;
    if (guess < count) {
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
    if (Aborted || Next.load() >= count)
        return count;
    const std::size_t index = Next.load();
    Next.store(index + 1);
    if (index != guess)
        keys = WrittenKeys(index, WrittenFile);
    std::vector<std::size_t> before;
    WaitsOf(index, keys, before);
    if (!before.empty())
        Changed.wait(hold, [&] {
            return Aborted || std::all_of(before.begin(), before.end(), [this](std::size_t i) { return Done[i]; });
        });
    if (Aborted) {
        Done[index] = true;
        return count;
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
    if (FolderWaits && Index < Found.size() && Found[Index].Found()) {
        const std::string& relative = Found[Index].Relative;
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
