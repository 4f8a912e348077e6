#include "run/ParallelRun.h"

#include "engine/Lumiva.h"
#include "run/MainThread.h"

#include <algorithm>

struct TParallelRun::TShare {
    TStringList Files;
    std::unique_ptr<TLumiva> OwnEngine;
    std::atomic<TConvertThread*> Thread{nullptr};
    std::vector<TFileOutcome> Held;
    std::vector<std::string> Log; // without the share's summary line
    TRunProgress Progress;
    bool Done = false;
};

TParallelRun::TParallelRun(const TStringList& Files, std::int32_t Jobs, TLumiva& Engine,
                           std::function<std::unique_ptr<TLumiva>()> MakeEngine, const TConvertOptions& Options,
                           const TConvertSpecs& Specs, const TFolderOptions& Folders, bool CheckOnly,
                           TRunQuestions& Questions, TMainThread& MainThread)
    : Engine(Engine), MakeEngine(std::move(MakeEngine)), Options(Options), Specs(Specs), Folders(Folders),
      CheckOnly(CheckOnly), Questions(Questions), MainThread(MainThread)
{
    const std::size_t Count = std::max<std::size_t>(
        1, std::min<std::size_t>(static_cast<std::size_t>(std::max(Jobs, 1)), Files.Count()));
    for (std::size_t i = 0; i < Count; ++i) {
        auto Share = std::make_unique<TShare>();
        for (std::size_t f = Files.Count() * i / Count; f < Files.Count() * (i + 1) / Count; ++f)
            Share->Files.Add(Files[f]);
        Shares.push_back(std::move(Share));
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
    auto* Thread = new TConvertThread(Share.Files, ShareEngine, Options, Specs, Questions, MainThread, Folders);
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
        Sum.Max += std::max(Share->Progress.Max, static_cast<std::int32_t>(Share->Files.Count()));
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
    // Each share's own summary line is left out; the joined log gets one for all.
    for (std::size_t i = 0; i + 1 < Logger.Lines.Count(); ++i)
        Shares[Index]->Log.push_back(Logger.Lines[i]);
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
    for (const auto& Share : Shares)
        for (const std::string& Line : Share->Log)
            Joined.Lines.Add(Line);
    for (const std::string& Line : Errors.Lines)
        Joined.Lines.Add(Line);
    Joined.Add(std::string(StateName(State)) + " - " + std::to_string(Joined.ErrorCount) + " errors, " +
               std::to_string(Joined.WarningCount) + " warnings");
    if (OnDone)
        OnDone(State, Joined);
    if (OnTerminate)
        OnTerminate();
}
