#include "run/OutputPlacement.h"

#include "run/Logger.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using lmvtest::ListDir;
using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

std::string Question(const std::string& Name, const std::string& Kind)
{
    return "The following file already exists:\r\n\r\n" + Name + "\r\n\r\nOverwrite it with the " + Kind + " file?";
}

std::vector<std::string> Lines(const TLogger& Logger)
{
    return Logger.Lines.Strings();
}

class OutputPlacement : public testing::Test {
protected:
    OutputPlacement()
        : Placement(
              Options, Logger,
              [this](const std::string& Text) {
                  Asked.push_back(Text);
                  if (Answers.empty()) {
                      ADD_FAILURE() << "unexpected question: " << Text;
                      return 2;
                  }
                  const std::int32_t answer = Answers.front();
                  Answers.pop_front();
                  return answer;
              },
              [this] { ++AbortRequests; })
    {
        Logger.ErrorPrefix = "Error: ";
        Logger.WarningPrefix = "Warning: ";
    }

    // A converted result and a destination that already exists, in the output directory.
    std::string ExistingDestination(const std::string& Name)
    {
        WriteFile(Dir / ("out/" + Name), "old " + Name);
        return Dir / ("out/" + Name);
    }

    // Copies the temporary file to Destination; the failure message, or "" on success.
    // Each copy places a fresh conversion result: a copy on one file system takes the file away.
    std::string Copy(const std::string& Destination)
    {
        WriteFile(Temporary, "converted");
        try {
            Placement.CopyToDestination(Temporary, Destination);
            return "";
        } catch (const EConvertError& e) {
            return e.what();
        }
    }

    std::string Backup(const std::string& Source)
    {
        try {
            Placement.BackupSourceFile(Source);
            return "";
        } catch (const EConvertError& e) {
            return e.what();
        }
    }

    void SetUp() override
    {
        std::filesystem::create_directory(Dir / "out");
        std::filesystem::create_directory(Dir / "data");
        WriteFile(Temporary, "converted");
        Options.Output = omDirectory;
        Options.OutputDirectory = Dir / "out";
        Options.OutputPrefix = "new_";
        Options.BackupPrefix = "bak_";
    }

    TempDir Dir;
    std::string Temporary = Dir / "LMVtemp";
    TConvertOptions Options;
    TLogger Logger;
    std::deque<std::int32_t> Answers;
    std::vector<std::string> Asked;
    int AbortRequests = 0;
    TOutputPlacement Placement;
};

TEST_F(OutputPlacement, DestinationNamesOfTheThreeModes)
{
    Options.OutputDirectory = "/home/u/Out";
    EXPECT_EQ(Placement.DestinationFileName("/data/a.txt"), "/home/u/Out/a.txt");
    Options.OutputDirectory = "/home/u/Out/";
    EXPECT_EQ(Placement.DestinationFileName("/data/sub/\xC3\xA4-b.txt"), "/home/u/Out/\xC3\xA4-b.txt");
    Options.OutputDirectory = "/";
    EXPECT_EQ(Placement.DestinationFileName("/data/a.txt"), "/a.txt");

    Options.Output = omPrefix;
    EXPECT_EQ(Placement.DestinationFileName("/data/a.txt"), "/data/new_a.txt");
    EXPECT_EQ(Placement.DestinationFileName("/a.txt"), "/new_a.txt");

    Options.Output = omOverwrite;
    EXPECT_EQ(Placement.DestinationFileName("/data/a.txt"), "/data/a.txt");
}

TEST_F(OutputPlacement, AnUnknownOutputModeIsAPlainException)
{
    for (const std::int32_t output : {3, -1}) {
        Options.Output = output;
        try {
            Placement.DestinationFileName("/data/a.txt");
            ADD_FAILURE() << "no exception for " << output;
        } catch (const EConvertError&) {
            ADD_FAILURE() << "a file failure instead of a run failure";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Invalid output identifier");
        }
    }
}

TEST_F(OutputPlacement, CreatesEveryMissingLevelWithOneLogLine)
{
    Options.OutputDirectory = Dir / "made/one/two/";
    Placement.CreateOutputDirectory();
    EXPECT_TRUE(std::filesystem::is_directory(Dir / "made/one/two"));
    EXPECT_EQ(Lines(Logger), std::vector<std::string>{"Created output directory: " + (Dir / "made/one/two/")});
}

TEST_F(OutputPlacement, AnOutputDirectoryThatCannotBeMadeIsAPlainException)
{
    WriteFile(Dir / "file", "");
    Options.OutputDirectory = Dir / "file/sub";
    try {
        Placement.CreateOutputDirectory();
        ADD_FAILURE() << "no exception";
    } catch (const EConvertError&) {
        ADD_FAILURE() << "a file failure instead of a run failure";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create output directory: " + (Dir / "file/sub"));
    }
    EXPECT_TRUE(Lines(Logger).empty());
}

