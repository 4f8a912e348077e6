#include "run/ParallelRun.h"

#include "engine/Lumiva.h"
#include "run/StepLoop.h"
#include "tests/common/DeepFolder.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

class TAnswerYes : public TRunQuestions {
public:
    std::int32_t AskMessageBox(const std::string&, std::uint32_t) override { return 6; }
    std::int32_t AskMessageDialog(const TMessageDialogParams&) override { return 0; }
    void ShowError(const std::exception*) override {}
};

struct TParallelOutcome {
    std::string Log;
    TConvertState State = csCanceled;
    std::vector<std::string> Sources; // in the order they were handed on
    int EnginesMade = 0;
};

class ParallelRunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Engine = new TLumiva(); }
    static void TearDownTestSuite()
    {
        delete Engine;
        Engine = nullptr;
    }

    // OnFileDone, when set, is called beside the record of the sources.
    TParallelOutcome Run(const TStringList& Files, std::int32_t Jobs, const std::string& OutputDirectory,
                         const std::function<void(const TFileOutcome&)>& OnFileDone = {})
    {
        TParallelOutcome Outcome;
        TStepLoop Loop;
        TAnswerYes Questions;
        TConvertOptions Options = DefaultConvertOptions();
        Options.FromEncoding = "UTF-8";
        Options.ToEncoding = "UTF-16LE";
        Options.Output = omDirectory;
        Options.OutputDirectory = OutputDirectory;
        std::atomic<int> Made{0};
        TParallelRun Run(
            Files, Jobs, *Engine,
            [&Made] {
                ++Made;
                return std::make_unique<TLumiva>();
            },
            Options, DefaultConvertSpecs(), DefaultFolderOptions(), false, Questions, Loop);
        Run.OnFileDone = [&](const TFileOutcome& File) {
            Outcome.Sources.push_back(File.Source);
            if (OnFileDone)
                OnFileDone(File);
        };
        Run.OnDone = [&](TConvertState State, TLogger& Logger) {
            Outcome.State = State;
            Outcome.Log = Logger.Lines.Text();
        };
        Run.OnTerminate = [&Loop] { Loop.Quit(); };
        Current = &Run;
        Run.Start();
        Loop.Exec();
        Run.WaitFreed();
        Current = nullptr;
        Outcome.EnginesMade = Made.load();
        return Outcome;
    }

    // The log of a run into Out, told as if it had written into Into.
    static std::string LogAs(std::string Log, const std::string& Out, const std::string& Into)
    {
        for (std::size_t At; (At = Log.find(Out)) != std::string::npos;)
            Log.replace(At, Out.size(), Into);
        return Log;
    }

    static TLumiva* Engine;
    TempDir Dir;
    // The run in progress, for a handler that stops it.
    TParallelRun* Current = nullptr;
};

TLumiva* ParallelRunTest::Engine = nullptr;

// One folder named: its files go to every job, and the log and the outcomes come back as one job
// gives them, subfolders made and logged before the first file that needs them.
TEST_F(ParallelRunTest, TheFilesOfOneFolderSpreadOverTheJobsInFileOrder)
{
    std::vector<std::string> Expected;
    for (int i = 0; i < 24; ++i) {
        char Name[32];
        std::snprintf(Name, sizeof Name, "src/d%d/f%02d.txt", i / 8, i);
        std::filesystem::create_directories(Dir / ("src/d" + std::to_string(i / 8)));
        WriteFile(Dir / Name, std::string(static_cast<std::size_t>(1 + i * 97), 'a') + "\xC3\xA9\n");
        Expected.push_back(Dir / Name);
    }
    TStringList Files;
    Files.Add(Dir / "src");
    const TParallelOutcome One = Run(Files, 1, Dir / "out1");
    const TParallelOutcome Three = Run(Files, 3, Dir / "out3");
    EXPECT_EQ(One.EnginesMade, 0);
    EXPECT_EQ(Three.EnginesMade, 2) << "a folder's files are not one job's share";
    EXPECT_EQ(One.State, csCompleted);
    EXPECT_EQ(Three.State, csCompleted);
    EXPECT_EQ(One.Sources, Expected);
    EXPECT_EQ(Three.Sources, Expected);
    EXPECT_EQ(LogAs(Three.Log, Dir / "out3", Dir / "out1"), One.Log);
    EXPECT_NE(One.Log.find("Created output directory: " + Dir / "out1/src/d2"), std::string::npos) << One.Log;
    EXPECT_EQ(ReadFile(Dir / "out3/src/d2/f23.txt"), ReadFile(Dir / "out1/src/d2/f23.txt"));
}

