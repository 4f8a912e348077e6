#pragma once

#include "run/MainThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// A main thread without an event loop of a toolkit: the thread that creates the loop runs, in
// Exec, the steps other threads hand to Run, one at a time, until Quit. A step handed over after
// Exec has ended is refused, so that no worker waits for a loop that is gone.
class TStepLoop : public TMainThread {
public:
    TStepLoop();
    TStepLoop(const TStepLoop&) = delete;
    TStepLoop& operator=(const TStepLoop&) = delete;

    bool Run(const std::function<void()>& Step) override;
    // Returns after the step that called Quit (or at once when Quit came first).
    void Exec();
    // Any thread.
    void Quit();

private:
    struct TRequest;

    const std::thread::id Owner;
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<TRequest*> Requests;
    bool Quitting = false;
    bool Ended = false;
};
