// What the run meets when its input is not what the list promised: names that are gone or are
// folders, an output folder that vanishes, one file named twice, and list files with odd lines.

#include "tests/common/BatchTestBase.h"
#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"
#include "tests/faults/FaultSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

using namespace lmvfault;
using lmvtest::Exists;
using lmvtest::ListDir;
using lmvtest::ReadFile;
using lmvtest::WriteFile;

const std::string& Text = lmvtest::HelloUtf8;
const std::string& Utf16Text = lmvtest::HelloUtf16Le;

class ChangingInput : public TFolderTest {
protected:
    // Nothing in the system's temporary folder, no hidden file beside sources or results.
    void ExpectNoTemporaryFiles()
    {
        EXPECT_EQ(ListDir(Tmp), TNames{}) << "temporary files left behind";
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Root.Path()))
            EXPECT_NE(entry.path().filename().string().rfind(".lmv", 0), 0u) << "left behind: " << entry.path();
    }
};

// ---- Sources that are gone or became folders after the list was made.

TEST_F(ChangingInput, ListedSourcesThatAreMissingFailListedFoldersExpandAndTheRunGoesOn)
{
    for (const char* mode : {"--output-dir", "--prefix", "--overwrite"}) {
        SCOPED_TRACE(mode);
        const std::string dir = Root / (std::string("case") + (mode + 2));
        MakeDir(dir + "/folder.txt");
        WriteFile(dir + "/a.txt", Text);
        WriteFile(dir + "/b.txt", Text);
        WriteFile(dir + "/list.txt", "a.txt\nmissing.txt\nfolder.txt\nb.txt\n");
        std::vector<std::string> args{mode};
        if (std::string(mode) == "--output-dir")
            args.push_back(dir + "/out");
        if (std::string(mode) == "--prefix")
            args.push_back("new_");
        args.insert(args.end(), {"--list", dir + "/list.txt"});

        const TOutcome outcome = Run(args, dir);

        const TRunLog log = CheckedLog(outcome);
        // The empty folder stands for no file at all.
        ASSERT_EQ(log.Files.size(), 3u) << outcome.Describe();
        ExpectEntry(log, dir + "/a.txt", "", outcome);
        ExpectEntry(log, dir + "/missing.txt", OpenError, outcome);
        ExpectEntry(log, dir + "/b.txt", "", outcome);
        EXPECT_EQ(log.Summary, "Completed - 1 errors, 0 warnings");
        EXPECT_EQ(outcome.ExitCode, 1) << outcome.Describe();
        EXPECT_TRUE(std::filesystem::is_directory(dir + "/folder.txt"));
        EXPECT_EQ(ListDir(dir + "/folder.txt"), TNames{});
        EXPECT_FALSE(Exists(dir + "/missing.txt"));
        ExpectNoTemporaryFiles();
    }
    EXPECT_EQ(ListDir(Root / "caseoutput-dir/out"), (TNames{"a.txt", "b.txt"}));
    EXPECT_EQ(ListDir(Root / "caseprefix"), (TNames{"a.txt", "b.txt", "folder.txt", "list.txt", "new_a.txt", "new_b.txt"}));
    EXPECT_EQ(ListDir(Root / "caseoverwrite"),
              (TNames{"Backup - a.txt", "Backup - b.txt", "a.txt", "b.txt", "folder.txt", "list.txt"}));
    EXPECT_EQ(ReadFile(Root / "caseoverwrite/a.txt"), Utf16Text);
    EXPECT_EQ(ReadFile(Root / "caseoverwrite/Backup - a.txt"), Text);
}

// ---- The output folder.

// The folder is moved away while the run writes into it (as soon as the first result lands):
// every file then either succeeded, and its complete result is in the moved folder, or failed
// at the copy and left nothing anywhere.
TEST_F(ChangingInput, OutputDirectoryVanishingMidRunFailsTheLaterFilesCleanly)
{
    constexpr int Count = 300;
    std::vector<std::string> args{"--output-dir", Out};
    MakeDir(Out);
    for (int i = 0; i < Count; ++i) {
        const std::string name = Src + "/f" + std::to_string(1000 + i) + ".txt";
        WriteFile(name, Text);
        args.push_back(name);
    }
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, Out.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);

    TLaunch launch;
    launch.Args = args;
    launch.TmpDir = Tmp;
    TBatchProcess process(launch);
    pollfd event{watch, POLLIN, 0};
    const bool landed = ::poll(&event, 1, 60000) == 1;
    const std::string moved = Root / "moved";
    std::filesystem::rename(Out, moved);
    ::close(watch);
    const TOutcome outcome = process.Finish();
    ASSERT_TRUE(landed) << "no result ever landed\n" << outcome.Describe();

    const TRunLog log = CheckedLog(outcome);
    ASSERT_EQ(log.Files.size(), static_cast<std::size_t>(Count));
    int failed = 0;
    int partials = 0;
    for (const TFileEntry& entry : log.Files) {
        const std::string name = entry.Source.substr(entry.Source.rfind('/') + 1);
        EXPECT_EQ(ReadFile(entry.Source), Text);
        if (entry.Succeeded) {
            EXPECT_EQ(entry.Errors, TNames{});
            EXPECT_EQ(ReadFile(moved + "/" + name), Utf16Text) << name;
        } else {
            ++failed;
            EXPECT_EQ(entry.Errors, TNames{CopyError}) << name;
            EXPECT_FALSE(Exists(moved + "/" + name)) << name;
        }
    }
    for (const std::string& name : ListDir(moved)) {
        if (name.rfind(".lmv", 0) == 0)
            ++partials;
    }
    EXPECT_FALSE(Exists(Out)) << "the output folder came back";
    EXPECT_EQ(log.Summary, "Completed - " + std::to_string(failed) + " errors, 0 warnings");
    EXPECT_EQ(outcome.ExitCode, failed ? 1 : 0) << outcome.Describe();
    ExpectNoTemporaryFiles();
    std::cout << "[ INFO     ] " << Count - failed << " files placed before the folder moved, " << failed
              << " failed after; " << partials << " unfinished copies left in the moved folder\n";
    RecordProperty("FailedAfterMove", failed);
    RecordProperty("UnfinishedCopiesLeft", partials);
}

