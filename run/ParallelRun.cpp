#include "run/ParallelRun.h"

#include "engine/Lumiva.h"
#include "run/MainThread.h"

#include <algorithm>
#include <utility>

struct TParallelRun::TShare {
    std::size_t First = 0; // the share's files in the run's list: [First, End)
    std::size_t End = 0;
    std::unique_ptr<TLumiva> OwnEngine;
    std::atomic<TConvertThread*> Thread{nullptr};
    std::vector<TFileOutcome> Held;
    TStringList Log; // without the share's summary line
    TRunProgress Progress;
    bool Done = false;
};

TParallelRun::TParallelRun(TStringList Files, std::int32_t Jobs, TLumiva& Engine,
                           std::function<std::unique_ptr<TLumiva>()> MakeEngine, const TConvertOptions& Options,
                           const TConvertSpecs& Specs, const TFolderOptions& Folders, bool CheckOnly,
                           TRunQuestions& Questions, TMainThread& MainThread)
    : Files(std::move(Files)), Engine(Engine), MakeEngine(std::move(MakeEngine)), Options(Options), Specs(Specs), Folders(Folders),
      CheckOnly(CheckOnly), Questions(Questions), MainThread(MainThread)
{
    const std::size_t total = this->Files.Count();
    const std::size_t count =
        std::max<std::size_t>(1, std::min<std::size_t>(static_cast<std::size_t>(std::max(Jobs, 1)), total));
    for (std::size_t i = 0; i < count; ++i) {
        auto share = std::make_unique<TShare>();
        share->First = total * i / count;
        share->End = total * (i + 1) / count;
        Shares.push_back(std::move(share));
    }
    Errors.ErrorPrefix = "[Error] ";
    Errors.WarningPrefix = "[Warning] ";
}

TParallelRun::~TParallelRun() = default;

TConvertThread* TParallelRun::MakeThread(std::size_t Index)
{
    TShare& Share = *Shares[Index];
    TLumiva* ShareEngine = &Engine;
    if (Index > 0) {
        Share.OwnEngine = MakeEngine();
        ShareEngine = Share.OwnEngine.get();
    }
    // The worker keeps a copy of its files; with one job the run's own list is that share.
    TStringList slice;
    if (Shares.size() > 1)
        for (std::size_t f = Share.First; f < Share.End; ++f)
            slice.Add(Files[f]);
    auto* Thread = new TConvertThread(Shares.size() > 1 ? slice : Files, ShareEngine, Options, Specs, Questions,
                                      MainThread, Folders);
    Thread->CheckOnly = CheckOnly;
    Thread->SourceEncodings = SourceEncodings;
    // Only when asked for: each outcome is one more call to the main thread per file.
    if (OnFileDone)
        Thread->OnFileDone = [this, Index](TConvertThread*, const TFileOutcome& Outcome) {
            if (Index == Current)
                OnFileDone(Outcome);
            else
                Shares[Index]->Held.push_back(Outcome);
        };
    if (OnReadProgress)
        Thread->OnReadProgress = [this, Index](TConvertThread*, const TRunProgress& Progress) {
            ShareProgress(Index, Progress);
        };
    if (Index == 0) {
        if (Shares.size() > 1)
            Thread->OnMessage = [this](TConvertThread*, const std::string& Text) {
                if (Text == "Processing...")
                    StartOthers();
            };
    }
    Thread->OnDone = [this, Index](TConvertThread*, TConvertState ShareState, TLogger& Logger) {
        ShareDone(Index, ShareState, Logger);
    };
    Thread->OnTerminate = [this, Index](TConvertThread*) {
        Shares[Index]->Thread.store(nullptr);
        ShareTerminated();
    };
    Thread->OnFreed = [this] {
        const std::lock_guard<std::mutex> Hold(FreedLock);
        ++Freed;
        FreedChanged.notify_all();
    };
    return Thread;
}

void TParallelRun::Start()
{
    TConvertThread* Thread = MakeThread(0);
    Shares[0]->Thread.store(Thread);
    // A Ctrl+C that came before the start is taken at the first check point.
    if (Aborted.load())
        Thread->RequestAbort();
    try {
        Thread->Start();
    } catch (...) {
        Shares[0]->Thread.store(nullptr);
        delete Thread;
        throw;
    }
    Running = 1;
    Started = 1;
}

