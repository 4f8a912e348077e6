#include "run/ConvertThread.h"

#include "engine/Lumiva.h"
#include "run/StepLoop.h"
#include "settings/AutoDetect.h"
#include "tests/common/TestSupport.h"
#include "tests/common/TreeSnapshot.h"
#include "util/MessageBoxFlags.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The test's main thread: the one that runs the tests and every run's step loop.
const std::thread::id MainThreadId = std::this_thread::get_id();

bool OnMainThread()
{
    return std::this_thread::get_id() == MainThreadId;
}

using lmvtest::Bytes;
using lmvtest::Exists;
using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

const std::string Text = "h\xC3\xA9llo\n";                 // "héllo" in UTF-8
const std::string Utf16Le = Bytes({0xFF, 0xFE, 'h', 0, 0xE9, 0, 'l', 0, 'l', 0, 'o', 0, '\n', 0});
const std::string BadUtf8 = "ab\xFF\xFE" "cd";

const std::string AbortQuestion = "Abort the operation?";
constexpr std::uint32_t AbortFlags = MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND;

enum TAnswer : std::int32_t { anYes = 0, anYesToAll = 1, anNo = 2, anNoToAll = 3, anCancel = 4 };

// Records every question and answers from a script; all of it must happen on the main thread.
class TScriptedQuestions : public TRunQuestions {
public:
    struct TQuestion {
        std::string Text;
        std::uint32_t Flags = 0;            // message box
        std::optional<TMessageDialogParams> Dialog; // overwrite question
    };

    std::deque<std::int32_t> BoxAnswers;
    std::deque<std::int32_t> DialogAnswers;
    std::vector<TQuestion> Asked;
    std::vector<std::string> Errors; // "(none)" for an error without an exception object
    bool OffMainThread = false;

    std::int32_t AskMessageBox(const std::string& Text, std::uint32_t Flags) override
    {
        CheckThread();
        Asked.push_back({Text, Flags, std::nullopt});
        if (BoxAnswers.empty()) {
            ADD_FAILURE() << "unexpected message box: " << Text;
            return IDNO;
        }
        const std::int32_t Answer = BoxAnswers.front();
        BoxAnswers.pop_front();
        return Answer;
    }
    std::int32_t AskMessageDialog(const TMessageDialogParams& Params) override
    {
        CheckThread();
        Asked.push_back({Params.Text, 0, Params});
        if (DialogAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << Params.Text;
            return anNo;
        }
        const std::int32_t Answer = DialogAnswers.front();
        DialogAnswers.pop_front();
        return Answer;
    }
    void ShowError(const std::exception* E) override
    {
        CheckThread();
        Errors.push_back(E ? E->what() : "(none)");
    }

private:
    void CheckThread()
    {
        if (!OnMainThread())
            OffMainThread = true;
    }
};

struct TRun {
    std::vector<std::string> Events; // "Message <text>", "Progress <pos>/<max>", "Done <state>", "Terminate"
    std::vector<std::string> Log;    // copied inside OnDone
    std::int32_t ErrorCount = -1;
    std::int32_t WarningCount = -1;
    std::optional<TConvertState> State;
    bool EventOffMainThread = false;
    bool FreedOnMainThread = false;

    int ProgressCalls() const
    {
        int n = 0;
        for (const auto& e : Events)
            n += e.rfind("Progress ", 0) == 0;
        return n;
    }
};

// Hooks run on the main thread after the event was recorded.
struct THooks {
    std::function<void(TConvertThread*, std::int32_t Position)> Progress = {};
    std::function<void(TConvertThread*, const std::string&)> Message = {};
    std::function<void()> Done = {};
    std::function<void(TConvertThread*)> BeforeStart = {};
};

class ConvertThreadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Engine = new TLumiva(); }
    static void TearDownTestSuite()
    {
        delete Engine;
        Engine = nullptr;
    }

    void SetUp() override
    {
        ::mkdir(TempFolder().c_str(), 0700);
        TmpDir.emplace("TMPDIR", TempFolder());
        Options = DefaultConvertOptions();
        Options.FromEncoding = "UTF-8";
        Options.ToEncoding = "UTF-16";
        Options.Output = omDirectory;
        Options.OutputDirectory = Dir / "out";
        Specs = DefaultConvertSpecs();
        Specs.Utf16 = usLeWithBom;
    }
    void TearDown() override { TmpDir.reset(); }

    std::string TempFolder() const { return Dir / "tmp"; }
    // Temporary files left behind by the run: anything in the system's temporary folder, and
    // hidden files beside the sources and the results.
    std::vector<std::string> LeftoverTemporaries() const
    {
        std::vector<std::string> left = lmvtest::ListDir(TempFolder());
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Dir.Path()))
            if (entry.path().filename().string().rfind(".lmv", 0) == 0)
                left.push_back(entry.path().string());
        return left;
    }

    std::string Source(const std::string& Name, const std::string& Content = Text)
    {
        const std::string Path = Dir / Name;
        WriteFile(Path, Content);
        return Path;
    }
    std::string Output(const std::string& Name) const { return Dir / ("out/" + Name); }

    TRun RunFiles(const TStringList& Files, const THooks& Hooks = {})
    {
        TRun Run;
        TStepLoop Loop;
        const auto OnMain = [&Run] {
            if (!OnMainThread())
                Run.EventOffMainThread = true;
        };
        auto* Thread = new TConvertThread(Files, Engine, Options, Specs, Questions, Loop);
        Thread->OnMessage = [&](TConvertThread* Sender, const std::string& Text) {
            OnMain();
            EXPECT_EQ(Sender, Thread);
            Run.Events.push_back("Message " + Text);
            if (Hooks.Message)
                Hooks.Message(Sender, Text);
        };
        Thread->OnProgress = [&](TConvertThread* Sender, std::int32_t Position, std::int32_t Max) {
            OnMain();
            Run.Events.push_back("Progress " + std::to_string(Position) + "/" + std::to_string(Max));
            if (Hooks.Progress)
                Hooks.Progress(Sender, Position);
        };
        Thread->OnDone = [&](TConvertThread*, TConvertState State, TLogger& Logger) {
            OnMain();
            Run.Events.push_back("Done " + std::to_string(State));
            Run.State = State;
            Run.Log = Logger.Lines.Strings();
            Run.ErrorCount = Logger.ErrorCount;
            Run.WarningCount = Logger.WarningCount;
            if (Hooks.Done)
                Hooks.Done();
        };
        Thread->OnTerminate = [&](TConvertThread*) {
            OnMain();
            Run.Events.push_back("Terminate");
        };
        Thread->OnFreed = [&] {
            Run.FreedOnMainThread = OnMainThread();
            Loop.Quit();
        };
        if (Hooks.BeforeStart)
            Hooks.BeforeStart(Thread);
        Thread->Start();
        Loop.Exec();
        EXPECT_FALSE(Run.EventOffMainThread);
        EXPECT_FALSE(Questions.OffMainThread);
        EXPECT_FALSE(Run.FreedOnMainThread);
        EXPECT_TRUE(Questions.BoxAnswers.empty()) << "scripted abort answers left";
        EXPECT_TRUE(Questions.DialogAnswers.empty()) << "scripted overwrite answers left";
        return Run;
    }

    std::vector<std::string> FileLines(const std::string& Src, const std::string& Dest, const std::string& Outcome)
    {
        return {"Convert character encoding:", "\t- Source file: " + Src, "\t- Destination file: " + Dest, Outcome};
    }

    static TLumiva* Engine;
    TempDir Dir;
    std::optional<lmvtest::EnvScope> TmpDir;
    TConvertOptions Options;
    TConvertSpecs Specs;
    TScriptedQuestions Questions;
};

TLumiva* ConvertThreadTest::Engine = nullptr;

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> Parts)
{
    std::vector<std::string> All;
    for (const auto& Part : Parts)
        All.insert(All.end(), Part.begin(), Part.end());
    return All;
}

TEST(ConvertThreadState, StateNames)
{
    EXPECT_STREQ(StateName(csCanceled), "Canceled");
    EXPECT_STREQ(StateName(csStopped), "Stopped");
    EXPECT_STREQ(StateName(csCompleted), "Completed");
    EXPECT_STREQ(StateName(3), "(Unknown)");
    EXPECT_STREQ(StateName(-1), "(Unknown)");
}

TEST_F(ConvertThreadTest, CleanRunReportsInOrderLogsEveryStepAndCleansUp)
{
    const std::string A = Source("a.txt"), B = Source("b.txt", "");
    const TRun Run = RunFiles({A, B});

    EXPECT_EQ(Run.Events, (std::vector<std::string>{"Message Preparing...", "Message Processing...", "Progress 1/2",
                                                     "Progress 2/2", "Message Completed", "Done 2", "Terminate"}));
    EXPECT_EQ(Run.Log, Concat({{"Created output directory: " + Options.OutputDirectory},
                               FileLines(A, Output("a.txt"), "... Succeeded"),
                               FileLines(B, Output("b.txt"), "... Succeeded"),
                               {"Completed - 0 errors, 0 warnings"}}));
    EXPECT_EQ(ReadFile(Output("a.txt")), Utf16Le);
    EXPECT_EQ(ReadFile(Output("b.txt")), Bytes({0xFF, 0xFE})); // the signature alone
    EXPECT_EQ(ReadFile(A), Text);
    EXPECT_TRUE(LeftoverTemporaries().empty());
    EXPECT_TRUE(Questions.Asked.empty());
    EXPECT_TRUE(Questions.Errors.empty());
}

