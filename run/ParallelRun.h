#pragma once

#include "progress/ReadProgress.h"
#include "run/ConvertThread.h"
#include "run/FileOutcome.h"
#include "run/FileQueue.h"
#include "run/Logger.h"
#include "run/SourcesFile.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"
#include "settings/FolderOptions.h"
#include "util/StringList.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TLumiva;
class TMainThread;
class TRunQuestions;

// One conversion run over up to Jobs workers. Each worker is a run of its own (TConvertThread)
// with its own engine and fixed buffers, so memory grows with the workers, not with the files.
// All start at once; the first expands the names (walking the folders), and the files it finds go
// over to the others as it goes, the output folder made before the first of them. Every worker
// takes the next of the expanded files as it comes free (TFileQueue). Fewer names than jobs, none of them a folder, make only as many
// workers as names.
// The workers' logs are joined file by file into the log of the files in order, under one summary
// line; outcomes are handed on in file order too, a later file's held until the earlier ones are
// done, by whichever worker finds the next one there while the others go on. With one job this is
// exactly one run. Created, started and ended on the main thread (MainThread's); the events run
// there, but for OnFileDone.
class TParallelRun {
public:
    TParallelRun(TStringList Files, std::int32_t Jobs, TLumiva& Converter,
                 std::function<std::unique_ptr<TLumiva>()> MakeConverter, const TConvertOptions& Options,
                 const TConvertSpecs& Specs, const TFolderOptions& Folders, bool CheckOnly, TRunQuestions& Questions,
                 TMainThread& MainThread);
    ~TParallelRun();
    TParallelRun(const TParallelRun&) = delete;
    TParallelRun& operator=(const TParallelRun&) = delete;

    // After every file, in file order: on the worker that finished the file (or a later one), one
    // call at a time, so that no worker waits on the main thread for it.
    std::function<void(const TFileOutcome& Outcome)> OnFileDone;
    // Set before Start: files read each with its own encoding (see TConvertThread).
    std::vector<TSourceEntry> SourceEncodings;
    // Files handled and bytes read, summed over the workers.
    std::function<void(const TRunProgress& Progress)> OnReadProgress;
    // Once every worker has ended: the joined log with its summary line, and the state of the whole.
    std::function<void(TConvertState State, TLogger& Logger)> OnDone;
    // After OnDone, once no worker calls back any more (the engines may go after it).
    std::function<void()> OnTerminate;

    // Raises what TConvertThread::Start raises when the first worker cannot start.
    void Start();
    // After OnTerminate: returns once every worker has let go of its run, engines included.
    void WaitFreed();
    // Any thread, also a signal handler: every running worker asks its abort question.
    void RequestAbort() noexcept;

private:
    struct TShare;

    TConvertThread* MakeThread(std::size_t Index);
    void StartOthers();
    void FileDone(std::size_t Index, TFileOutcome& Outcome);
    void HandOn();
    void ShareDone(std::size_t Index, TConvertState State, TLogger& Logger);
    void ShareTerminated();
    void ShareProgress(std::size_t Index, const TRunProgress& Progress);
    TLogger JoinedLog();

    TStringList Files; // until the first worker takes them
    std::vector<std::unique_ptr<TShare>> Shares;
    // Null with one job.
    std::shared_ptr<TFileQueue> Queue;
    TLumiva& Converter;
    std::function<std::unique_ptr<TLumiva>()> MakeConverter;
    TConvertOptions Options;
    TConvertSpecs Specs;
    TFolderOptions Folders;
    bool CheckOnly;
    TRunQuestions& Questions;
    TMainThread& MainThread;
    std::size_t NamedCount;
    // Outcomes held until those before them are handed on, in a ring that grows only as far as
    // the workers get ahead of one another: file NextOutcome's is Held[HeldFirst].
    // HeldLock is only held to put one in or take one out; HandingLock while one is handed on,
    // and a worker that finds it taken leaves its outcome to the one that has it.
    std::optional<TFileOutcome>& HeldSlot(std::size_t Index);
    std::mutex HeldLock;
    std::vector<std::optional<TFileOutcome>> Held;
    std::size_t HeldFirst = 0;
    std::size_t NextOutcome = 0;
    std::mutex HandingLock;
    std::size_t Running = 0;
    std::size_t Started = 0;
    std::mutex FreedLock;
    std::condition_variable FreedChanged;
    std::size_t Freed = 0;
    std::atomic<bool> Aborted{false};
    TLogger Errors; // the run's own errors: workers that could not start
    TConvertState State = csCompleted;
};
