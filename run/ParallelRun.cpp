#include "run/ParallelRun.h"

#include "engine/Lumiva.h"
#include "folders/InputExpansion.h"
#include "run/MainThread.h"

#include <algorithm>
#include <utility>

struct TParallelRun::TShare {
    std::unique_ptr<TLumiva> OwnConverter;
    std::atomic<TConvertThread*> Thread{nullptr};
    TStringList Log; // without the worker's summary line
    TRunProgress Progress;
};

TParallelRun::TParallelRun(TStringList Files, std::int32_t Jobs, TLumiva& Converter,
                           std::function<std::unique_ptr<TLumiva>()> MakeConverter, const TConvertOptions& Options,
                           const TConvertSpecs& Specs, const TFolderOptions& Folders, bool CheckOnly,
                           TRunQuestions& Questions, TMainThread& MainThread)
    : Files(std::move(Files)), Converter(Converter), MakeConverter(std::move(MakeConverter)), Options(Options), Specs(Specs),
      Folders(Folders), CheckOnly(CheckOnly), Questions(Questions), MainThread(MainThread),
      NamedCount(this->Files.Count())
{
    // A folder may hold any number of files: the workers are only known to be too many once the
    // names are expanded. Fewer names than jobs are looked at first (a look-up each, no more than
    // the jobs): files alone need no worker beyond one each.
    std::size_t count = static_cast<std::size_t>(std::max(Jobs, 1));
    if (count > this->Files.Count() && !NamesFolder(this->Files))
        count = std::max<std::size_t>(this->Files.Count(), 1);
    for (std::size_t i = 0; i < count; ++i)
        Shares.push_back(std::make_unique<TShare>());
    if (count > 1)
        Queue = std::make_shared<TFileQueue>(!CheckOnly, !CheckOnly && Options.Output == omDirectory);
    Errors.ErrorPrefix = "[Error] ";
    Errors.WarningPrefix = "[Warning] ";
}

TParallelRun::~TParallelRun() = default;

TConvertThread* TParallelRun::MakeThread(std::size_t Index)
{
    TShare& share = *Shares[Index];
    TLumiva* shared = &Converter;
    if (Index > 0) {
        share.OwnConverter = MakeConverter();
        shared = share.OwnConverter.get();
    }
    // Only the first job reads the names, which it is given; the others take the files it finds
    // from the queue.
    auto* thread = new TConvertThread(Index == 0 ? std::move(Files) : TStringList(), shared, Options, Specs, Questions,
                                      MainThread, Folders);
    thread->CheckOnly = CheckOnly;
    thread->SourceEncodings = SourceEncodings;
    thread->Queue = Queue;
    thread->QueueJob = Index;
    if (OnFileDone)
        thread->OnFileEnded = [this](std::size_t File, TFileOutcome& Outcome) { FileDone(File, Outcome); };
    if (OnReadProgress)
        thread->OnReadProgress = [this, Index](TConvertThread*, const TRunProgress& Progress) {
            ShareProgress(Index, Progress);
        };
    thread->OnDone = [this, Index](TConvertThread*, TConvertState ShareState, TLogger& Logger) {
        ShareDone(Index, ShareState, Logger);
    };
    thread->OnTerminate = [this, Index](TConvertThread*) {
        Shares[Index]->Thread.store(nullptr);
        ShareTerminated();
    };
    thread->OnFreed = [this] {
        const std::lock_guard<std::mutex> hold(FreedLock);
        ++Freed;
        FreedChanged.notify_all();
    };
    return thread;
}

void TParallelRun::Start()
{
    TConvertThread* thread = MakeThread(0);
    Shares[0]->Thread.store(thread);
    // A Ctrl+C that came before the start is taken at the first check point.
    if (Aborted.load())
        thread->RequestAbort();
    try {
        thread->Start();
    } catch (...) {
        Shares[0]->Thread.store(nullptr);
        delete thread;
        throw;
    }
    Running = 1;
    Started = 1;
    // The others make ready while the first expands the names, and start on the first files it finds.
    if (Queue)
        StartOthers();
}

void TParallelRun::WaitFreed()
{
    std::unique_lock<std::mutex> hold(FreedLock);
    FreedChanged.wait(hold, [this] { return Freed == Started; });
}

void TParallelRun::StartOthers()
{
    for (std::size_t i = 1; i < Shares.size() && !Aborted.load(); ++i) {
        TConvertThread* thread = nullptr;
        try {
            thread = MakeThread(i);
            Shares[i]->Thread.store(thread);
            thread->Start();
            ++Running;
            ++Started;
        } catch (const std::exception& e) {
            Shares[i]->Thread.store(nullptr);
            delete thread;
            // The files are taken by the workers that did start.
            Errors.AddWarning(e.what());
        }
    }
}

// The run's progress is the sum of the workers': files and bytes of all, the file in hand being
// the one of the worker that reported last.
void TParallelRun::ShareProgress(std::size_t Index, const TRunProgress& Progress)
{
    Shares[Index]->Progress = Progress;
    TRunProgress sum = Progress;
    sum.RunBytes = 0;
    for (const auto& share : Shares)
        sum.RunBytes += share->Progress.RunBytes;
    if (Queue) {
        sum.Position = static_cast<std::int32_t>(Queue->Finished());
        sum.Max = static_cast<std::int32_t>(std::max(Queue->Count(), NamedCount));
    }
    OnReadProgress(sum);
}

