#include "run/OutputPlacement.h"

#include "run/Logger.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

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

// Hidden files of the run left in a folder.
std::vector<std::string> Leftovers(const std::string& Folder)
{
    std::vector<std::string> hidden;
    for (const std::string& name : ListDir(Folder))
        if (name.rfind(".lmv", 0) == 0)
            hidden.push_back(name);
    return hidden;
}

// Every case runs with unnamed temporary files and with the hidden named ones of file systems
// that refuse unnamed files.
class OutputPlacement : public testing::TestWithParam<bool> {
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

    // Converts into a new temporary file for Destination and puts it in place; the failure
    // message, or "" on success. The temporary file is deleted in either case, and no hidden file
    // stays beside the destination.
    std::string Copy(const std::string& Destination, const std::string& Content = "converted")
    {
        TTemporaryFile temporary = Placement.MakeTempFile(Destination);
        EXPECT_GE(temporary.Handle(), 0) << Destination;
        EXPECT_EQ(::write(temporary.Handle(), Content.data(), Content.size()), static_cast<ssize_t>(Content.size()));
        EXPECT_EQ(temporary.File->Name().empty(), GetParam()) << "named only when unnamed files are refused";
        std::string failure;
        try {
            Placement.CopyToDestination(temporary, Destination);
        } catch (const EConvertError& e) {
            failure = e.what();
        }
        Placement.DeleteTemporaryFile(temporary);
        EXPECT_EQ(Leftovers(ExtractFolder(Destination)), std::vector<std::string>{}) << Destination;
        return failure;
    }

    static std::string ExtractFolder(const std::string& Path) { return Path.substr(0, Path.rfind('/') + 1); }

    std::string Backup(const std::string& Source)
    {
        std::string failure;
        try {
            struct stat info;
            const TFd source = OpenRegularFile(Source, info);
            Placement.BackupSourceFile(Source, source.Get());
        } catch (const EConvertError& e) {
            failure = e.what();
        }
        EXPECT_EQ(Leftovers(ExtractFolder(Source)), std::vector<std::string>{}) << Source;
        return failure;
    }

    void SetUp() override
    {
        std::filesystem::create_directory(Dir / "out");
        std::filesystem::create_directory(Dir / "data");
        Placement.UnnamedFiles = GetParam();
        Options.Output = omDirectory;
        Options.OutputDirectory = Dir / "out";
        Options.OutputPrefix = "new_";
        Options.BackupPrefix = "bak_";
    }

    TempDir Dir;
    TConvertOptions Options;
    TLogger Logger;
    std::deque<std::int32_t> Answers;
    std::vector<std::string> Asked;
    int AbortRequests = 0;
    TOutputPlacement Placement;
};

TEST_P(OutputPlacement, DestinationNamesOfTheThreeModes)
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

TEST_P(OutputPlacement, AnUnknownOutputModeIsAPlainException)
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

TEST_P(OutputPlacement, CreatesEveryMissingLevelWithOneLogLine)
{
    Options.OutputDirectory = Dir / "made/one/two/";
    Placement.CreateOutputDirectory();
    EXPECT_TRUE(std::filesystem::is_directory(Dir / "made/one/two"));
    EXPECT_EQ(Lines(Logger), std::vector<std::string>{"Created output directory: " + (Dir / "made/one/two/")});
}

TEST_P(OutputPlacement, AnOutputDirectoryThatCannotBeMadeIsAPlainException)
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

TEST_P(OutputPlacement, ANewDestinationIsWrittenWithoutQuestionOrLogLine)
{
    EXPECT_EQ(Copy(Dir / "out/a.txt"), "");
    EXPECT_EQ(ReadFile(Dir / "out/a.txt"), "converted");
    EXPECT_TRUE(Asked.empty());
    EXPECT_TRUE(Lines(Logger).empty());
    EXPECT_EQ(ListDir(Dir / "out"), std::vector<std::string>{"a.txt"});
}

TEST_P(OutputPlacement, YesAndNoDecideOneFileEach)
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

TEST_P(OutputPlacement, YesToAllIsRememberedForDestinationsOnly)
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

TEST_P(OutputPlacement, NoToAllRefusesEveryLaterDestinationWithoutAsking)
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

TEST_P(OutputPlacement, CancelRefusesRequestsAnAbortAndAsksAgainNextTime)
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