// The jobs share the look for folders among many names: a folder late in the list is walked
// whichever job saw it, and its files take its place.
TEST_F(ParallelRunTest, AFolderLateAmongManyNamesGivesWayToItsFiles)
{
    TStringList Files;
    std::vector<std::string> Expected;
    for (int i = 0; i < 300; ++i) {
        if (i == 290) {
            Files.Add(Dir / "src");
            std::filesystem::create_directories(Dir / "src");
            for (const char* Name : {"src/x.txt", "src/y.txt"}) {
                WriteFile(Dir / Name, "x\n");
                Expected.push_back(Dir / Name);
            }
        }
        const std::string Name = Dir / ("n" + std::to_string(i) + ".txt");
        WriteFile(Name, "n\n");
        Files.Add(Name);
        Expected.push_back(Name);
    }
    const TParallelOutcome One = Run(Files, 1, Dir / "out1");
    const TParallelOutcome Two = Run(Files, 2, Dir / "out2");
    EXPECT_EQ(One.Sources, Expected);
    EXPECT_EQ(Two.Sources, Expected);
    EXPECT_EQ(ReadFile(Dir / "out2/src/y.txt"), std::string("x\0\n\0", 4));
    EXPECT_EQ(LogAs(Two.Log, Dir / "out2", Dir / "out1"), One.Log);
}

// More jobs than files: a folder is only known to be small once walked, so every job starts, and
// the jobs left with nothing end with the run and add nothing to its log.
TEST_F(ParallelRunTest, JobsWithNoFileLeftEndCleanly)
{
    std::filesystem::create_directories(Dir / "src");
    WriteFile(Dir / "src/a.txt", "a\n");
    WriteFile(Dir / "src/b.txt", "b\n");
    TStringList Files;
    Files.Add(Dir / "src");
    const TParallelOutcome Four = Run(Files, 4, Dir / "out");
    EXPECT_EQ(Four.EnginesMade, 3);
    EXPECT_EQ(Four.State, csCompleted);
    EXPECT_EQ(Four.Sources, (std::vector<std::string>{Dir / "src/a.txt", Dir / "src/b.txt"}));
    EXPECT_EQ(ReadFile(Dir / "out/src/b.txt"), std::string("b\0\n\0", 4));
    std::filesystem::remove_all(Dir / "out");
    EXPECT_EQ(Four.Log, Run(Files, 1, Dir / "out").Log);
}

// Fewer names than jobs and no folder among them: no worker is made that could only find nothing
// to do, and the run is the run of one job, named files that do not exist included.
TEST_F(ParallelRunTest, FewerFilesThanJobsMakeNoSpareWorker)
{
    WriteFile(Dir / "a.txt", "a\n");
    WriteFile(Dir / "b.txt", "b\n");
    TStringList One;
    One.Add(Dir / "a.txt");
    TStringList Three;
    for (const char* Name : {"a.txt", "missing.txt", "b.txt"})
        Three.Add(Dir / Name);
    const TParallelOutcome Single = Run(One, 2, Dir / "out1");
    const TParallelOutcome Spread = Run(Three, 8, Dir / "out3");
    EXPECT_EQ(Single.EnginesMade, 0);
    EXPECT_EQ(Spread.EnginesMade, 2);
    EXPECT_EQ(Spread.Sources, (std::vector<std::string>{Dir / "a.txt", Dir / "missing.txt", Dir / "b.txt"}));
    std::filesystem::remove_all(Dir / "out1");
    std::filesystem::remove_all(Dir / "out3");
    EXPECT_EQ(Single.Log, Run(One, 1, Dir / "out1").Log);
    EXPECT_EQ(Spread.Log, Run(Three, 1, Dir / "out3").Log);
}