void TParallelRun::RequestAbort() noexcept
{
    Aborted.store(true);
    if (Queue)
        Queue->Abort();
    for (const auto& share : Shares)
        if (TConvertThread* thread = share->Thread.load())
            thread->RequestAbort();
}

void TParallelRun::FileDone(std::size_t Index, TFileOutcome& Outcome)
{
    {
        const std::lock_guard<std::mutex> hold(HeldLock);
        HeldSlot(Index) = std::move(Outcome);
    }
    HandOn();
}

// Under HeldLock: the place of file Index's outcome (Index >= NextOutcome).
std::optional<TFileOutcome>& TParallelRun::HeldSlot(std::size_t Index)
{
    const std::size_t at = Index - NextOutcome;
    if (at >= Held.size()) {
        std::vector<std::optional<TFileOutcome>> grown(std::max<std::size_t>({8, 2 * Held.size(), at + 1}));
        for (std::size_t i = 0; i < Held.size(); ++i)
            grown[i] = std::move(Held[(HeldFirst + i) % Held.size()]);
        Held = std::move(grown);
        HeldFirst = 0;
    }
    return Held[(HeldFirst + at) % Held.size()];
}

// Hands on the outcomes that are next in file order, unless another worker is at it. That one
// looks again once it has let go, so an outcome put in meanwhile is never left behind.
void TParallelRun::HandOn()
{
    while (HandingLock.try_lock()) {
        {
            const std::lock_guard<std::mutex> handing(HandingLock, std::adopt_lock);
            while (true) {
                std::optional<TFileOutcome> next;
                {
                    const std::lock_guard<std::mutex> hold(HeldLock);
                    if (Held.empty() || !Held[HeldFirst])
                        break;
                    next = std::move(Held[HeldFirst]);
                    Held[HeldFirst].reset();
                    HeldFirst = (HeldFirst + 1) % Held.size();
                    ++NextOutcome;
                }
                OnFileDone(*next);
            }
        }
        const std::lock_guard<std::mutex> hold(HeldLock);
        if (Held.empty() || !Held[HeldFirst])
            return;
    }
}

void TParallelRun::ShareDone(std::size_t Index, TConvertState ShareState, TLogger& Logger)
{
    // The worker's log is used no more, so it is taken whole, not line by line. Its own summary
    // line is left out; the joined log gets one for all.
    TStringList& log = Shares[Index]->Log;
    log = std::move(Logger.Lines);
    Logger.Lines.Clear();
    if (log.Count() > 0)
        log.Delete(log.Count() - 1);
    Errors.ErrorCount += Logger.ErrorCount;
    Errors.WarningCount += Logger.WarningCount;
    State = std::min(State, ShareState);
    // A first worker that ended before it prepared the run takes the others with it.
    if (Index == 0 && Queue && !Queue->IsOpened())
        Queue->Abort();
}

// The lines of the first worker before its first file (the search, the output folder), then each
// file's lines in file order, then what each worker logged after its files, the run's own errors.
TLogger TParallelRun::JoinedLog()
{
    TLogger joined;
    joined.ErrorCount = Errors.ErrorCount;
    joined.WarningCount = Errors.WarningCount;
    // Each line is handed on once, so it is moved rather than copied; one job's log is the log.
    const auto addLines = [&joined](TStringList& Log, std::size_t First, std::size_t End) {
        for (std::size_t i = First; i < std::min(End, Log.Count()); ++i)
            joined.Lines.Add(std::move(Log[i]));
    };
    if (!Queue) {
        joined.Lines = std::move(Shares[0]->Log);
    } else {
        std::size_t total = Errors.Lines.Count();
        for (const auto& share : Shares)
            total += share->Log.Count();
        joined.Lines.Reserve(total + 1);
        const std::vector<TFileQueue::TMark> marks = Queue->Marks();
        std::vector<std::size_t> before(Shares.size(), TFileQueue::NoIndex); // each worker's first file line
        std::vector<std::size_t> after(Shares.size(), 0);                  // and the end of its last
        for (const TFileQueue::TMark& mark : marks)
            if (mark.Job != TFileQueue::NoIndex) {
                before[mark.Job] = std::min(before[mark.Job], mark.First);
                after[mark.Job] = std::max(after[mark.Job], mark.End);
            }
        for (std::size_t job = 0; job < Shares.size(); ++job)
            addLines(Shares[job]->Log, 0, before[job]);
        for (const TFileQueue::TMark& mark : marks)
            if (mark.Job != TFileQueue::NoIndex)
                addLines(Shares[mark.Job]->Log, mark.First, mark.End);
        for (std::size_t job = 0; job < Shares.size(); ++job)
            addLines(Shares[job]->Log, before[job] == TFileQueue::NoIndex ? Shares[job]->Log.Count() : after[job],
                     Shares[job]->Log.Count());
    }
    for (const std::string& line : Errors.Lines)
        joined.Lines.Add(line);
    return joined;
}

void TParallelRun::ShareTerminated()
{
    if (--Running > 0)
        return;
    // Every worker has ended: what is held is handed on, past the files that never ended.
    if (OnFileDone)
        for (std::size_t i = 0; i < Held.size(); ++i)
            if (std::optional<TFileOutcome>& outcome = Held[(HeldFirst + i) % Held.size()])
                OnFileDone(*outcome);
    Held.clear();
    TLogger joined = JoinedLog();
    joined.Add(std::string(StateName(State)) + " - " + std::to_string(joined.ErrorCount) + " errors, " +
               std::to_string(joined.WarningCount) + " warnings");
    if (OnDone)
        OnDone(State, joined);
    if (OnTerminate)
        OnTerminate();
}