// ---- One file named twice in overwrite mode: the second pass reads the converted text.

// UTF-8 into UTF-16 with its signature: the signature is no UTF-8, so the second pass fails and
// changes nothing; the first result and the backup of the original stay. Sound.
TEST_F(ChangingInput, SameFileTwiceFailsOnTheSecondPass)
{
    WriteFile(Src + "/a.txt", Text);
    WriteFile(Src + "/list.txt", "a.txt\n" + Src + "/a.txt\n");

    const TOutcome outcome = Run({"--overwrite", "--answer", "yes", "--list", Src + "/list.txt"}, Src);

    const TRunLog log = CheckedLog(outcome);
    ASSERT_EQ(log.Files.size(), 2u);
    EXPECT_TRUE(log.Files[0].Succeeded);
    EXPECT_EQ(log.Files[1].Errors, TNames{"Source file already converted in this run: " + Src + "/a.txt"});
    EXPECT_EQ(log.Files[1].Notes, TNames{}) << "no second backup";
    EXPECT_EQ(ReadFile(Src + "/a.txt"), Utf16Text);
    EXPECT_EQ(ReadFile(Src + "/Backup - a.txt"), Text);
    ExpectNoTemporaryFiles();
}

// Into UTF-16 big-endian without a signature, ASCII text becomes valid UTF-8 again (NUL bytes):
// a second pass over the same file would convert the converted text and, where the existing
// backup may be overwritten, put it into the backup, losing the original. The second naming of a
// file already replaced in the run fails instead, under any name.
TEST_F(ChangingInput, SameFileTwiceIsNotConvertedTwiceEvenWhenTheResultIsValidInputAgain)
{
    const std::string original = "hi\n";
    const std::string once = lmvtest::Bytes({0, 'h', 0, 'i', 0, '\n'});
    WriteFile(Src + "/keep.txt", original);
    std::filesystem::create_symlink("keep.txt", Src + "/link.txt");

    const TOutcome outcome =
        Run({"--overwrite", "--utf16", "1", "--answer", "yes", "keep.txt", "./keep.txt", "link.txt"}, Src);
    const TRunLog log = CheckedLog(outcome);
    ASSERT_EQ(log.Files.size(), 3u);
    EXPECT_TRUE(log.Files[0].Succeeded);
    EXPECT_EQ(log.Files[1].Errors, TNames{"Source file already converted in this run: " + Src + "/keep.txt"});
    EXPECT_EQ(log.Files[2].Errors, TNames{"Source file already converted in this run: " + Src + "/link.txt"});
    EXPECT_EQ(outcome.ExitCode, 1);
    EXPECT_EQ(ReadFile(Src + "/keep.txt"), once);
    EXPECT_EQ(ReadFile(Src + "/Backup - keep.txt"), original);
    ExpectNoTemporaryFiles();
}

// ---- List files with odd lines.

TEST_F(ChangingInput, ListFileLinesAreTakenAsTheyStand)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt"})
        WriteFile(Src + "/" + name, Text);
    const std::string longName(PATH_MAX + 100, 'x');
    std::string list = "a.txt\r\n\r\n   \r\nb.txt\rc.txt\n\n\r\r";
    list += longName + "\n";
    list += "a.txt \n";            // not trimmed: another name
    list += "d.txt\r\r\ne.txt";    // a bare CR, then CR LF; no line break at the end
    list += std::string(1, '\0') + "\nf.txt\n"; // a NUL ends the list after its line
    WriteFile(Src + "/list.txt", list);

    const TOutcome outcome = Run({"--output-dir", Out, "--list", "list.txt"}, Src);

    const TRunLog log = CheckedLog(outcome);
    TNames sources;
    for (const TFileEntry& entry : log.Files)
        sources.push_back(entry.Source);
    EXPECT_EQ(sources, (TNames{Src + "/a.txt", Src + "/   ", Src + "/b.txt", Src + "/c.txt", Src + "/" + longName,
                               Src + "/a.txt ", Src + "/d.txt", Src + "/e.txt\\x00"}));
    if (log.Files.size() == 8) {
        for (std::size_t i : {0, 2, 3, 6})
            EXPECT_TRUE(log.Files[i].Succeeded) << log.Files[i].Source;
        for (std::size_t i : {1, 4, 5, 7})
            EXPECT_EQ(log.Files[i].Errors, TNames{OpenError}) << log.Files[i].Source.substr(0, 80);
        EXPECT_EQ(log.Files[4].Destination, Out + "/" + longName);
    }
    EXPECT_EQ(log.Summary, "Completed - 4 errors, 0 warnings");
    EXPECT_EQ(ListDir(Out), (TNames{"a.txt", "b.txt", "c.txt", "d.txt"}));
    ExpectNoTemporaryFiles();
}

} // namespace