TEST_P(OutputPlacement, AnAnswerTheQuestionDoesNotOfferOverwritesNothing)
{
    const std::string a = ExistingDestination("a.txt");
    Answers = {-1};
    EXPECT_EQ(Copy(a), "Not allowed to overwrite existing file with destination file: " + a);
    EXPECT_EQ(ReadFile(a), "old a.txt");
    EXPECT_EQ(AbortRequests, 0);
}

TEST_P(OutputPlacement, OverwritingTheSourceAsksNothing)
{
    Options.Output = omOverwrite;
    WriteFile(Dir / "data/a.txt", "source");
    EXPECT_EQ(Copy(Dir / "data/a.txt"), "");
    EXPECT_EQ(ReadFile(Dir / "data/a.txt"), "converted");
    EXPECT_TRUE(Asked.empty());
}

TEST_P(OutputPlacement, ADirectoryAsDestinationFailsTheCopyWithoutAQuestion)
{
    std::filesystem::create_directory(Dir / "out/a.txt");
    EXPECT_EQ(Copy(Dir / "out/a.txt"), "Cannot copy temporary file to destination file");
    EXPECT_TRUE(Asked.empty());
    EXPECT_TRUE(std::filesystem::is_directory(Dir / "out/a.txt"));
}

TEST_P(OutputPlacement, BackupIsACopyOfTheSourceUnderThePrefix)
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

TEST_P(OutputPlacement, BackupAnswersAreRememberedPerKind)
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

TEST_P(OutputPlacement, AFailedBackupCopyFailsTheFile)
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

struct stat StatOf(const std::string& Path)
{
    struct stat st {};
    EXPECT_EQ(::stat(Path.c_str(), &st), 0) << Path;
    return st;
}

TEST_P(OutputPlacement, ANewFileGetsTheDefaultModeAReplacedOneKeepsOwnerAndBits)
{
    const mode_t mask = ::umask(027);
    EXPECT_EQ(Copy(Dir / "out/new.txt"), "");
    ::umask(mask);
    EXPECT_EQ(StatOf(Dir / "out/new.txt").st_mode & 07777, 0640u);

    const std::string old = ExistingDestination("old.txt");
    ::chmod(old.c_str(), 0751);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(old.c_str(), 65534, 65534), 0);
    }
    Answers = {0};
    EXPECT_EQ(Copy(old), "");
    EXPECT_EQ(ReadFile(old), "converted");
    EXPECT_EQ(StatOf(old).st_mode & 07777, 0751u);
    if (root) {
        EXPECT_EQ(StatOf(old).st_uid, 65534u);
        EXPECT_EQ(StatOf(old).st_gid, 65534u);
    }
}

TEST_P(OutputPlacement, ALinkedDestinationReplacesTheFileItNamesAndStays)
{
    Options.Output = omOverwrite;
    std::filesystem::create_directory(Dir / "real");
    WriteFile(Dir / "real/a.txt", "source");
    ::chmod((Dir / "real/a.txt").c_str(), 0604);
    std::filesystem::create_symlink("../real/a.txt", Dir / "data/a.txt");
    EXPECT_EQ(Copy(Dir / "data/a.txt"), "");
    EXPECT_TRUE(std::filesystem::is_symlink(Dir / "data/a.txt"));
    EXPECT_EQ(ReadFile(Dir / "real/a.txt"), "converted");
    EXPECT_EQ(StatOf(Dir / "real/a.txt").st_mode & 07777, 0604u);
    EXPECT_EQ(Leftovers(Dir / "real"), std::vector<std::string>{});
}

