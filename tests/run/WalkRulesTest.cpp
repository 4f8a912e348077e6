// The run's rules for a walk: what the options of a run leave out of the folders it is given.

#include "run/FolderRun.h"

#include "folders/InputExpansion.h"
#include "run/Logger.h"
#include "run/RunChannel.h"
#include "run/RunQuestions.h"
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

class TNoQuestions : public TRunQuestions {
public:
    std::int32_t AskMessageBox(const std::string&, std::uint32_t) override { return 0; }
    std::int32_t AskMessageDialog(const TMessageDialogParams&) override { return 0; }
    void ShowError(const std::exception*) override {}
};

// Files going over to other jobs while the walk goes on make the output folder, which they fill:
// a missing output folder inside the tree is still no part of the walk, as it was not there for
// a walk before the run.
TEST_F(WalkRulesTest, AnOutputFolderMadeWhileFilesGoOverIsLeftOutOfTheWalk)
{
    for (int d = 0; d < 40; ++d)
        File("src/d" + std::to_string(100 + d) + "/a.txt");
    Options.OutputDirectory = Dir / "src/d139/new";
    TLogger logger;
    TNoQuestions questions;
    TRunChannel channel(nullptr, questions);
    TFolderRun run(Options, Folders, logger, channel);
    TStringList names;
    names.Add(Dir / "src");
    Names shown;
    ASSERT_TRUE(run.Expand(names, [&](std::vector<TInputFile>& More) {
        // As the run does when files go over: the output folder is made, and filled.
        File("src/d139/new/result" + std::to_string(shown.size()) + ".txt");
        for (const TInputFile& input : More)
            shown.push_back(input.Relative);
    }));
    EXPECT_EQ(shown.size(), 40u);
    for (const std::string& name : shown)
        EXPECT_EQ(name.find("result"), std::string::npos) << name;
    EXPECT_EQ(shown.back(), "src/d139/a.txt");
}

} // namespace
