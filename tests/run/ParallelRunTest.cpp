#include "run/ParallelRun.h"

#include "engine/Lumiva.h"
#include "run/StepLoop.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
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

    TParallelOutcome Run(const TStringList& Files, std::int32_t Jobs, const std::string& OutputDirectory)
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
        Run.OnFileDone = [&](const TFileOutcome& File) { Outcome.Sources.push_back(File.Source); };
        Run.OnDone = [&](TConvertState State, TLogger& Logger) {
            Outcome.State = State;
            Outcome.Log = Logger.Lines.Text();
        };
        Run.OnTerminate = [&Loop] { Loop.Quit(); };
        Run.Start();
        Loop.Exec();
        Run.WaitFreed();
        Outcome.EnginesMade = Made.load();
        return Outcome;
    }

    static TLumiva* Engine;
    TempDir Dir;
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
    std::string Log = Three.Log;
    for (std::size_t At; (At = Log.find(Dir / "out3")) != std::string::npos;)
        Log.replace(At, (Dir / "out3").size(), Dir / "out1");
    EXPECT_EQ(Log, One.Log);
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
    std::string Log = Two.Log;
    for (std::size_t At; (At = Log.find(Dir / "out2")) != std::string::npos;)
        Log.replace(At, (Dir / "out2").size(), Dir / "out1");
    EXPECT_EQ(Log, One.Log);
}

// More jobs than files: the jobs left with nothing end with the run and add nothing to its log.
TEST_F(ParallelRunTest, JobsWithNoFileLeftEndCleanly)
{
    WriteFile(Dir / "a.txt", "a\n");
    WriteFile(Dir / "b.txt", "b\n");
    TStringList Files;
    Files.Add(Dir / "a.txt");
    Files.Add(Dir / "b.txt");
    const TParallelOutcome Four = Run(Files, 4, Dir / "out");
    EXPECT_EQ(Four.EnginesMade, 3);
    EXPECT_EQ(Four.State, csCompleted);
    EXPECT_EQ(Four.Sources, (std::vector<std::string>{Dir / "a.txt", Dir / "b.txt"}));
    EXPECT_EQ(ReadFile(Dir / "out/b.txt"), std::string("b\0\n\0", 4));
    std::filesystem::remove_all(Dir / "out");
    EXPECT_EQ(Four.Log, Run(Files, 1, Dir / "out").Log);
}

} // namespace