TEST_F(OutputPlacement, ANewDestinationIsWrittenWithoutQuestionOrLogLine)
{
    EXPECT_EQ(Copy(Dir / "out/a.txt"), "");
    EXPECT_EQ(ReadFile(Dir / "out/a.txt"), "converted");
    EXPECT_TRUE(Asked.empty());
    EXPECT_TRUE(Lines(Logger).empty());
    EXPECT_EQ(ListDir(Dir / "out"), std::vector<std::string>{"a.txt"});
    // On one file system the temporary file itself went into place: nothing is left to delete,
    // and that is no warning.
    EXPECT_FALSE(lmvtest::Exists(Temporary));
    Placement.DeleteTemporaryFile(Temporary);
    EXPECT_TRUE(Lines(Logger).empty());
}

TEST_F(OutputPlacement, YesAndNoDecideOneFileEach)
{
    const std::string a = ExistingDestination("a.txt");
    const std::string b = ExistingDestination("b.txt");
    const std::string c = ExistingDestination("c.txt");
    Answers = {0, 2, 0};

    EXPECT_EQ(Copy(a), "");
    EXPECT_EQ(ReadFile(a), "converted");
    EXPECT_EQ(Copy(b), "Not allowed to overwrite existing file with destination file: " + b);
    EXPECT_EQ(ReadFile(b), "old b.txt");
    EXPECT_EQ(Placement.DestinationAnswer, 2);
    EXPECT_EQ(Copy(c), "");
    EXPECT_EQ(ReadFile(c), "converted");

    EXPECT_EQ(Asked, (std::vector<std::string>{Question(a, "destination"), Question(b, "destination"),
                                               Question(c, "destination")}));
    EXPECT_EQ(AbortRequests, 0);
}

TEST_F(OutputPlacement, YesToAllIsRememberedForDestinationsOnly)
{
    Options.Output = omPrefix;
    const std::string a = ExistingDestination("a.txt");
    const std::string b = ExistingDestination("b.txt");
    Answers = {1, 2};

    EXPECT_EQ(Copy(a), "");
    EXPECT_EQ(Copy(b), "");
    EXPECT_EQ(ReadFile(b), "converted");
    EXPECT_EQ(Placement.DestinationAnswer, 1);
    EXPECT_EQ(Asked.size(), 1u);

    // The backup question is a kind of its own and is still asked.
    Options.Output = omOverwrite;
    Options.BackupSrcFiles = true;
    WriteFile(Dir / "data/s.txt", "source");
    WriteFile(Dir / "data/bak_s.txt", "old backup");
    EXPECT_EQ(Backup(Dir / "data/s.txt"), "Not allowed to overwrite existing file with backup file: " +
                                              (Dir / "data/bak_s.txt"));
    EXPECT_EQ(ReadFile(Dir / "data/bak_s.txt"), "old backup");
    EXPECT_EQ(Asked.back(), Question(Dir / "data/bak_s.txt", "backup"));
    EXPECT_EQ(Placement.BackupAnswer, 2);
    EXPECT_EQ(Placement.DestinationAnswer, 1);
}

TEST_F(OutputPlacement, NoToAllRefusesEveryLaterDestinationWithoutAsking)
{
    const std::string a = ExistingDestination("a.txt");
    const std::string b = ExistingDestination("b.txt");
    Answers = {3};

    EXPECT_EQ(Copy(a), "Not allowed to overwrite existing file with destination file: " + a);
    EXPECT_EQ(Copy(b), "Not allowed to overwrite existing file with destination file: " + b);
    EXPECT_EQ(ReadFile(a), "old a.txt");
    EXPECT_EQ(ReadFile(b), "old b.txt");
    EXPECT_EQ(Asked.size(), 1u);
    // A destination that does not exist yet is still written.
    EXPECT_EQ(Copy(Dir / "out/c.txt"), "");
    EXPECT_EQ(ReadFile(Dir / "out/c.txt"), "converted");
    EXPECT_EQ(AbortRequests, 0);
}

TEST_F(OutputPlacement, CancelRefusesRequestsAnAbortAndAsksAgainNextTime)
{
    const std::string a = ExistingDestination("a.txt");
    const std::string b = ExistingDestination("b.txt");
    Answers = {4, 0};

    EXPECT_EQ(Copy(a), "Not allowed to overwrite existing file with destination file: " + a);
    EXPECT_EQ(ReadFile(a), "old a.txt");
    EXPECT_EQ(AbortRequests, 1);
    EXPECT_EQ(Placement.DestinationAnswer, 4);
    EXPECT_EQ(Copy(b), "");
    EXPECT_EQ(Asked.size(), 2u);
    EXPECT_EQ(AbortRequests, 1);
}

TEST_F(OutputPlacement, AnAnswerTheQuestionDoesNotOfferOverwritesNothing)
{
    const std::string a = ExistingDestination("a.txt");
    Answers = {-1};
    EXPECT_EQ(Copy(a), "Not allowed to overwrite existing file with destination file: " + a);
    EXPECT_EQ(ReadFile(a), "old a.txt");
    EXPECT_EQ(AbortRequests, 0);
}