TEST_F(ConvertThreadTest, EmptyListCompletesWithoutProgress)
{
    ::mkdir(Options.OutputDirectory.c_str(), 0700); // existing: no creation line
    const TRun Run = RunFiles({});
    EXPECT_EQ(Run.Events, (std::vector<std::string>{"Message Preparing...", "Message Processing...",
                                                     "Message Completed", "Done 2", "Terminate"}));
    EXPECT_EQ(Run.Log, (std::vector<std::string>{"Completed - 0 errors, 0 warnings"}));
}

TEST_F(ConvertThreadTest, RunWithoutEventsStillRunsAndFreesItself)
{
    TStringList Files{Source("a.txt")};
    TStepLoop Loop;
    std::atomic<bool> Freed{false};
    auto* Thread = new TConvertThread(Files, Engine, Options, Specs, Questions, Loop);
    Thread->OnFreed = [&] {
        Freed = true;
        Loop.Quit();
    };
    Thread->Start();
    Loop.Exec();
    EXPECT_TRUE(Freed);
    EXPECT_EQ(ReadFile(Output("a.txt")), Utf16Le);
}

// The second Start comes from an event handler: the worker waits for it there, so the object is
// still alive (a worker left alone may already have deleted itself).
TEST_F(ConvertThreadTest, StartingTwiceRunsOnce)
{
    const auto StartAgain = [](TConvertThread* T, const std::string& Text) {
        if (Text == "Preparing...")
            T->Start();
    };
    const TRun Run = RunFiles({Source("a.txt")}, {.Message = StartAgain});
    EXPECT_EQ(Run.ProgressCalls(), 1);
    EXPECT_EQ(std::count(Run.Events.begin(), Run.Events.end(), "Terminate"), 1);
}

// Every read reported (no interval): the file above the size limit reports while it is read, the
// small one only at its end, and the bar never goes back nor past the next file boundary.
TEST_F(ConvertThreadTest, LargeFilesReportTheBytesReadBetweenTheFileBoundaries)
{
    const std::uint64_t BigSize = 5 << 20;
    const std::string Big = Source("big.txt", std::string(BigSize, 'a'));
    const std::string Small = Source("small.txt");
    Options.BufferSize = 1 << 20;
    std::vector<std::string> Seen;
    std::vector<int> Bar;
    const TRun Run = RunFiles(
        {Big, Small},
        {.Progress = [&](TConvertThread*, std::int32_t Position) { Seen.push_back("Progress " + std::to_string(Position)); },
         .BeforeStart = [&](TConvertThread* T) {
             T->ReadReportInterval = std::chrono::nanoseconds::zero();
             T->OnReadProgress = [&](TConvertThread*, const TRunProgress& P) {
                 Seen.push_back("Read " + std::to_string(P.Position) + "/" + std::to_string(P.Max) + " " +
                                std::to_string(P.FileDone) + "/" + std::to_string(P.FileSize) + " " +
                                std::to_string(P.RunBytes));
                 Bar.push_back(RunPercentage(P));
             };
         }});
    ASSERT_EQ(Run.State, csCompleted);
    const std::vector<std::string> Tail{"Read 0/2 " + std::to_string(BigSize) + "/" + std::to_string(BigSize) + " " +
                                            std::to_string(BigSize),
                                        "Progress 1",
                                        "Read 1/2 0/0 " + std::to_string(BigSize),
                                        "Progress 2",
                                        "Read 2/2 0/0 " + std::to_string(BigSize + Text.size())};
    ASSERT_GT(Seen.size(), Tail.size() + 2) << "several reads of the large file";
    EXPECT_EQ(std::vector<std::string>(Seen.end() - static_cast<long>(Tail.size()), Seen.end()), Tail);
    for (std::size_t i = 0; i + Tail.size() < Seen.size(); ++i)
        EXPECT_TRUE(Seen[i].starts_with("Read 0/2 ")) << Seen[i];
    EXPECT_TRUE(std::is_sorted(Bar.begin(), Bar.end()));
    EXPECT_EQ(Bar.front(), 5) << "the first read, half the buffer, is a tenth of the first file";
    EXPECT_EQ(Bar[Bar.size() - 3], 50);
    EXPECT_EQ(Bar.back(), 100);
}

TEST_F(ConvertThreadTest, FailingMiddleFileIsLoggedAndTheLoopGoesOn)
{
    const std::string A = Source("a.txt"), B = Source("b.txt", BadUtf8), C = Source("c.txt");
    const TRun Run = RunFiles({A, B, C});

    EXPECT_EQ(Run.Events, (std::vector<std::string>{"Message Preparing...", "Message Processing...", "Progress 1/3",
                                                     "Progress 2/3", "Progress 3/3", "Message Completed", "Done 2",
                                                     "Terminate"}));
    EXPECT_EQ(Run.Log, Concat({{"Created output directory: " + Options.OutputDirectory},
                               FileLines(A, Output("a.txt"), "... Succeeded"),
                               FileLines(B, Output("b.txt"), "[Error] Cannot convert character encoding"),
                               {"\t- Invalid byte sequence at line 1, column 3 (offset 2)", "... Failed"},
                               FileLines(C, Output("c.txt"), "... Succeeded"),
                               {"Completed - 1 errors, 0 warnings"}}));
    EXPECT_EQ(Run.ErrorCount, 1);
    EXPECT_FALSE(Exists(Output("b.txt")));
    EXPECT_EQ(ReadFile(Output("c.txt")), Utf16Le);
    EXPECT_TRUE(LeftoverTemporaries().empty()) << "the failed file's temporary file is deleted too";
}