// In the output directory too (where a new result's name is looked up only once it is taken): a
// link to a file in another folder has that file replaced, with the result made in that folder,
// and the link stays.
TEST_P(OutputPlacement, ALinkedNewDestinationReplacesTheFileInItsOwnFolder)
{
    std::filesystem::create_directory(Dir / "real");
    WriteFile(Dir / "real/a.txt", "old");
    ::chmod((Dir / "real/a.txt").c_str(), 0604);
    std::filesystem::create_symlink("../real/a.txt", Dir / "out/a.txt");
    Answers = {0};
    EXPECT_EQ(Copy(Dir / "out/a.txt"), "");
    EXPECT_EQ(Asked, std::vector<std::string>{Question(Dir / "out/a.txt", "destination")});
    EXPECT_TRUE(std::filesystem::is_symlink(Dir / "out/a.txt"));
    EXPECT_EQ(ReadFile(Dir / "real/a.txt"), "converted");
    EXPECT_EQ(StatOf(Dir / "real/a.txt").st_mode & 07777, 0604u);
    EXPECT_EQ(Leftovers(Dir / "real"), std::vector<std::string>{});
    EXPECT_EQ(ListDir(Dir / "out"), std::vector<std::string>{"a.txt"});

    // Links that go round in circles: no file is made, or the one made goes, and nothing changes.
    std::filesystem::create_symlink("b.txt", Dir / "out/c.txt");
    std::filesystem::create_symlink("c.txt", Dir / "out/b.txt");
    TTemporaryFile temporary = Placement.MakeTempFile(Dir / "out/b.txt");
    std::string failure = "Cannot create temporary file"; // what the conversion says without one
    if (temporary.Handle() >= 0) {
        ASSERT_EQ(::write(temporary.Handle(), "x", 1), 1);
        try {
            Placement.CopyToDestination(temporary, Dir / "out/b.txt");
            failure.clear();
        } catch (const EConvertError& e) {
            failure = e.what();
        }
    }
    Placement.DeleteTemporaryFile(temporary);
    EXPECT_EQ(failure, "Cannot create temporary file");
    EXPECT_EQ(ListDir(Dir / "out"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(std::filesystem::read_symlink(Dir / "out/b.txt"), "c.txt");
}

// Read-only by its bits, whoever runs: root, whom access() lets write anything, included.
TEST_P(OutputPlacement, AReadOnlyDestinationOrBackupIsLeftAlone)
{
    Options.Output = omOverwrite;
    Options.BackupSrcFiles = true;
    WriteFile(Dir / "data/a.txt", "source");
    ::chmod((Dir / "data/a.txt").c_str(), 0444);
    EXPECT_EQ(Copy(Dir / "data/a.txt"), "Cannot copy temporary file to destination file");
    EXPECT_EQ(ReadFile(Dir / "data/a.txt"), "source");

    WriteFile(Dir / "data/b.txt", "source b");
    WriteFile(Dir / "data/bak_b.txt", "old backup");
    ::chmod((Dir / "data/bak_b.txt").c_str(), 0444);
    Answers = {0};
    EXPECT_EQ(Backup(Dir / "data/b.txt"), "Cannot backup source file");
    EXPECT_EQ(ReadFile(Dir / "data/bak_b.txt"), "old backup");
    EXPECT_EQ(ListDir(Dir / "data"), (std::vector<std::string>{"a.txt", "b.txt", "bak_b.txt"}));
}

TEST_P(OutputPlacement, ABackupKeepsTheSourcesBitsOwnerAndTime)
{
    Options.Output = omOverwrite;
    Options.BackupSrcFiles = true;
    const std::string source = Dir / "data/a.txt";
    WriteFile(source, "private text");
    ::chmod(source.c_str(), 0600);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(source.c_str(), 65534, 65534), 0);
    }
    const struct timespec times[2] = {{1000000000, 0}, {1234567890, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    // Replacing an older backup gives it the source's attributes, not its own.
    WriteFile(Dir / "data/bak_a.txt", "old backup");
    ::chmod((Dir / "data/bak_a.txt").c_str(), 0666);
    Answers = {0};

    const mode_t mask = ::umask(0);
    EXPECT_EQ(Backup(source), "");
    ::umask(mask);
    const struct stat backup = StatOf(Dir / "data/bak_a.txt");
    EXPECT_EQ(ReadFile(Dir / "data/bak_a.txt"), "private text");
    EXPECT_EQ(backup.st_mode & 07777, 0600u);
    EXPECT_EQ(backup.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(backup.st_mtim.tv_nsec, 123456789);
    if (root) {
        EXPECT_EQ(backup.st_uid, 65534u);
        EXPECT_EQ(backup.st_gid, 65534u);
    }
}

// The result is made where it lives: it gets the folder's group in a set-group-ID folder, and a
// folder moved after its temporary file was made receives the result under its new name, while
// a new folder at the old name receives nothing.
TEST_P(OutputPlacement, TheResultStaysWithTheFolderItWasMadeIn)
{
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown((Dir / "out").c_str(), static_cast<uid_t>(-1), 65534), 0);
        ASSERT_EQ(::chmod((Dir / "out").c_str(), 02775), 0);
    }
    TTemporaryFile temporary = Placement.MakeTempFile(Dir / "out/a.txt");
    ASSERT_GE(temporary.Handle(), 0);
    ASSERT_EQ(::write(temporary.Handle(), "converted", 9), 9);
    std::filesystem::rename(Dir / "out", Dir / "moved");
    std::filesystem::create_directory(Dir / "out");

    Placement.CopyToDestination(temporary, Dir / "out/a.txt");
    Placement.DeleteTemporaryFile(temporary);
    EXPECT_EQ(ListDir(Dir / "out"), std::vector<std::string>{});
    EXPECT_EQ(ListDir(Dir / "moved"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(ReadFile(Dir / "moved/a.txt"), "converted");
    if (::geteuid() == 0) {
        EXPECT_EQ(StatOf(Dir / "moved/a.txt").st_gid, 65534u);
    }
}

// A failed conversion leaves nothing: the temporary file goes, named or not.
TEST_P(OutputPlacement, ADiscardedTemporaryFileLeavesNothing)
{
    const std::string a = ExistingDestination("a.txt");
    for (const std::string& destination : {a, Dir / "out/b.txt"}) {
        TTemporaryFile temporary = Placement.MakeTempFile(destination);
        ASSERT_GE(temporary.Handle(), 0);
        ASSERT_EQ(::write(temporary.Handle(), "half", 4), 4);
        Placement.DeleteTemporaryFile(temporary);
    }
    EXPECT_EQ(ListDir(Dir / "out"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(ReadFile(a), "old a.txt");
    EXPECT_TRUE(Lines(Logger).empty());
}

// No folder for the temporary file: no file is made, and the conversion reports it.
TEST_P(OutputPlacement, NoFolderNoTemporaryFile)
{
    const TTemporaryFile temporary = Placement.MakeTempFile(Dir / "missing/a.txt");
    EXPECT_LT(temporary.Handle(), 0);
    EXPECT_FALSE(lmvtest::Exists(Dir / "missing"));
}

TEST_P(OutputPlacement, DeletingTheTemporaryFileWarnsWhenItFails)
{
    TTemporaryFile temporary = Placement.MakeTempFile(Dir / "out/a.txt");
    const std::string name = temporary.File->Name();
    if (GetParam()) {
        // An unnamed file has nothing to delete.
        Placement.DeleteTemporaryFile(temporary);
        EXPECT_TRUE(Lines(Logger).empty());
        EXPECT_EQ(ListDir(Dir / "out"), std::vector<std::string>{});
        return;
    }
    // Something that cannot be removed as a file took the hidden name.
    ASSERT_EQ(::unlink(name.c_str()), 0);
    std::filesystem::create_directories(name + "/inside");
    Placement.DeleteTemporaryFile(temporary);
    EXPECT_EQ(Lines(Logger), std::vector<std::string>{"Warning: Cannot delete temporary file: " + name});
    EXPECT_EQ(Logger.WarningCount, 1);
    EXPECT_EQ(Logger.ErrorCount, 0);
}

TEST_P(OutputPlacement, AttributesThatCannotBeKeptWarnForTheResultAndTheBackupWhichStillLand)
{
    Options.Output = omOverwrite;
    const std::string source = Dir / "data/s.txt";
    const std::string backup = Dir / "data/bak_s.txt";
    WriteFile(source, "old");
    int calls = 0;
    Placement.KeepAttributes = [&calls](int, int) {
        ++calls;
        return false;
    };
    EXPECT_EQ(Backup(source), "");
    EXPECT_EQ(Copy(source), "");
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Lines(Logger), (std::vector<std::string>{"Created backup file: " + backup,
                                                       "Warning: Cannot keep permissions: " + backup,
                                                       "Warning: Cannot keep permissions: " + source}));
    EXPECT_EQ(Logger.WarningCount, 2);
    EXPECT_EQ(ReadFile(source), "converted");
    EXPECT_EQ(ReadFile(backup), "old");

    // A new result replaces nothing: it has no attributes to keep.
    Options.Output = omDirectory;
    EXPECT_EQ(Copy(Dir / "out/new.txt"), "");
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Logger.WarningCount, 2);
}

INSTANTIATE_TEST_SUITE_P(TemporaryFiles, OutputPlacement, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& Info) { return Info.param ? "Unnamed" : "Named"; });

} // namespace