TEST_F(OutputPlacement, OverwritingTheSourceAsksNothing)
{
    Options.Output = omOverwrite;
    WriteFile(Dir / "data/a.txt", "source");
    EXPECT_EQ(Copy(Dir / "data/a.txt"), "");
    EXPECT_EQ(ReadFile(Dir / "data/a.txt"), "converted");
    EXPECT_TRUE(Asked.empty());
}

TEST_F(OutputPlacement, ADirectoryAsDestinationFailsTheCopyWithoutAQuestion)
{
    std::filesystem::create_directory(Dir / "out/a.txt");
    EXPECT_EQ(Copy(Dir / "out/a.txt"), "Cannot copy temporary file to destination file");
    EXPECT_TRUE(Asked.empty());
    EXPECT_TRUE(std::filesystem::is_directory(Dir / "out/a.txt"));
}

TEST_F(OutputPlacement, BackupIsACopyOfTheSourceUnderThePrefix)
{
    Options.Output = omOverwrite;
    Options.BackupSrcFiles = true;
    WriteFile(Dir / "data/a.txt", "source text");

    EXPECT_EQ(Backup(Dir / "data/a.txt"), "");
    EXPECT_EQ(ReadFile(Dir / "data/bak_a.txt"), "source text");
    EXPECT_EQ(ReadFile(Dir / "data/a.txt"), "source text");
    EXPECT_TRUE(Asked.empty());
    EXPECT_EQ(Lines(Logger), std::vector<std::string>{"Created backup file: " + (Dir / "data/bak_a.txt")});
}

TEST_F(OutputPlacement, BackupAnswersAreRememberedPerKind)
{
    Options.Output = omOverwrite;
    Options.BackupSrcFiles = true;
    for (const char* name : {"a", "b", "c", "d"}) {
        WriteFile(Dir / (std::string("data/") + name), std::string("new ") + name);
        WriteFile(Dir / (std::string("data/bak_") + name), std::string("old ") + name);
    }
    Answers = {0, 4, 1};

    EXPECT_EQ(Backup(Dir / "data/a"), "");
    EXPECT_EQ(ReadFile(Dir / "data/bak_a"), "new a");
    EXPECT_EQ(Backup(Dir / "data/b"), "Not allowed to overwrite existing file with backup file: " + (Dir / "data/bak_b"));
    EXPECT_EQ(ReadFile(Dir / "data/bak_b"), "old b");
    EXPECT_EQ(AbortRequests, 1);
    EXPECT_EQ(Backup(Dir / "data/c"), "");
    EXPECT_EQ(Backup(Dir / "data/d"), "");
    EXPECT_EQ(ReadFile(Dir / "data/bak_d"), "new d");
    EXPECT_EQ(Asked, (std::vector<std::string>{Question(Dir / "data/bak_a", "backup"),
                                               Question(Dir / "data/bak_b", "backup"),
                                               Question(Dir / "data/bak_c", "backup")}));
    EXPECT_EQ(Placement.BackupAnswer, 1);
    EXPECT_EQ(Placement.DestinationAnswer, -1);

    // No to All for backups leaves the destination question alone.
    Placement.BackupAnswer = 3;
    EXPECT_EQ(Backup(Dir / "data/a"), "Not allowed to overwrite existing file with backup file: " + (Dir / "data/bak_a"));
    Options.Output = omDirectory;
    const std::string e = ExistingDestination("e");
    Answers = {0};
    EXPECT_EQ(Copy(e), "");
    EXPECT_EQ(Asked.back(), Question(e, "destination"));
}

TEST_F(OutputPlacement, AFailedBackupCopyFailsTheFile)
{
    Options.Output = omOverwrite;
    Options.BackupSrcFiles = true;
    WriteFile(Dir / "data/a.txt", "source");
    std::filesystem::create_directory(Dir / "data/bak_a.txt");
    EXPECT_EQ(Backup(Dir / "data/a.txt"), "Cannot backup source file");
    EXPECT_EQ(Backup(Dir / "data/missing.txt"), "Cannot backup source file");
    EXPECT_TRUE(Asked.empty());
    EXPECT_TRUE(Lines(Logger).empty());
}

TEST_F(OutputPlacement, DeletingTheTemporaryFileWarnsWhenItFails)
{
    Placement.DeleteTemporaryFile(Temporary);
    EXPECT_FALSE(lmvtest::Exists(Temporary));
    EXPECT_TRUE(Lines(Logger).empty());

    Placement.DeleteTemporaryFile(Temporary);
    EXPECT_EQ(Lines(Logger), std::vector<std::string>{"Warning: Cannot delete temporary file: " + Temporary});
    EXPECT_EQ(Logger.WarningCount, 1);
    EXPECT_EQ(Logger.ErrorCount, 0);
}

} // namespace
