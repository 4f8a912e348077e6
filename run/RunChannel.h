#pragma once

#include "run/RunQuestions.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

class TMainThread;

// The worker's line to the main thread, shared by the parts of one run: runs a step there and
// waits, asks the run's questions, shows the state text, and keeps the abort request that any
// thread may make until the next check point asks about it. Owned by the run, used on its worker.
class TRunChannel {
public:
    // MainThread null: no step can be delivered.
    TRunChannel(TMainThread* MainThread, TRunQuestions& Questions);
    TRunChannel(const TRunChannel&) = delete;
    TRunChannel& operator=(const TRunChannel&) = delete;

    // Shows a state text, on the main thread; left empty, state texts go nowhere.
    std::function<void(const std::string& Text)> OnStatus;

    // Runs Step on the main thread and waits; a failure there is raised here, and a step that
    // cannot be delivered raises Exception.
    void Synchronize(const std::function<void()>& Step);
    void ReportStatus(const std::string& Text);
    std::int32_t AskMessageBox(const std::string& Text, std::uint32_t Flags);
    std::int32_t AskMessageDialog(const TMessageDialogParams& Params);
    void ShowError(const std::exception* E);

    // Any thread: asks for the abort question at the next check point.
    void RequestAbort() noexcept;
    // A check point: asks once for all requests made since the last one; true from the first
    // Yes on.
    bool CheckAbort();

private:
    TMainThread* MainThread;
    TRunQuestions& Questions;
    std::atomic<std::int32_t> AbortFlag;
    bool Terminated = false;
};