void TParallelRun::WaitFreed()
{
    std::unique_lock<std::mutex> Hold(FreedLock);
    FreedChanged.wait(Hold, [this] { return Freed == Started; });
}

void TParallelRun::StartOthers()
{
    if (OthersStarted)
        return;
    OthersStarted = true;
    for (std::size_t i = 1; i < Shares.size() && !Aborted.load(); ++i) {
        TConvertThread* Thread = nullptr;
        try {
            Thread = MakeThread(i);
            Shares[i]->Thread.store(Thread);
            Thread->Start();
            ++Running;
            ++Started;
        } catch (const std::exception& E) {
            Shares[i]->Thread.store(nullptr);
            delete Thread;
            // The share's files were not converted: the run did not complete.
            Errors.AddError(E.what());
            State = std::min(State, csStopped);
            Shares[i]->Done = true;
        }
    }
}

// The run's progress is the sum of the shares': files and bytes of all, the file in hand being
// the one of the share that reported last.
void TParallelRun::ShareProgress(std::size_t Index, const TRunProgress& Progress)
{
    Shares[Index]->Progress = Progress;
    TRunProgress Sum = Progress;
    Sum.Position = 0;
    Sum.Max = 0;
    Sum.RunBytes = 0;
    for (const auto& Share : Shares) {
        Sum.Position += Share->Progress.Position;
        Sum.Max += std::max(Share->Progress.Max, static_cast<std::int32_t>(Share->End - Share->First));
        Sum.RunBytes += Share->Progress.RunBytes;
    }
    OnReadProgress(Sum);
}

void TParallelRun::RequestAbort() noexcept
{
    Aborted.store(true);
    for (const auto& Share : Shares)
        if (TConvertThread* Thread = Share->Thread.load())
            Thread->RequestAbort();
}

void TParallelRun::ShareDone(std::size_t Index, TConvertState ShareState, TLogger& Logger)
{
    // The share's run uses its log no more: the lines are taken, not copied. Its own summary line
    // is left out; the joined log gets one for all.
    TStringList& log = Shares[Index]->Log;
    log = std::move(Logger.Lines);
    Logger.Lines.Clear();
    if (!log.Empty())
        log.Delete(log.Count() - 1);
    Errors.ErrorCount += Logger.ErrorCount;
    Errors.WarningCount += Logger.WarningCount;
    State = std::min(State, ShareState);
    // A first share that ended before it processed anything takes the others' files with it.
    if (Index == 0 && !OthersStarted) {
        OthersStarted = true;
        if (Shares.size() > 1)
            State = std::min(State, csStopped);
    }
    if (Index == 0 && ShareState != csCompleted)
        Aborted.store(true);
    Shares[Index]->Done = true;
    Flush();
}

void TParallelRun::Flush()
{
    while (Current < Shares.size() && Shares[Current]->Done) {
        ++Current;
        if (Current < Shares.size() && OnFileDone) {
            for (const TFileOutcome& Outcome : Shares[Current]->Held)
                OnFileDone(Outcome);
            Shares[Current]->Held.clear();
        }
    }
}

void TParallelRun::ShareTerminated()
{
    if (--Running > 0)
        return;
    TLogger Joined;
    Joined.ErrorCount = Errors.ErrorCount;
    Joined.WarningCount = Errors.WarningCount;
    for (const auto& Share : Shares) {
        if (Joined.Lines.Empty()) {
            Joined.Lines = std::move(Share->Log);
            continue;
        }
        for (std::size_t i = 0; i < Share->Log.Count(); ++i)
            Joined.Lines.Add(std::move(Share->Log[i]));
    }
    Joined.Lines.Append(Errors.Lines);
    Joined.Add(std::string(StateName(State)) + " - " + std::to_string(Joined.ErrorCount) + " errors, " +
               std::to_string(Joined.WarningCount) + " warnings");
    if (OnDone)
        OnDone(State, Joined);
    if (OnTerminate)
        OnTerminate();
}
