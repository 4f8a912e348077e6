// lumiva-batch: one conversion run from the command line, through the same worker as the window.

#include "detect/DetectionLibraries.h"
#include "engine/Lumiva.h"
#include "progress/ProgressLine.h"
#include "run/BatchOptionTable.h"
#include "run/BatchOptions.h"
#include "run/ConvertThread.h"
#include "run/ParallelRun.h"
#include "run/QuietLog.h"
#include "run/RunReport.h"
#include "run/RunQuestions.h"
#include "run/StepLoop.h"
#include "run/StreamRun.h"
#include "settings/AutoDetect.h"
#include "util/FileDescriptor.h"
#include "util/MessageBoxFlags.h"

#include <atomic>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <memory>
#include <pthread.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr const char* ProgramName = "lumiva-batch";

// The run that Ctrl+C asks to stop; null outside the run. SIGINT is delivered to the main thread
// only, the thread that clears this before the run object goes away.
std::atomic<TParallelRun*> InterruptTarget{nullptr};
static_assert(std::atomic<TParallelRun*>::is_always_lock_free);

extern "C" void InterruptHandler(int)
{
    if (TParallelRun* Run = InterruptTarget.load())
        Run->RequestAbort();
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

bool WriteOut(const std::string& Text, std::FILE* To = stdout)
{
    return std::fwrite(Text.data(), 1, Text.size(), To) == Text.size() && std::fflush(To) == 0;
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
    if (Batch.CompletionScript)
        return WriteOut(BatchCompletionScript()) ? ExitCompleted : ExitWithProblems;
    // A filter with nothing piped in would wait for typing no one means to do.
    if (Batch.ReadsStandardInput() && Batch.Sources.empty() && !Batch.ListEncodings && ::isatty(STDIN_FILENO)) {
        const std::string Usage = TBatchOptions::UsageText();
        std::fwrite(Usage.data(), 1, Usage.size(), stderr);
        return ExitUsage;
    }

    // Null when the conversion library cannot be loaded, which is then reported.
    const auto loadConverter = []() -> std::unique_ptr<TLumiva> {
        try {
            return std::make_unique<TLumiva>();
        } catch (const std::exception& E) {
            PrintError(TBatchOptions::ReportText(E.what()));
            return nullptr;
        }
    };
    const std::unique_ptr<TLumiva> converter = loadConverter();
    if (!converter)
        return ExitCannotStart;
    if (Batch.ListEncodings) {
        std::string Lines;
        for (const std::string& Name : converter->NameList())
            Lines += Name + "\n";
        return WriteOut(Lines) ? ExitCompleted : ExitWithProblems;
    }
    try {
        Batch.CheckEncodings([&converter](const std::string& Name) { return converter->IsValidEncoding(Name); });
    } catch (const TBatchOptions::EUsageError& E) {
        PrintError(TBatchOptions::ReportText(E.what()) + " (see --help)");
        return ExitUsage;
    }
    TStringList Files;
    try {
        if (Batch.ReadsStandardInput())
            Files.Add("-");
        else
            Files = Batch.FileList(STDIN_FILENO);
    } catch (const TBatchOptions::EUsageError& E) {
        PrintError(TBatchOptions::ReportText(E.what()) + " (see --help)");
        return ExitUsage;
    } catch (const std::exception& E) {
        PrintError(TBatchOptions::ReportText(E.what()));
        return ExitCannotStart;
    }
    // Needed only for detection; a library that is missing stops the program before the run.
    bool Detects = IsAutoDetect(Batch.Options.FromEncoding);
    for (const TSourceEntry& Entry : Batch.SourceEncodings)
        Detects = Detects || TSourcesFile::Detects(Entry.Encoding);
    if (Detects) {
        try {
            CheckDetectionLibraries();
        } catch (const std::exception& E) {
            PrintError(E.what());
            return ExitCannotStart;
        }
    }

    // "--report -" takes standard output; the log then goes to standard error.
    const bool ReportToStdout = Batch.ReportFile == "-";
    const std::string ReportName =
        ReportToStdout ? std::string("the report to standard output") : "the report file \"" + Batch.ReportFile + "\"";
    std::unique_ptr<TRunReport> Report;
    if (ReportToStdout) {
        Report = std::make_unique<TRunReport>(TFd(STDOUT_FILENO, false));
    } else if (!Batch.ReportFile.empty()) {
        Report = std::make_unique<TRunReport>(Batch.ReportFile);
        if (!Report->Ok()) {
            PrintError("Cannot create " + ReportName + ".");
            return ExitCannotStart;
        }
    }

    if (Batch.Streams()) {
        // As iconv: Ctrl+C ends the program (a result for -o is never put in place half made), and
        // so does a reader that has read enough, as at the head of "| head".
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGPIPE, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &Interrupt, nullptr);
        const std::unique_ptr<TLumiva> Counter = loadConverter();
        if (!Counter)
            return ExitCannotStart;
        TStreamRun Run(*converter, *Counter, Batch.Options, Batch.Specs, PrintError);
        Run.CheckOnly = Batch.CheckOnly;
        if (Report)
            Run.OnFileDone = [&Report](const TFileOutcome& Outcome) { Report->Add(Outcome); };
        const bool Clean = Run.Run(Files, STDIN_FILENO, STDOUT_FILENO, Batch.OutputFile);
        if (Report && !Report->Close()) {
            PrintError("Cannot write " + ReportName + ".");
            return ExitWithProblems;
        }
        return Clean ? ExitCompleted : ExitWithProblems;
    }

    // Drawn only on a terminal: a pipe or a log gets the run's lines alone.
    TProgressLine Line(STDERR_FILENO, std::chrono::steady_clock::now());
    TBatchQuestions Questions(Batch.Answer, Line);
    int Status = ExitNotCompleted; // unless the run reports its outcome

    // The run's events and questions come back to this thread, which waits for them in Loop.
    TStepLoop Loop;
    TParallelRun Run(std::move(Files), Batch.Jobs, *converter, [] { return std::make_unique<TLumiva>(); }, Batch.Options,
                     Batch.Specs, Batch.Folders, Batch.CheckOnly, Questions, Loop);
    Run.SourceEncodings = Batch.SourceEncodings;
    if (Line.Enabled())
        Run.OnReadProgress = [&Line](const TRunProgress& Progress) {
            Line.Show(Progress, std::chrono::steady_clock::now());
        };
    if (Report)
        Run.OnFileDone = [&Report](const TFileOutcome& Outcome) { Report->Add(Outcome); };
    Run.OnDone = [&](TConvertState State, TLogger& Logger) {
        Line.Clear();
        Status = BatchExitStatus(State, Logger.ErrorCount, Logger.WarningCount);
        // A log or a report that did not arrive is a problem of the run, not a clean end.
        const auto Problem = [&Status] {
            if (Status == ExitCompleted)
                Status = ExitWithProblems;
        };
        if (!WriteOut(Batch.Quiet ? QuietLog(Logger.Lines).Text() : Logger.Lines.Text(),
                      ReportToStdout ? stderr : stdout)) {
            PrintError(std::string("Cannot write the log to standard ") + (ReportToStdout ? "error." : "output."));
            Problem();
        }
        if (Report && !Report->Close()) {
            PrintError("Cannot write " + ReportName + ".");
            Problem();
        }
    };
    Run.OnTerminate = [&Loop] {
        InterruptTarget.store(nullptr);
        Loop.Quit();
    };
    InterruptTarget.store(&Run);
    struct sigaction Action {};
    Action.sa_handler = InterruptHandler;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &Action, nullptr);
    // A Ctrl+C that came before the run is taken at its first check point.
    pthread_sigmask(SIG_UNBLOCK, &Interrupt, nullptr);
    pthread_sigmask(SIG_BLOCK, &Interrupt, nullptr);
    try {
        Run.Start(); // the workers keep SIGINT blocked
    } catch (const std::exception& E) {
        InterruptTarget.store(nullptr);
        PrintError(TBatchOptions::ReportText(E.what()));
        return ExitCannotStart;
    }
    pthread_sigmask(SIG_UNBLOCK, &Interrupt, nullptr);

    Loop.Exec();
    // The workers still release their runs; the engines must outlive them.
    Run.WaitFreed();
    return Status;
}
