#include "run/ParallelRun.h"

#include "engine/Lumiva.h"
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
      Folders(Folders), CheckOnly(CheckOnly), Questions(Questions), MainThread(MainThread)
{
    // A folder may hold any number of files: the workers are only known to be too many once the
    // names are expanded.
    const std::size_t Count = static_cast<std::size_t>(std::max(Jobs, 1));
    for (std::size_t i = 0; i < Count; ++i)
        Shares.push_back(std::make_unique<TShare>());
    if (Count > 1)
        Queue = std::make_shared<TFileQueue>(!CheckOnly, !CheckOnly && Options.Output == omDirectory);
    Errors.ErrorPrefix = "[Error] ";
    Errors.WarningPrefix = "[Warning] ";
}

TParallelRun::~TParallelRun() = default;

TConvertThread* TParallelRun::MakeThread(std::size_t Index)
{
    TShare& Share = *Shares[Index];
    TLumiva* shared = &Converter;
    if (Index > 0) {
        Share.OwnConverter = MakeConverter();
        shared = Share.OwnConverter.get();
    }
    auto* Thread = new TConvertThread(Files, shared, Options, Specs, Questions, MainThread, Folders);
    Thread->CheckOnly = CheckOnly;
    Thread->SourceEncodings = SourceEncodings;
    Thread->Queue = Queue;
    Thread->QueueJob = Index;
    if (OnFileDone)
        Thread->OnFileEnded = [this](std::size_t File, const TFileOutcome& Outcome) { FileDone(File, Outcome); };
    if (OnReadProgress)
        Thread->OnReadProgress = [this, Index](TConvertThread*, const TRunProgress& Progress) {
            ShareProgress(Index, Progress);
        };
    if (Index == 0 && Queue)
        Thread->OnMessage = [this](TConvertThread*, const std::string& Text) {
            if (Text == "Processing...") {
                Opened = true;
                Queue->Open();
            }
        };
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
    // The others make ready while the first expands the names; they wait for it to open the queue.
    if (Queue)
        StartOthers();
}

void TParallelRun::WaitFreed()
{
    std::unique_lock<std::mutex> Hold(FreedLock);
    FreedChanged.wait(Hold, [this] { return Freed == Started; });
}

void TParallelRun::StartOthers()
{
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
            // The files are taken by the workers that did start.
            Errors.AddWarning(E.what());
        }
    }
}

// The run's progress is the sum of the workers': files and bytes of all, the file in hand being
// the one of the worker that reported last.
void TParallelRun::ShareProgress(std::size_t Index, const TRunProgress& Progress)
{
    Shares[Index]->Progress = Progress;
    TRunProgress Sum = Progress;
    Sum.RunBytes = 0;
    for (const auto& Share : Shares)
        Sum.RunBytes += Share->Progress.RunBytes;
    if (Queue) {
        Sum.Position = static_cast<std::int32_t>(Queue->Finished());
        Sum.Max = static_cast<std::int32_t>(std::max(Queue->Count(), Files.Count()));
    }
    OnReadProgress(Sum);
}

void TParallelRun::RequestAbort() noexcept
{
    Aborted.store(true);
    if (Queue)
        Queue->Abort();
    for (const auto& Share : Shares)
        if (TConvertThread* Thread = Share->Thread.load())
            Thread->RequestAbort();
}

void TParallelRun::FileDone(std::size_t Index, const TFileOutcome& Outcome)
{
    const std::lock_guard<std::mutex> Hold(OutcomeLock);
    if (Index != NextOutcome) {
        Held.emplace(Index, Outcome);
        return;
    }
    OnFileDone(Outcome);
    ++NextOutcome;
    Flush(false);
}

// Hands on the held outcomes that are next in file order; with All, every one left. Under OutcomeLock.
void TParallelRun::Flush(bool All)
{
    for (auto Next = Held.begin(); Next != Held.end() && (All || Next->first == NextOutcome); Next = Held.erase(Next)) {
        OnFileDone(Next->second);
        NextOutcome = Next->first + 1;
    }
}

void TParallelRun::ShareDone(std::size_t Index, TConvertState ShareState, TLogger& Logger)
{
    // The worker's log is used no more, so it is taken whole, not line by line. Its own summary
    // line is left out; the joined log gets one for all.
    TStringList& Log = Shares[Index]->Log;
    Log = std::move(Logger.Lines);
    Logger.Lines.Clear();
    if (Log.Count() > 0)
        Log.Delete(Log.Count() - 1);
    Errors.ErrorCount += Logger.ErrorCount;
    Errors.WarningCount += Logger.WarningCount;
    State = std::min(State, ShareState);
    // A first worker that ended before it prepared the run takes the others with it.
    if (Index == 0 && Queue && !Opened)
        Queue->Abort();
}

// The lines of the first worker before its first file (the search, the output folder), then each
// file's lines in file order, then what each worker logged after its files, the run's own errors.
TLogger TParallelRun::JoinedLog()
{
    TLogger Joined;
    Joined.ErrorCount = Errors.ErrorCount;
    Joined.WarningCount = Errors.WarningCount;
    // Each line is handed on once, so it is moved rather than copied; one job's log is the log.
    const auto AddLines = [&Joined](TStringList& Log, std::size_t First, std::size_t End) {
        for (std::size_t i = First; i < std::min(End, Log.Count()); ++i)
            Joined.Lines.Add(std::move(Log[i]));
    };
    if (!Queue) {
        Joined.Lines = std::move(Shares[0]->Log);
    } else {
        std::size_t Total = Errors.Lines.Count();
        for (const auto& Share : Shares)
            Total += Share->Log.Count();
        Joined.Lines.Reserve(Total + 1);
        const std::vector<TFileQueue::TMark> Marks = Queue->Marks();
        std::vector<std::size_t> Before(Shares.size(), TFileQueue::NoIndex); // each worker's first file line
        std::vector<std::size_t> After(Shares.size(), 0);                  // and the end of its last
        for (const TFileQueue::TMark& Mark : Marks)
            if (Mark.Job != TFileQueue::NoIndex) {
                Before[Mark.Job] = std::min(Before[Mark.Job], Mark.First);
                After[Mark.Job] = std::max(After[Mark.Job], Mark.End);
            }
        for (std::size_t Job = 0; Job < Shares.size(); ++Job)
            AddLines(Shares[Job]->Log, 0, Before[Job]);
        for (const TFileQueue::TMark& Mark : Marks)
            if (Mark.Job != TFileQueue::NoIndex)
                AddLines(Shares[Mark.Job]->Log, Mark.First, Mark.End);
        for (std::size_t Job = 0; Job < Shares.size(); ++Job)
            AddLines(Shares[Job]->Log, Before[Job] == TFileQueue::NoIndex ? Shares[Job]->Log.Count() : After[Job],
                     Shares[Job]->Log.Count());
    }
    for (const std::string& Line : Errors.Lines)
        Joined.Lines.Add(Line);
    return Joined;
}

void TParallelRun::ShareTerminated()
{
    if (--Running > 0)
        return;
    if (OnFileDone) {
        const std::lock_guard<std::mutex> Hold(OutcomeLock);
        Flush(true);
    }
    TLogger Joined = JoinedLog();
    Joined.Add(std::string(StateName(State)) + " - " + std::to_string(Joined.ErrorCount) + " errors, " +
               std::to_string(Joined.WarningCount) + " warnings");
    if (OnDone)
        OnDone(State, Joined);
    if (OnTerminate)
        OnTerminate();
}
