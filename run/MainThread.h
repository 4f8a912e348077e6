#pragma once

#include <functional>

// The thread where a run's events and questions run while its worker waits: the thread that
// created the run. The window's is Qt's event loop (TQtMainThread); lumiva-batch has its own
// loop without Qt (TStepLoop).
class TMainThread {
public:
    virtual ~TMainThread() = default;

    // Runs Step on the main thread and returns once it has run (at once when called there); an
    // exception from Step passes to the caller. False when Step cannot be delivered.
    virtual bool Run(const std::function<void()>& Step) = 0;
};
