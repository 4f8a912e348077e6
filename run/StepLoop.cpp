#include "run/StepLoop.h"

#include <exception>

struct TStepLoop::TRequest {
    const std::function<void()>* Step;
    std::exception_ptr Failure;
    bool Done = false;
    bool Refused = false;
};

TStepLoop::TStepLoop() : Owner(std::this_thread::get_id()) {}

bool TStepLoop::Run(const std::function<void()>& Step)
{
    if (std::this_thread::get_id() == Owner) {
        Step();
        return true;
    }
    TRequest request{&Step, nullptr};
    std::unique_lock<std::mutex> lock(Lock);
    if (Ended)
        return false;
    Requests.push_back(&request);
    Changed.notify_all();
    Changed.wait(lock, [&request] { return request.Done; });
    if (request.Failure)
        std::rethrow_exception(request.Failure);
    return !request.Refused;
}

void TStepLoop::Exec()
{
    std::unique_lock<std::mutex> lock(Lock);
    while (!Quitting) {
        Changed.wait(lock, [this] { return Quitting || !Requests.empty(); });
        if (Requests.empty())
            break;
        TRequest* request = Requests.front();
        Requests.pop_front();
        lock.unlock();
        try {
            (*request->Step)();
        } catch (...) {
            request->Failure = std::current_exception();
        }
        lock.lock();
        request->Done = true;
        Changed.notify_all();
    }
    Ended = true;
    for (TRequest* request : Requests) {
        request->Refused = true;
        request->Done = true;
    }
    Requests.clear();
    Changed.notify_all();
}

void TStepLoop::Quit()
{
    const std::lock_guard<std::mutex> lock(Lock);
    Quitting = true;
    Changed.notify_all();
}