// The outcomes are handed on while the run goes, by the workers: one at a time, in file order,
// none left over for the end, also when a slow hand-over keeps the others' outcomes waiting.
TEST_F(ParallelRunTest, OutcomesAreHandedOnByTheWorkersOneAtATimeInFileOrder)
{
    std::filesystem::create_directories(Dir / "src");
    std::vector<std::string> Expected;
    for (int i = 0; i < 300; ++i) {
        char Name[32];
        std::snprintf(Name, sizeof Name, "src/f%03d.txt", i);
        WriteFile(Dir / Name, std::string(static_cast<std::size_t>(1 + (i * 37) % 300), 'x') + "\n");
        Expected.push_back(Dir / Name);
    }
    TStringList Files;
    Files.Add(Dir / "src");
    const std::thread::id Main = std::this_thread::get_id();
    std::atomic<int> Inside{0};
    std::atomic<int> Overlaps{0};
    std::atomic<int> OnMain{0};
    std::atomic<int> Calls{0};
    const TParallelOutcome Three = Run(Files, 3, Dir / "out", [&](const TFileOutcome&) {
        if (Inside.fetch_add(1) != 0)
            ++Overlaps;
        if (std::this_thread::get_id() == Main)
            ++OnMain;
        // Every seventh hand-over is slow, so that the other workers end files meanwhile.
        if (Calls.fetch_add(1) % 7 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        Inside.fetch_sub(1);
    });
    EXPECT_EQ(Three.State, csCompleted);
    EXPECT_EQ(Three.Sources, Expected);
    EXPECT_EQ(Overlaps.load(), 0);
    EXPECT_EQ(OnMain.load(), 0) << "outcomes left to the end of the run";
}

// Every file named twice, two files apart (a b a b c d c d ...): the second naming waits for the
// first, whichever jobs take them, and meets the overwrite question as with one job.
TEST_F(ParallelRunTest, FilesNamedTwiceTakeTurnsWhateverTheJobs)
{
    TStringList Files;
    for (int i = 0; i < 60; i += 2) {
        const std::string A = Dir / ("n" + std::to_string(i) + ".txt");
        const std::string B = Dir / ("n" + std::to_string(i + 1) + ".txt");
        WriteFile(A, std::string(static_cast<std::size_t>(1 + i * 11), 'n') + "\n");
        WriteFile(B, std::string(static_cast<std::size_t>(1 + i * 13), 'm') + "\n");
        for (const std::string& Name : {A, B, A, B})
            Files.Add(Name);
    }
    const TParallelOutcome One = Run(Files, 1, Dir / "out1");
    // More jobs than processors: jobs often reach for the same next file, and the one that loses
    // must wait for what that file really writes to.
    const TParallelOutcome Three = Run(Files, 8, Dir / "out3");
    EXPECT_EQ(Three.Sources, One.Sources);
    EXPECT_EQ(LogAs(Three.Log, Dir / "out3", Dir / "out1"), One.Log);
    EXPECT_EQ(ReadFile(Dir / "out3/n59.txt"), ReadFile(Dir / "out1/n59.txt"));
}

// Names go over to the other jobs a few at a time while the first job still looks at the rest:
// with folders and missing files at the edges of those shares, every file still comes back once,
// in order, into an output folder made for the first of them and logged as one job logs it.
TEST_F(ParallelRunTest, NamesHandedOverAsTheyAreExpandedComeBackOnceInOrder)
{
    TStringList Files;
    std::vector<std::string> Expected;
    const std::set<int> FolderAt{0, 15, 16, 143, 144, 400};
    for (int i = 0; i < 700; ++i) {
        if (FolderAt.count(i) != 0) {
            const std::string Folder = Dir / ("d" + std::to_string(i));
            std::filesystem::create_directories(Folder + "/sub");
            for (const char* Name : {"/x.txt", "/sub/y.txt"}) {
                WriteFile(Folder + Name, "x\n");
                Expected.push_back(Folder + Name);
            }
            Files.Add(Folder);
        }
        const std::string Name = Dir / ("n" + std::to_string(i) + ".txt");
        if (i % 97 != 5)
            WriteFile(Name, std::string(static_cast<std::size_t>(1 + i % 13), 'n') + "\n");
        Files.Add(Name);
        Expected.push_back(Name);
    }
    const TParallelOutcome One = Run(Files, 1, Dir / "deep/out1");
    const TParallelOutcome Two = Run(Files, 2, Dir / "deep/out2");
    const TParallelOutcome Three = Run(Files, 3, Dir / "deep/out3");
    EXPECT_EQ(One.Sources, Expected);
    EXPECT_EQ(Two.Sources, Expected);
    EXPECT_EQ(Three.Sources, Expected);
    EXPECT_EQ(Two.State, csCompleted);
    EXPECT_EQ(LogAs(Two.Log, Dir / "deep/out2", Dir / "deep/out1"), One.Log);
    EXPECT_EQ(LogAs(Three.Log, Dir / "deep/out3", Dir / "deep/out1"), One.Log);
    EXPECT_NE(One.Log.find("Created output directory: " + Dir / "deep/out1\r\n"), std::string::npos) << One.Log;
    EXPECT_EQ(ReadFile(Dir / "deep/out3/d400/sub/y.txt"), std::string("x\0\n\0", 4));
    EXPECT_EQ(ReadFile(Dir / "deep/out2/n699.txt"), ReadFile(Dir / "deep/out1/n699.txt"));
}

// A folder that cannot be read, named among many files: its error stands where one job puts it,
// ahead of the files, also when other jobs convert the first files before it is reached.
TEST_F(ParallelRunTest, AFolderThatCannotBeReadAmongTheNamesIsLoggedWhereOneJobLogsIt)
{
    TStringList Files;
    for (int i = 0; i < 400; ++i) {
        if (i == 300) {
            std::filesystem::create_directories(Dir / "tree");
            WriteFile(Dir / "tree/t.txt", "t\n");
            lmvtest::MakeTooDeepFolder(Dir / "tree");
            Files.Add(Dir / "tree");
        }
        const std::string Name = Dir / ("n" + std::to_string(i) + ".txt");
        WriteFile(Name, "n\n");
        Files.Add(Name);
    }
    const TParallelOutcome One = Run(Files, 1, Dir / "out1");
    const TParallelOutcome Two = Run(Files, 2, Dir / "out2");
    lmvtest::RemoveTooDeepFolder(Dir / "tree");
    EXPECT_EQ(LogAs(Two.Log, Dir / "out2", Dir / "out1"), One.Log);
    EXPECT_EQ(Two.Sources, One.Sources);
    EXPECT_EQ(Two.Sources.size(), 401u);
    const std::size_t Error = One.Log.find("[Error] Cannot read folder: ");
    ASSERT_NE(Error, std::string::npos) << One.Log;
    EXPECT_LT(Error, One.Log.find("Created output directory: ")) << One.Log;
}

// An output folder that cannot be made: the files found meanwhile never go to the other jobs,
// and the run ends as the run of one job does.
TEST_F(ParallelRunTest, AnOutputFolderThatCannotBeMadeEndsTheRunAsWithOneJob)
{
    TStringList Files;
    for (int i = 0; i < 200; ++i) {
        const std::string Name = Dir / ("n" + std::to_string(i) + ".txt");
        WriteFile(Name, "n\n");
        Files.Add(Name);
    }
    WriteFile(Dir / "plain", "a file, not a folder\n");
    const TParallelOutcome One = Run(Files, 1, Dir / "plain/out");
    const TParallelOutcome Two = Run(Files, 2, Dir / "plain/out");
    EXPECT_EQ(One.State, csCanceled);
    EXPECT_EQ(Two.State, csCanceled);
    EXPECT_TRUE(Two.Sources.empty());
    EXPECT_EQ(Two.Log, One.Log);
    EXPECT_NE(Two.Log.find("Cannot create output directory: " + Dir / "plain/out"), std::string::npos) << Two.Log;
}

// Stopped while the first job still walks a big tree and the others convert what it has handed
// over: the run ends, and what was handed on is in file order, each file at most once.
TEST_F(ParallelRunTest, AnAbortWhileTheNamesAreExpandedEndsTheRunWithEveryFileAtMostOnce)
{
    std::vector<std::string> Expected;
    for (int d = 0; d < 1000; ++d) {
        char Folder[32];
        std::snprintf(Folder, sizeof Folder, "src/d%03d", d);
        std::filesystem::create_directories(Dir / Folder);
        WriteFile(Dir / (Folder + std::string("/a.txt")), "x\n");
        Expected.push_back(Dir / (Folder + std::string("/a.txt")));
    }
    TStringList Files;
    Files.Add(Dir / "src");
    int Stops = 0;
    const TParallelOutcome Two = Run(Files, 2, Dir / "out", [&](const TFileOutcome&) {
        if (Stops++ == 0)
            Current->RequestAbort();
    });
    // Canceled when the walk was stopped; Stopped, should the walk have ended before the abort came.
    EXPECT_NE(Two.State, csCompleted);
    EXPECT_LT(Two.Sources.size(), Expected.size());
    std::size_t Next = 0;
    for (const std::string& Source : Two.Sources) {
        while (Next < Expected.size() && Expected[Next] != Source)
            ++Next;
        ASSERT_LT(Next, Expected.size()) << Source << " out of order or twice";
        ++Next;
    }
    // Made once, before the first file that went into it.
    const std::size_t Made = Two.Log.find("Created output directory: " + Dir / "out\r\n");
    ASSERT_NE(Made, std::string::npos) << Two.Log;
    EXPECT_EQ(Two.Log.find("Created output directory: " + Dir / "out\r\n", Made + 1), std::string::npos);
    EXPECT_LT(Made, Two.Log.find("Convert character encoding:")) << Two.Log;
}

} // namespace
