#include "run/RunChannel.h"

#include "run/MainThread.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"

namespace {

// Values of AbortFlag, written only by exchange.
constexpr std::int32_t NoAbortRequest = 1;
constexpr std::int32_t AbortRequested = 0;

} // namespace

TRunChannel::TRunChannel(TMainThread* MainThread, TRunQuestions& Questions)
    : MainThread(MainThread), Questions(Questions), AbortFlag(NoAbortRequest)
{
}

void TRunChannel::Synchronize(const std::function<void()>& Step)
{
    if (!MainThread || !MainThread->Run(Step))
        throw Exception("Cannot reach the main thread");
}

void TRunChannel::ReportStatus(const std::string& Text)
{
    if (OnStatus)
        Synchronize([this, &Text] { OnStatus(Text); });
}

std::int32_t TRunChannel::AskMessageBox(const std::string& Text, std::uint32_t Flags)
{
    std::int32_t result = 0;
    Synchronize([this, &Text, Flags, &result] { result = Questions.AskMessageBox(Text, Flags); });
    return result;
}

std::int32_t TRunChannel::AskMessageDialog(const TMessageDialogParams& Params)
{
    std::int32_t result = -1;
    Synchronize([this, &Params, &result] { result = Questions.AskMessageDialog(Params); });
    return result;
}

void TRunChannel::ShowError(const std::exception* E)
{
    Synchronize([this, E] { Questions.ShowError(E); });
}

void TRunChannel::RequestAbort() noexcept
{
    AbortFlag.exchange(AbortRequested);
}

bool TRunChannel::CheckAbort()
{
    if (!Terminated && AbortFlag.load(std::memory_order_relaxed) == AbortRequested) {
        AbortFlag.exchange(NoAbortRequest);
        if (AskMessageBox("Abort the operation?", MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND) == IDYES)
            Terminated = true;
    }
    return Terminated;
}
