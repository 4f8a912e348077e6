#pragma once

#include "run/ConvertError.h"
#include "run/FileOutcome.h"
#include "run/FileQueue.h"
#include "run/FolderRun.h"
#include "run/Logger.h"
#include "run/OutputPlacement.h"
#include "run/ReplacedFiles.h"
#include "progress/ReadProgress.h"
#include "run/RunChannel.h"
#include "run/RunQuestions.h"
#include "run/SourcesFile.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"
#include "settings/FolderOptions.h"
#include "util/StringList.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <string>
#include <utility>
#include <vector>

class TFileConverter;
class TMainThread;
class TLumiva;
class TSourceDetection;
class TSourceFile;

enum TConvertState : std::int32_t { csCanceled = 0, csStopped = 1, csCompleted = 2 };

// "Canceled", "Stopped", "Completed", or "(Unknown)".
const char* StateName(std::int32_t State);

// The worker of one conversion run. Created idle on the main thread with new; Start runs it;
// every event and question runs on the main thread (MainThread) while the worker waits. After
// OnTerminate has returned the object deletes itself; one never started is its creator's to delete.
class TConvertThread {
public:
    using EConvertError = ::EConvertError;

    // The run keeps MainThread until its end.
    TConvertThread(std::unique_ptr<TMainThread> MainThread, TStringList Files, TLumiva* Converter,
                   const TConvertOptions& Options, const TConvertSpecs& Specs, TRunQuestions& Questions,
                   const TFolderOptions& FolderOptions = DefaultFolderOptions());
    // MainThread must outlive the run.
    TConvertThread(TStringList Files, TLumiva* Converter, const TConvertOptions& Options,
                   const TConvertSpecs& Specs, TRunQuestions& Questions, TMainThread& MainThread,
                   const TFolderOptions& FolderOptions = DefaultFolderOptions());
    virtual ~TConvertThread();
    TConvertThread(const TConvertThread&) = delete;
    TConvertThread& operator=(const TConvertThread&) = delete;

    // Events, run on the main thread; each may be left empty.
    std::function<void(TConvertThread* Sender, const std::string& Text)> OnMessage;
    std::function<void(TConvertThread* Sender, std::int32_t Position, std::int32_t Max)> OnProgress;
    std::function<void(TConvertThread* Sender, TConvertState State, TLogger& Logger)> OnDone;
    std::function<void(TConvertThread* Sender)> OnTerminate;
    // After each file, when set: what became of it, run on the worker itself with the file's index
    // (no wait on the main thread). The handler may move the outcome out.
    std::function<void(std::size_t Index, TFileOutcome& Outcome)> OnFileEnded;
    // Runs on the worker as its very last step, after the object is gone.
    std::function<void()> OnFreed;
    // Set before Start: every file is read through the same conversion, and nothing is written
    // (no output directory, temporary file, backup or overwrite question).
    bool CheckOnly = false;
    // Bytes read: within a file above TReadProgress::MinFileSize and after every file, at most once
    // per ReadReportInterval.
    std::function<void(TConvertThread* Sender, const TRunProgress& Progress)> OnReadProgress;
    std::chrono::nanoseconds ReadReportInterval = TReadProgress::DefaultInterval;
    // Set before Start: files read each with its own encoding ("" or "auto" detects it), the
    // others with the run's From. With OnlyListedSources the others are left out unlogged.
    std::vector<TSourceEntry> SourceEncodings;
    bool OnlyListedSources = false;
    // The outcome of every file, in run order, handed over in batches while the run goes on and
    // the last of them before OnDone. The handler may move the outcomes out.
    std::function<void(TConvertThread* Sender, std::vector<TFileOutcome>& Outcomes)> OnOutcomes;
    // Set before Start for one job of a parallel run: the files come from Queue, which job 0
    // fills with its expansion of Files (the other jobs' Files are not used), and the record of
    // replaced files is shared.
    std::shared_ptr<TFileQueue> Queue;
    std::size_t QueueJob = 0;

