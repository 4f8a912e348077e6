// lumiva-batch: one conversion run from the command line, through the same worker as the window.

#include "detect/DetectionLibraries.h"
#include "engine/Lumiva.h"
#include "progress/ProgressLine.h"
#include "run/BatchOptions.h"
#include "run/ConvertThread.h"
#include "run/RunQuestions.h"
#include "run/StepLoop.h"
#include "settings/AutoDetect.h"
#include "util/MessageBoxFlags.h"

#include <atomic>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <future>
#include <memory>
#include <pthread.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* ProgramName = "lumiva-batch";

// The run that Ctrl+C asks to stop; null outside the run. SIGINT is delivered to the main thread
// only, the thread that clears this before the run object goes away.
std::atomic<TConvertThread*> InterruptTarget{nullptr};
static_assert(std::atomic<TConvertThread*>::is_always_lock_free);

extern "C" void InterruptHandler(int)
{
    if (TConvertThread* Thread = InterruptTarget.load())
        Thread->RequestAbort();
}

void PrintError(const std::string& Message)
{
    const std::string Line = std::string(ProgramName) + ": " + Message + "\n";
    std::fwrite(Line.data(), 1, Line.size(), stderr);
    std::fflush(stderr);
}

// No one to ask: every overwrite question gets the answer from the command line, the abort
// question (Ctrl+C) gets Yes, run-level errors go to standard error.
class TBatchQuestions : public TRunQuestions {
public:
    TBatchQuestions(std::int32_t Answer, TProgressLine& Line) : Answer(Answer), Line(Line) {}

    std::int32_t AskMessageBox(const std::string&, std::uint32_t Flags) override
    {
        return (Flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    }
    std::int32_t AskMessageDialog(const TMessageDialogParams&) override { return Answer; }
    void ShowError(const std::exception* E) override
    {
        Line.Clear();
        PrintError(E ? TBatchOptions::ReportText(E->what()) : std::string("An error occured."));
    }

private:
    std::int32_t Answer;
    TProgressLine& Line;
};

bool WriteOut(const std::string& Text)
{
    return std::fwrite(Text.data(), 1, Text.size(), stdout) == Text.size() && std::fflush(stdout) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    // Every thread started from here on keeps SIGINT blocked; the main thread takes it back once
    // the run has started.
    sigset_t Interrupt;
    sigemptyset(&Interrupt);
    sigaddset(&Interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &Interrupt, nullptr);
    // A closed standard output is reported, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);

    TBatchOptions Batch;
    try {
        Batch.Parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const TBatchOptions::EUsageError& E) {
        PrintError(TBatchOptions::ReportText(E.what()) + " (see --help)");
        return ExitUsage;
    }
    if (Batch.Help)
        return WriteOut(TBatchOptions::HelpText()) ? ExitCompleted : ExitWithProblems;
    if (Batch.Version)
        return WriteOut(TBatchOptions::VersionText()) ? ExitCompleted : ExitWithProblems;

    std::unique_ptr<TLumiva> Engine;
    try {
        Engine = std::make_unique<TLumiva>();
    } catch (const std::exception& E) {
        PrintError(TBatchOptions::ReportText(E.what()));
        return ExitCannotStart;
    }
    if (Batch.ListEncodings) {
        std::string Lines;
        for (const std::string& Name : Engine->NameList())
            Lines += Name + "\n";
        return WriteOut(Lines) ? ExitCompleted : ExitWithProblems;
    }
    try {
        Batch.CheckEncodings([&Engine](const std::string& Name) { return Engine->IsValidEncoding(Name); });
    } catch (const TBatchOptions::EUsageError& E) {
        PrintError(TBatchOptions::ReportText(E.what()) + " (see --help)");
        return ExitUsage;
    }
    // Loaded only for detection; a missing library stops the program before the run, with the loader's text.
    if (IsAutoDetect(Batch.Options.FromEncoding)) {
        try {
            DetectionLibraries();
        } catch (const std::exception& E) {
            PrintError(E.what());
            return ExitCannotStart;
        }
    }
    TStringList Files;
    try {
        Files = Batch.FileList();
    } catch (const std::exception& E) {
        PrintError(TBatchOptions::ReportText(E.what()));
        return ExitCannotStart;
    }

    // Drawn only on a terminal: a pipe or a log gets the run's lines alone.
    TProgressLine Line(STDERR_FILENO, std::chrono::steady_clock::now());
    TBatchQuestions Questions(Batch.Answer, Line);
    int Status = ExitNotCompleted; // unless the run reports its outcome
    auto Freed = std::make_shared<std::promise<void>>();
    std::future<void> Gone = Freed->get_future();

    // The run's events and questions come back to this thread, which waits for them in Loop.
    TStepLoop Loop;
    auto* Thread = new TConvertThread(Files, Engine.get(), Batch.Options, Batch.Specs, Questions, Loop,
                                      Batch.Folders);
    Thread->CheckOnly = Batch.CheckOnly;
    if (Line.Enabled())
        Thread->OnReadProgress = [&Line](TConvertThread*, const TRunProgress& Progress) {
            Line.Show(Progress, std::chrono::steady_clock::now());
        };
    Thread->OnDone = [&Status, &Line](TConvertThread*, TConvertState State, TLogger& Logger) {
        Line.Clear();
        if (!WriteOut(Logger.Lines.Text()))
            PrintError("Cannot write the log to standard output.");
        Status = BatchExitStatus(State, Logger.ErrorCount, Logger.WarningCount);
    };
    Thread->OnTerminate = [&Loop](TConvertThread*) {
        InterruptTarget.store(nullptr);
        Loop.Quit();
    };
    Thread->OnFreed = [Freed] { Freed->set_value(); };
    InterruptTarget.store(Thread);
    struct sigaction Action {};
    Action.sa_handler = InterruptHandler;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &Action, nullptr);
    // A Ctrl+C that came before the run is taken at its first check point.
    pthread_sigmask(SIG_UNBLOCK, &Interrupt, nullptr);
    pthread_sigmask(SIG_BLOCK, &Interrupt, nullptr);
    try {
        Thread->Start(); // the worker keeps SIGINT blocked
    } catch (const std::exception& E) {
        InterruptTarget.store(nullptr);
        delete Thread;
        PrintError(TBatchOptions::ReportText(E.what()));
        return ExitCannotStart;
    }
    pthread_sigmask(SIG_UNBLOCK, &Interrupt, nullptr);

    Loop.Exec();
    // The worker still releases the run; the engine must outlive it.
    Gone.wait();
    return Status;
}
