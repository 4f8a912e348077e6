#pragma once

#include "progress/ReadProgress.h"
#include "run/ConvertThread.h"
#include "run/FileOutcome.h"
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
#include <vector>

class TLumiva;
class TMainThread;
class TRunQuestions;

// One conversion run over up to Jobs workers. The files are cut into consecutive shares, one per
// worker, and each share is a run of its own (TConvertThread) with its own engine and its own
// fixed buffers, so memory grows with the workers, not with the files. The logs of the shares
// joined in share order are the log of the files in order, under one summary line; outcomes are
// handed on in file order too, those of a later share held until the earlier ones have ended.
// The shares after the first start once the first has prepared, so that the output folder is
// made, and logged, once. With one job this is exactly one run. Created, started and ended on
// the main thread (MainThread's); the events run there.
class TParallelRun {
public:
    TParallelRun(TStringList Files, std::int32_t Jobs, TLumiva& Engine,
                 std::function<std::unique_ptr<TLumiva>()> MakeEngine, const TConvertOptions& Options,
                 const TConvertSpecs& Specs, const TFolderOptions& Folders, bool CheckOnly, TRunQuestions& Questions,
                 TMainThread& MainThread);
    ~TParallelRun();
    TParallelRun(const TParallelRun&) = delete;
    TParallelRun& operator=(const TParallelRun&) = delete;

    // After every file, in file order.
    std::function<void(const TFileOutcome& Outcome)> OnFileDone;
    // Set before Start: files read each with its own encoding (see TConvertThread).
    std::vector<TSourceEntry> SourceEncodings;
    // Files handled and bytes read, summed over the shares.
    std::function<void(const TRunProgress& Progress)> OnReadProgress;
    // Once every share has ended: the joined log with its summary line, and the state of the whole.
    std::function<void(TConvertState State, TLogger& Logger)> OnDone;
    // After OnDone, once no worker calls back any more (the engines may go after it).
    std::function<void()> OnTerminate;

    // Raises what TConvertThread::Start raises when the first share cannot start.
    void Start();
    // After OnTerminate: returns once every worker has let go of its run, engines included.
    void WaitFreed();
    // Any thread, also a signal handler: every running share asks its abort question.
    void RequestAbort() noexcept;

private:
    struct TShare;

    TConvertThread* MakeThread(std::size_t Index);
    void StartOthers();
    void ShareDone(std::size_t Index, TConvertState State, TLogger& Logger);
    void ShareTerminated();
    void Flush();
    void ShareProgress(std::size_t Index, const TRunProgress& Progress);

    TStringList Files;
    std::vector<std::unique_ptr<TShare>> Shares;
    TLumiva& Engine;
    std::function<std::unique_ptr<TLumiva>()> MakeEngine;
    TConvertOptions Options;
    TConvertSpecs Specs;
    TFolderOptions Folders;
    bool CheckOnly;
    TRunQuestions& Questions;
    TMainThread& MainThread;
    std::size_t Current = 0; // the share whose outcomes are handed on as they come
    std::size_t Running = 0;
    std::size_t Started = 0;
    std::mutex FreedLock;
    std::condition_variable FreedChanged;
    std::size_t Freed = 0;
    bool OthersStarted = false;
    std::atomic<bool> Aborted{false};
    TLogger Errors; // the run's own errors: shares that could not start
    TConvertState State = csCompleted;
};