TEST_F(ConvertThreadTest, RelativeSourceNamesAreMadeAbsolute)
{
    const std::string A = Source("a.txt");
    char Old[4096];
    ASSERT_NE(::getcwd(Old, sizeof Old), nullptr);
    ASSERT_EQ(::chdir(Dir.Path().c_str()), 0);
    const TRun Run = RunFiles({"a.txt"});
    ASSERT_EQ(::chdir(Old), 0);
    ASSERT_GE(Run.Log.size(), 3u);
    EXPECT_EQ(Run.Log[2], "\t- Source file: " + A);
    EXPECT_EQ(ReadFile(Output("a.txt")), Utf16Le);
}

TEST_F(ConvertThreadTest, AbortConfirmedAtEndOfPreparationCancelsTheRun)
{
    Questions.BoxAnswers = {IDYES};
    const TRun Run = RunFiles({Source("a.txt")}, {.BeforeStart = [](TConvertThread* T) {
                                  T->RequestAbort();
                                  T->RequestAbort();
                              }});
    ASSERT_EQ(Questions.Asked.size(), 1u);
    EXPECT_EQ(Questions.Asked[0].Text, AbortQuestion);
    EXPECT_EQ(Questions.Asked[0].Flags, AbortFlags);
    EXPECT_EQ(Questions.Asked[0].Flags, 0x10034u);
    EXPECT_EQ(Run.Events, (std::vector<std::string>{"Message Preparing...", "Message Canceled", "Done 0", "Terminate"}));
    EXPECT_EQ(Run.Log.back(), "Canceled - 0 errors, 0 warnings");
    EXPECT_FALSE(Exists(Output("a.txt")));
}

TEST_F(ConvertThreadTest, AbortRefusedAtEndOfPreparationGoesOn)
{
    Questions.BoxAnswers = {IDNO};
    const TRun Run = RunFiles({Source("a.txt")}, {.BeforeStart = [](TConvertThread* T) { T->RequestAbort(); }});
    EXPECT_EQ(Questions.Asked.size(), 1u);
    EXPECT_EQ(Run.State, csCompleted);
    EXPECT_EQ(Run.ProgressCalls(), 1);
}

// A folder is walked on the worker before the first file, under its own state text, and the
// walk can be aborted like the run.
TEST_F(ConvertThreadTest, AGivenFolderIsSearchedFirstAndTheSearchCanBeAborted)
{
    ::mkdir((Dir / "d").c_str(), 0700);
    ::mkdir((Dir / "d/sub").c_str(), 0700);
    const std::string A = Source("d/a.txt"), C = Source("c.txt");
    Source("d/sub/b.txt");
    const auto AbortWhileSearching = [](TConvertThread* T, const std::string& Text) {
        if (Text == "Searching...")
            T->RequestAbort();
    };
    Questions.BoxAnswers = {IDNO};
    TRun Run = RunFiles({Dir / "d", C}, {.Message = AbortWhileSearching});
    EXPECT_EQ(Run.State, csCompleted);
    EXPECT_EQ(Run.Events, (std::vector<std::string>{"Message Preparing...", "Message Searching...",
                                                    "Message Processing...", "Progress 1/3", "Progress 2/3",
                                                    "Progress 3/3", "Message Completed", "Done 2", "Terminate"}));
    EXPECT_EQ(Run.Log[2], "\t- Source file: " + A);
    EXPECT_EQ(Run.Log[3], "\t- Destination file: " + Output("d/a.txt"));
    EXPECT_EQ(ReadFile(Output("d/sub/b.txt")), Utf16Le);
    EXPECT_EQ(ReadFile(Output("c.txt")), Utf16Le);

    Questions.BoxAnswers = {IDYES};
    Run = RunFiles({Dir / "d"}, {.Message = AbortWhileSearching});
    EXPECT_EQ(Run.State, csCanceled);
    EXPECT_EQ(Run.Events, (std::vector<std::string>{"Message Preparing...", "Message Searching...",
                                                    "Message Canceled", "Done 0", "Terminate"}));
    EXPECT_EQ(Run.Log, (std::vector<std::string>{"Canceled - 0 errors, 0 warnings"}));
}

