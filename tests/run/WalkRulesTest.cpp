// The run's rules for a walk: what the options of a run leave out of the folders it is given.

#include "run/FolderRun.h"

#include "folders/InputExpansion.h"
#include "tests/common/TestSupport.h"
#include "util/Exception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using lmvtest::TempDir;
using lmvtest::WriteFile;
using Names = std::vector<std::string>;

class WalkRulesTest : public ::testing::Test {
protected:
    TempDir Dir;
    TConvertOptions Options = DefaultConvertOptions();
    TFolderOptions Folders = DefaultFolderOptions();

    WalkRulesTest() { Options.OutputDirectory = Dir / "out"; }

    void File(const std::string& Name)
    {
        std::filesystem::create_directories(std::filesystem::path(Dir / Name).parent_path());
        WriteFile(Dir / Name, "text\n");
    }

    // "relative" for a found file, "=name" for a named one.
    Names Expand(const Names& Given)
    {
        TFolderWalker walker(
            RunWalkRules(Options, Folders), [](const std::string&) {}, [](std::size_t) { return true; });
        TStringList list;
        for (const std::string& name : Given)
            list.Add(name);
        std::vector<TInputFile> inputs;
        EXPECT_TRUE(TInputExpansion(walker).Expand(list, inputs));
        Names result;
        for (const TInputFile& input : inputs)
            result.push_back(input.Found() ? input.Relative : "=" + input.Name);
        return result;
    }
};

TEST_F(WalkRulesTest, LeavesOutTheOutputDirectoryAndTheRunsOwnResultsAndBackups)
{
    File("d/a.txt");
    File("d/Output - a.txt");
    File("d/Backup - a.txt");
    File("d/out/old.txt");
    File("d/sub/Output - b.txt");
    Options.OutputDirectory = Dir / "d/sub/../out/";
    EXPECT_EQ(Expand({Dir / "d"}), (Names{"d/a.txt", "d/Backup - a.txt", "d/Output - a.txt", "d/sub/Output - b.txt"}));

    Options.Output = omPrefix;
    EXPECT_EQ(Expand({Dir / "d"}), (Names{"d/a.txt", "d/Backup - a.txt", "d/out/old.txt"}));

    Options.Output = omOverwrite;
    EXPECT_EQ(Expand({Dir / "d"}), (Names{"d/a.txt", "d/Output - a.txt", "d/out/old.txt", "d/sub/Output - b.txt"}));
    Options.BackupSrcFiles = false;
    EXPECT_EQ(Expand({Dir / "d"}).size(), 5u);
    // Named directly, a result is taken like any other file.
    EXPECT_EQ(Expand({Dir / "d/Output - a.txt"}), (Names{"=" + (Dir / "d/Output - a.txt")}));
}

TEST_F(WalkRulesTest, ABadMaskInTheFolderOptionsIsRefused)
{
    Folders.SkipNames = ";";
    EXPECT_THROW(RunWalkRules(Options, Folders), Exception);
    Folders.SkipNames = "";
    Folders.FileNames = "*.txt;;";
    EXPECT_THROW(RunWalkRules(Options, Folders), Exception);
}

} // namespace