    // Starts the worker; later calls do nothing.
    void Start();
    // Any thread: asks for the abort question at the next check point.
    void RequestAbort() noexcept;

private:
    TConvertThread(std::unique_ptr<TMainThread> OwnMainThread, TMainThread* MainThread, TStringList Files,
                   TLumiva* Converter, const TConvertOptions& Options, const TConvertSpecs& Specs,
                   TRunQuestions& Questions, const TFolderOptions& FolderOptions);
    void Run() noexcept;
    void Execute();
    void DoTerminate();
    bool Prepare();
    bool Process();
    void ProcessFile(std::size_t Index, TFileConverter& FileConverter);
    void CheckFile(std::size_t Index, TSourceFile& File, TFileConverter& FileConverter);
    void LogFailure(const EConvertError& E, TFileOutcome& Outcome);
    void ReportFile(std::size_t Index, TFileOutcome& Outcome, const std::string& Detected);
    TFileConverter& SourcePipeline(TSourceFile& File, TFileConverter& FileConverter, std::string& Detected,
                                   std::optional<TFileConverter>& Holder);
    bool DetectsFile(const std::string& Source) const;
    TSourceDetection& SourceDetection();
    // With OnOutcomes: file Index's outcome, told as the window shows it, into the next batch.
    void RecordOutcome(std::size_t Index, TFileOutcome Outcome);
    void FlushOutcomes();
    void ReportSummary();
    void ResolveTargetEncoding();
    // What file Index writes to, for the queue: files that share a key take turns.
    std::vector<std::string> WrittenFile(std::size_t Index) const;
    std::string SourceFileName(std::size_t Index) const;
    // The names of file Index: those WrittenFile worked out for it, when it did, moved out.
    std::string TakeSourceName(std::size_t Index);
    std::string TakeDestination(std::size_t Index, const std::string& Source);
    // The files of the run; in a parallel run, those found so far.
    std::size_t FileCount() const;

    // Events on the main thread, through the channel.
    void ReportProgress(std::int32_t Position, std::int32_t Max);
    void TrackRead(std::uint64_t Done, std::uint64_t Size);
    // The run-level error for the last resort: a failure to show it is dropped.
    void ShowErrorQuietly(const std::exception* E) noexcept;

    TStringList Files;
    TLumiva* Converter;
    TConvertOptions Options;
    TConvertSpecs Specs;
    // The current directory when the run started: relative source names count from there.
    std::string WorkingFolder;
    std::string Signature;
    std::string TargetEncoding;
    TConvertState State = csCanceled;
    std::unique_ptr<TLogger> Logger;
    std::unique_ptr<TMainThread> OwnMainThread;
    TRunChannel Channel;
    TOutputPlacement Placement;
    TFolderRun FolderRun;
    // Set for the run when From is "Auto-detect".
    std::unique_ptr<TSourceDetection> Detection;
    // The files this run has replaced (overwrite mode).
    TReplacedFiles Replaced;
    // SourceEncodings by full source name.
    std::unordered_map<std::string, std::string> FileEncodings;
    std::vector<TFileOutcome> Outcomes;
    // What WrittenFile worked out last, so that the file it is asked for before its conversion
    // is not named twice.
    struct TNamed {
        std::size_t Index = TFileQueue::NoIndex;
        std::string Source;
        std::string Destination;
        bool HasDestination = false;
    };
    mutable TNamed Named;
    std::chrono::steady_clock::time_point OutcomesSent;
    std::optional<TStringList> EncodingGroups;
    std::atomic<bool> Started{false};
    std::uint64_t FileBytesRead = 0;
    // Each source's first bytes, read once for the text check and detection and converted from.
    std::vector<char> SampleRoom;
    TReadProgress ReadTracker{static_cast<std::int32_t>(Files.Count()), std::chrono::steady_clock::now()};
};