// A subfolder swapped for a link to a look-alike folder outside the tree after the walk, before
// its file is converted: the file fails as one that cannot be opened, in every mode and with
// detection too, and nothing outside is read or written, no temporary file and no backup.
TEST_F(ConvertThreadTest, AFolderSwappedForALinkAfterTheWalkFailsItsFilesAndNothingOutsideIsTouched)
{
    const std::string Outside = Dir / "outside";
    ::mkdir(Outside.c_str(), 0700);
    const std::string Secret = "s\xC3\xA9" "cret\n";
    WriteFile(Outside + "/b.txt", Secret);
    const auto Before = lmvtest::TreeSnapshot(Outside);
    for (const TOutputMode Mode : {omOverwrite, omPrefix, omDirectory}) {
        for (const char* From : {"UTF-8", AutoDetectEncoding}) {
            const std::string Case = std::to_string(Mode) + From;
            SCOPED_TRACE(Case);
            const std::string Tree = Dir / Case;
            ::mkdir(Tree.c_str(), 0700);
            ::mkdir((Tree + "/sub").c_str(), 0700);
            const std::string A = Source(Case + "/a.txt"), B = Source(Case + "/sub/b.txt");
            Options.FromEncoding = From;
            Options.Output = Mode;
            Options.OutputPrefix = "Output - ";
            Options.BackupSrcFiles = true;
            Options.BackupPrefix = "Backup - ";
            const auto Swap = [&](TConvertThread*, const std::string& Text) {
                if (Text != "Processing...")
                    return;
                std::filesystem::rename(Tree + "/sub", Tree + "/sub.real");
                std::filesystem::create_directory_symlink(Outside, Tree + "/sub");
            };
            const TRun Run = RunFiles({Tree}, {.Message = Swap});
            EXPECT_EQ(Run.State, csCompleted);
            EXPECT_EQ(Run.ErrorCount, 1);
            // Its lines, mirrored folders made for it aside.
            const auto Lines = std::find(Run.Log.begin(), Run.Log.end(), "\t- Source file: " + B);
            const auto Error = std::find(Lines, Run.Log.end(), "[Error] Cannot open source file");
            ASSERT_TRUE(Error != Run.Log.end() && Error + 1 != Run.Log.end());
            EXPECT_EQ(Error[1], "... Failed");
            EXPECT_EQ(std::find(Lines, Error, "Convert character encoding:"), Error);
            EXPECT_EQ(lmvtest::TreeSnapshot(Outside), Before);
            EXPECT_EQ(ReadFile(Tree + "/sub.real/b.txt"), Text);
            const std::string Result = Mode == omOverwrite ? A
                                     : Mode == omPrefix    ? Tree + "/Output - a.txt"
                                                           : Output(Case + "/a.txt");
            EXPECT_EQ(ReadFile(Result), Utf16Le);
        }
    }
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

// The destination side: a folder of the mirrored tree that is a link fails its files and nothing
// is made where it leads; the folders it would hold are made, each logged once.
TEST_F(ConvertThreadTest, AMirroredFolderThatIsALinkFailsItsFilesAndNothingIsWrittenThroughIt)
{
    const std::string Outside = Dir / "outside";
    ::mkdir(Outside.c_str(), 0700);
    ::mkdir((Dir / "d").c_str(), 0700);
    ::mkdir((Dir / "d/sub").c_str(), 0700);
    ::mkdir((Dir / "d/sub/deep").c_str(), 0700);
    ::mkdir((Dir / "d/new").c_str(), 0700);
    Source("d/sub/b.txt");
    Source("d/sub/deep/c.txt");
    Source("d/new/e.txt");
    std::filesystem::create_directories(Output("d"));
    std::filesystem::create_directory_symlink(Outside, Output("d/sub"));
    const TRun Run = RunFiles({Dir / "d"});
    EXPECT_EQ(Run.ErrorCount, 2);
    const std::string Refused = "[Error] Cannot create output directory: " + Output("d/sub");
    EXPECT_EQ(std::count(Run.Log.begin(), Run.Log.end(), Refused), 2);
    EXPECT_EQ(std::count(Run.Log.begin(), Run.Log.end(), "Created output directory: " + Output("d/new")), 1);
    EXPECT_EQ(ReadFile(Output("d/new/e.txt")), Utf16Le);
    EXPECT_TRUE(lmvtest::ListDir(Outside).empty());
}

class ConvertThreadAbortTest : public ConvertThreadTest {
protected:
    TStringList FiveFiles()
    {
        TStringList Files;
        for (char c = '1'; c <= '5'; ++c)
            Files.Add(Source(std::string(1, c) + ".txt"));
        return Files;
    }
    // Presses the abort button Times times while file At is in progress (seen at its end).
    static THooks AbortAt(std::int32_t At, int Times = 1)
    {
        return {.Progress = [At, Times](TConvertThread* T, std::int32_t Position) {
            if (Position == At)
                for (int i = 0; i < Times; ++i)
                    T->RequestAbort();
        }};
    }
};

TEST_F(ConvertThreadAbortTest, YesDuringFileTwoOfFiveStopsAfterIt)
{
    Questions.BoxAnswers = {IDYES};
    const TRun Run = RunFiles(FiveFiles(), AbortAt(2));
    EXPECT_EQ(Run.Events, (std::vector<std::string>{"Message Preparing...", "Message Processing...", "Progress 1/5",
                                                     "Progress 2/5", "Message Stopped", "Done 1", "Terminate"}));
    ASSERT_EQ(Questions.Asked.size(), 1u);
    EXPECT_EQ(Questions.Asked[0].Text, AbortQuestion);
    EXPECT_EQ(Run.Log.back(), "Stopped - 0 errors, 0 warnings");
    EXPECT_TRUE(Exists(Output("2.txt")));
    EXPECT_FALSE(Exists(Output("3.txt")));
}

TEST_F(ConvertThreadAbortTest, NoDuringFileTwoOfFiveGoesOnWithoutAskingAgain)
{
    Questions.BoxAnswers = {IDNO};
    const TRun Run = RunFiles(FiveFiles(), AbortAt(2));
    EXPECT_EQ(Questions.Asked.size(), 1u);
    EXPECT_EQ(Run.ProgressCalls(), 5);
    EXPECT_EQ(Run.State, csCompleted);
    EXPECT_TRUE(Exists(Output("5.txt")));
}

TEST_F(ConvertThreadAbortTest, RequestDuringLastFileStillAsksAndStops)
{
    Questions.BoxAnswers = {IDYES};
    const TRun Run = RunFiles(FiveFiles(), AbortAt(5));
    EXPECT_EQ(Questions.Asked.size(), 1u);
    EXPECT_EQ(Run.ProgressCalls(), 5);
    EXPECT_EQ(Run.State, csStopped);
    EXPECT_EQ(Run.Log.back(), "Stopped - 0 errors, 0 warnings");
    EXPECT_TRUE(Exists(Output("5.txt")));
}

TEST_F(ConvertThreadTest, InvalidSignatureChoiceFailsThePreparation)
{
    Specs.Utf16 = usWithBom; // not a choice for UTF-16
    const std::string A = Source("a.txt");
    const TRun Run = RunFiles({A});
    EXPECT_EQ(Run.Events, (std::vector<std::string>{"Message Preparing...", "Message Canceled", "Done 0", "Terminate"}));
    EXPECT_EQ(Run.Log, (std::vector<std::string>{"[Error] Invalid UTF-16 specification", "Canceled - 1 errors, 0 warnings"}));
    EXPECT_FALSE(Exists(Options.OutputDirectory));
    EXPECT_EQ(ReadFile(A), Text);
    EXPECT_TRUE(Questions.Asked.empty());
}

TEST_F(ConvertThreadTest, OutputDirectoryThatCannotBeCreatedCancelsTheRun)
{
    WriteFile(Dir / "blocker", "a file where a folder should be");
    Options.OutputDirectory = Dir / "blocker/out";
    const TRun Run = RunFiles({Source("a.txt")});
    EXPECT_EQ(Run.State, csCanceled);
    EXPECT_EQ(Run.ProgressCalls(), 0);
    EXPECT_EQ(Run.Log, (std::vector<std::string>{"[Error] Cannot create output directory: " + Options.OutputDirectory,
                                                 "Canceled - 1 errors, 0 warnings"}));
}

TEST_F(ConvertThreadTest, InvalidOutputModeStopsTheRunBeforeAnyFileLine)
{
    Options.Output = 7;
    const std::string A = Source("a.txt");
    const TRun Run = RunFiles({A, Source("b.txt")});
    EXPECT_EQ(Run.Events, (std::vector<std::string>{"Message Preparing...", "Message Processing...", "Message Stopped",
                                                     "Done 1", "Terminate"}));
    EXPECT_EQ(Run.Log, (std::vector<std::string>{"[Error] Invalid output identifier", "Stopped - 1 errors, 0 warnings"}));
    EXPECT_EQ(ReadFile(A), Text);
}

TEST_F(ConvertThreadTest, FailureInAMainThreadStepIsRaisedInTheWorkerAndStopsTheRun)
{
    const TRun Run = RunFiles({Source("a.txt"), Source("b.txt")}, {.Progress = [](TConvertThread*, std::int32_t) {
                                  throw Exception("Progress bar is gone");
                              }});
    EXPECT_EQ(Run.State, csStopped);
    EXPECT_EQ(Run.ProgressCalls(), 1);
    ASSERT_GE(Run.Log.size(), 2u);
    EXPECT_EQ(Run.Log[Run.Log.size() - 2], "[Error] Progress bar is gone");
    EXPECT_EQ(Run.Log.back(), "Stopped - 1 errors, 0 warnings");
    EXPECT_FALSE(Exists(Output("b.txt")));
    EXPECT_TRUE(Questions.Errors.empty());
}

TEST_F(ConvertThreadTest, FailureWithoutMessageIsLoggedAsErrorOcurred)
{
    ::mkdir(Options.OutputDirectory.c_str(), 0700);
    const TRun Run = RunFiles({Source("a.txt")}, {.Message = [](TConvertThread*, const std::string& Text) {
                                  if (Text == "Processing...")
                                      throw 42;
                              }});
    EXPECT_EQ(Run.State, csStopped);
    EXPECT_EQ(Run.Log, (std::vector<std::string>{"[Error] Error ocurred", "Stopped - 1 errors, 0 warnings"}));
}

TEST_F(ConvertThreadTest, FailureInOnDoneIsShownAndOnTerminateStillComes)
{
    const TRun Run = RunFiles({Source("a.txt")}, {.Done = [] { throw Exception("Cannot show the report"); }});
    EXPECT_EQ(Run.Events.back(), "Terminate");
    EXPECT_EQ(Questions.Errors, (std::vector<std::string>{"Cannot show the report"}));
}

TEST_F(ConvertThreadTest, FailureInTheFinalStatusIsShownAndOnTerminateStillComes)
{
    const TRun Run = RunFiles({Source("a.txt")}, {.Message = [](TConvertThread*, const std::string& Text) {
                                  if (Text == "Completed")
                                      throw 7;
                              }});
    EXPECT_EQ(Run.Events.back(), "Terminate");
    EXPECT_EQ(Questions.Errors, (std::vector<std::string>{"(none)"}));
}

class ConvertThreadOverwriteTest : public ConvertThreadTest {
protected:
    // Sources 1..Count whose destinations already exist with the text "old".
    TStringList SourcesWithExistingOutputs(int Count)
    {
        ::mkdir(Options.OutputDirectory.c_str(), 0700);
        TStringList Files;
        for (int i = 1; i <= Count; ++i) {
            const std::string Name = std::to_string(i) + ".txt";
            Files.Add(Source(Name));
            WriteFile(Output(Name), "old");
        }
        return Files;
    }
    // Sources a.txt and b.txt to overwrite with backups "bak_<name>" that already exist with the
    // text "old".
    std::pair<std::string, std::string> SourcesWithExistingBackups()
    {
        Options.Output = omOverwrite;
        Options.BackupSrcFiles = true;
        Options.BackupPrefix = "bak_";
        std::pair<std::string, std::string> Sources{Source("a.txt"), Source("b.txt")};
        WriteFile(Dir / "bak_a.txt", "old");
        WriteFile(Dir / "bak_b.txt", "old");
        return Sources;
    }
    std::string DestinationQuestion(const std::string& Name)
    {
        return "The following file already exists:\r\n\r\n" + Output(Name) +
               "\r\n\r\nOverwrite it with the destination file?";
    }
};

TEST_F(ConvertThreadOverwriteTest, EachAnswerDecidesItsFileAndCancelAsksToAbort)
{
    Questions.DialogAnswers = {anYes, anNo, anCancel};
    Questions.BoxAnswers = {IDYES};
    const TRun Run = RunFiles(SourcesWithExistingOutputs(4));

    ASSERT_EQ(Questions.Asked.size(), 4u);
    const auto& First = Questions.Asked[0];
    ASSERT_TRUE(First.Dialog);
    EXPECT_EQ(First.Text, DestinationQuestion("1.txt"));
    EXPECT_EQ(First.Dialog->Buttons, "&Yes,\"Yes to &All\",&No,\"No &to All\",Cancel");
    EXPECT_EQ(First.Dialog->DefaultButton, 0);
    EXPECT_EQ(First.Dialog->CancelButton, 4);
    EXPECT_EQ(First.Dialog->FocusButton, 0);
    EXPECT_EQ(First.Dialog->DialogType, 0);
    EXPECT_EQ(Questions.Asked[1].Text, DestinationQuestion("2.txt"));
    EXPECT_EQ(Questions.Asked[2].Text, DestinationQuestion("3.txt"));
    EXPECT_EQ(Questions.Asked[3].Text, AbortQuestion);

    EXPECT_EQ(ReadFile(Output("1.txt")), Utf16Le);
    EXPECT_EQ(ReadFile(Output("2.txt")), "old");
    EXPECT_EQ(ReadFile(Output("3.txt")), "old");
    EXPECT_EQ(ReadFile(Output("4.txt")), "old");
    EXPECT_EQ(Run.ProgressCalls(), 3);
    EXPECT_EQ(Run.State, csStopped);
    EXPECT_EQ(Run.Log.back(), "Stopped - 2 errors, 0 warnings");
    EXPECT_NE(std::find(Run.Log.begin(), Run.Log.end(),
                        "[Error] Not allowed to overwrite existing file with destination file: " + Output("2.txt")),
              Run.Log.end());
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

TEST_F(ConvertThreadOverwriteTest, CancelAtTheLastFileAsksAfterTheLoop)
{
    Questions.DialogAnswers = {anCancel};
    Questions.BoxAnswers = {IDNO};
    const TRun Run = RunFiles(SourcesWithExistingOutputs(1));
    ASSERT_EQ(Questions.Asked.size(), 2u);
    EXPECT_EQ(Questions.Asked[1].Text, AbortQuestion);
    EXPECT_EQ(Run.State, csCompleted);
    EXPECT_EQ(Run.Log.back(), "Completed - 1 errors, 0 warnings");
}

TEST_F(ConvertThreadOverwriteTest, BackupQuestionsAreRememberedOnTheirOwn)
{
    const auto [A, B] = SourcesWithExistingBackups();
    Questions.DialogAnswers = {anYesToAll};
    const TRun Run = RunFiles({A, B});

    ASSERT_EQ(Questions.Asked.size(), 1u);
    EXPECT_EQ(Questions.Asked[0].Text, "The following file already exists:\r\n\r\n" + (Dir / "bak_a.txt") +
                                           "\r\n\r\nOverwrite it with the backup file?");
    EXPECT_EQ(ReadFile(Dir / "bak_a.txt"), Text);
    EXPECT_EQ(ReadFile(Dir / "bak_b.txt"), Text);
    EXPECT_EQ(ReadFile(A), Utf16Le);
    EXPECT_EQ(ReadFile(B), Utf16Le);
    EXPECT_EQ(Run.Log, Concat({FileLines(A, A, "Created backup file: " + (Dir / "bak_a.txt")), {"... Succeeded"},
                               FileLines(B, B, "Created backup file: " + (Dir / "bak_b.txt")), {"... Succeeded"},
                               {"Completed - 0 errors, 0 warnings"}}));
}

class ConvertThreadCheckTest : public ConvertThreadOverwriteTest {
protected:
    static std::vector<std::string> CheckLines(const std::string& Src, std::vector<std::string> Outcome)
    {
        return Concat({{"Check character encoding:", "\t- Source file: " + Src}, Outcome});
    }
};

// The run with every output mode's options, where converting would create the output folder,
// temporary files and backups and ask before replacing: the check leaves the folder exactly as
// it was (nothing created, removed, written or touched), asks nothing, and logs each file once.
TEST_F(ConvertThreadCheckTest, WritesNothingAndAsksNothingInEveryOutputMode)
{
    Options.ToEncoding = "ISO-8859-1";
    const std::string Good = Source("good.txt"), Invalid = Source("invalid.txt", BadUtf8);
    const std::string Unwritable = Source("unwritable.txt", "fine\n\xE2\x82\xAC\n");
    WriteFile(Dir / "p_good.txt", "old");
    WriteFile(Dir / "bak_good.txt", "old");
    const auto Mode = [this](TOutputMode Kind, bool Backup, bool ExistingOutput) {
        Options.Output = Kind;
        Options.OutputPrefix = "p_";
        Options.BackupSrcFiles = Backup;
        Options.BackupPrefix = "bak_";
        if (ExistingOutput) {
            ::mkdir(Options.OutputDirectory.c_str(), 0700);
            WriteFile(Output("good.txt"), "old");
        }
    };
    const std::vector<std::pair<std::string, std::function<void()>>> Modes = {
        {"new output directory", [&] { Mode(omDirectory, false, false); }},
        {"existing output", [&] { Mode(omDirectory, false, true); }},
        {"prefix", [&] { Mode(omPrefix, false, false); }},
        {"overwrite with backup", [&] { Mode(omOverwrite, true, false); }},
        {"overwrite", [&] { Mode(omOverwrite, false, false); }},
    };
    for (const auto& [Name, Prepare] : Modes) {
        SCOPED_TRACE(Name);
        Prepare();
        const auto Before = lmvtest::TreeSnapshot(Dir.Path());
        // A file named twice is read twice: nothing was replaced in between.
        THooks Hooks;
        Hooks.BeforeStart = [](TConvertThread* Thread) { Thread->CheckOnly = true; };
        const TRun Run = RunFiles({Good, Invalid, Unwritable, Good}, Hooks);
        EXPECT_EQ(lmvtest::TreeSnapshot(Dir.Path()), Before);
        EXPECT_TRUE(Questions.Asked.empty());
        EXPECT_EQ(Run.State, csCompleted);
        EXPECT_EQ(Run.ProgressCalls(), 4);
        const std::string Error = "[Error] Cannot convert character encoding";
        EXPECT_EQ(Run.Log,
                  Concat({CheckLines(Good, {"... OK"}),
                          CheckLines(Invalid, {Error, "\t- Invalid byte sequence at line 1, column 3 (offset 2)",
                                               "... Failed"}),
                          CheckLines(Unwritable,
                                     {Error,
                                      "\t- Character U+20AC cannot be written in ISO-8859-1, at line 2, column 1 (offset 5)",
                                      "... Failed"}),
                          CheckLines(Good, {"... OK"}), {"Completed - 2 errors, 0 warnings"}}));
        EXPECT_EQ(Run.ErrorCount, 2);
    }
}

} // namespace
