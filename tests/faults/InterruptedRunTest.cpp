// A run that overwrites its sources with backups, killed outright (SIGKILL) at random moments:
// whenever it dies, every source holds either its original bytes or its complete converted
// bytes, every backup that exists holds the original, and no other file is left: temporary
// files are unnamed until they are complete.

#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"
#include "tests/faults/FaultSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace lmvfault;
using lmvtest::Exists;
using lmvtest::ListDir;
using lmvtest::ReadFile;
using lmvtest::WriteFile;

struct TSample {
    std::string Name;
    std::string Original;
    std::string Converted;
};

// 200 files of a few KiB and three of 1 MiB, in UTF-8, with their UTF-16 form.
std::vector<TSample> MakeSamples()
{
    std::vector<TSample> samples;
    for (int i = 0; i < 203; ++i) {
        TSample sample;
        const bool large = i % 67 == 66;
        sample.Name = (large ? "large" : "f") + std::to_string(1000 + i) + ".txt";
        sample.Original = Utf8Text(large ? 1024 * 1024 : 1500 + (i * 397) % 6000);
        sample.Converted = "\xFF\xFE" + Iconv("UTF-8", "UTF-16LE", sample.Original).value();
        samples.push_back(std::move(sample));
    }
    return samples;
}

const std::string BackupPrefix = "Backup - ";

class InterruptedRun : public testing::Test {
protected:
    static void SetUpTestSuite() { Samples = new std::vector<TSample>(MakeSamples()); }
    static void TearDownTestSuite()
    {
        delete Samples;
        Samples = nullptr;
    }

    // A fresh folder with the sources and an empty temporary folder.
    std::string Prepare(int Trial)
    {
        const std::string folder = Root / ("trial" + std::to_string(Trial));
        MakeDir(folder + "/src");
        MakeDir(folder + "/tmp");
        for (const TSample& sample : *Samples)
            WriteFile(folder + "/src/" + sample.Name, sample.Original);
        return folder;
    }

    TLaunch Launch(const std::string& Folder)
    {
        TLaunch launch;
        launch.Args = {"--overwrite", "--backup-prefix", BackupPrefix};
        for (const TSample& sample : *Samples)
            launch.Args.push_back(Folder + "/src/" + sample.Name);
        launch.TmpDir = Folder + "/tmp";
        launch.DiscardOutput = true;
        return launch;
    }

    struct TState {
        int Converted = 0;
        int Partials = 0; // files beside the sources that are neither a source nor a backup
        int Hidden = 0;   // whole results under a hidden name: killed between link and rename
    };

    // Checks the promise on every file; counts the converted ones.
    TState Check(const std::string& Folder, int Trial)
    {
        TState state;
        std::set<std::string> expected;
        for (const TSample& sample : *Samples) {
            const std::string source = Folder + "/src/" + sample.Name;
            const std::string backup = Folder + "/src/" + BackupPrefix + sample.Name;
            expected.insert(sample.Name);
            const std::string now = ReadFile(source);
            const bool converted = now == sample.Converted;
            EXPECT_TRUE(converted || now == sample.Original)
                << "trial " << Trial << ": " << sample.Name << " holds " << now.size() << " bytes that are neither "
                << sample.Original.size() << " original nor " << sample.Converted.size() << " converted ones";
            if (Exists(backup)) {
                expected.insert(BackupPrefix + sample.Name);
                EXPECT_EQ(ReadFile(backup), sample.Original) << "trial " << Trial << ": backup of " << sample.Name;
            } else {
                EXPECT_FALSE(converted) << "trial " << Trial << ": " << sample.Name << " converted without a backup";
            }
            state.Converted += converted ? 1 : 0;
        }
        for (const std::string& name : ListDir(Folder + "/src")) {
            if (expected.count(name))
                continue;
            // A replacement takes two calls (the complete file gets a hidden name, which is then
            // renamed over the old one); a kill between them leaves a whole result under that
            // name. Anything else is a fault.
            if (name.rfind(".lmv", 0) == 0 && IsWholeFile(ReadFile(Folder + "/src/" + name))) {
                ++state.Hidden;
                continue;
            }
            ADD_FAILURE() << "trial " << Trial << ": left behind: " << name;
            ++state.Partials;
        }
        return state;
    }

    static bool IsWholeFile(const std::string& Bytes)
    {
        for (const TSample& sample : *Samples)
            if (Bytes == sample.Converted || Bytes == sample.Original)
                return true;
        return false;
    }

    static std::vector<TSample>* Samples;
    lmvtest::TempDir Root;
};

std::vector<TSample>* InterruptedRun::Samples = nullptr;

TEST_F(InterruptedRun, KilledAtRandomMomentsLeavesOriginalOrConvertedSources)
{
    // One whole run gives the span in which the kills fall.
    const std::string whole = Prepare(0);
    const auto start = std::chrono::steady_clock::now();
    const TOutcome outcome = RunBatch(Launch(whole));
    const auto runTime =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(outcome.Exited && outcome.ExitCode == 0) << outcome.Describe();
    const TState done = Check(whole, 0);
    ASSERT_EQ(done.Converted, static_cast<int>(Samples->size()));
    EXPECT_EQ(ListDir(whole + "/tmp"), std::vector<std::string>{});

    constexpr int Trials = 24;
    std::mt19937 random(20240607);
    std::uniform_int_distribution<long long> delay(0, runTime);
    int interrupted = 0;
    int partials = 0;
    int hidden = 0;
    int temporaries = 0;
    for (int trial = 1; trial <= Trials; ++trial) {
        const std::string folder = Prepare(trial);
        const long long wait = delay(random);
        {
            TBatchProcess process(Launch(folder));
            if (!process.WaitFor(static_cast<int>(wait / 1000))) {
                process.Kill();
                ++interrupted;
            }
            process.Finish();
        }
        const TState state = Check(folder, trial);
        partials += state.Partials;
        hidden += state.Hidden;
        const std::vector<std::string> inTmp = ListDir(folder + "/tmp");
        EXPECT_EQ(inTmp, std::vector<std::string>{}) << "trial " << trial << ": left in the temporary folder";
        temporaries += static_cast<int>(inTmp.size());
        if (HasFailure())
            break;
        std::filesystem::remove_all(folder);
    }
    // For the record: what a killed run leaves behind besides the promised files.
    std::cout << "[ INFO     ] whole run " << runTime / 1000 << " ms; " << interrupted << " of " << Trials
              << " trials killed mid-run; left behind: " << partials << " files beside the sources, " << hidden
              << " whole results under a hidden name, "
              << temporaries << " files in the temporary folder\n";
    RecordProperty("InterruptedTrials", interrupted);
    RecordProperty("UnfinishedCopiesLeft", partials);
    RecordProperty("WholeHiddenResultsLeft", hidden);
    RecordProperty("TemporaryFilesLeft", temporaries);
}

} // namespace
