// Names that point at things that are no plain file, names too long for the destination or the
// backup, a destination folder that cannot take files, and a source that shrinks while it is read:
// each fails its file with the step's own message, nothing hangs, nothing half-made stays.

#include "tests/common/Sanitizers.h"
#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"
#include "tests/faults/FaultSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace lmvfault;
using lmvtest::Exists;
using lmvtest::ListDir;
using lmvtest::ReadFile;
using lmvtest::WriteFile;

const std::string Text = "plain text\n";
const std::string Utf16Text = "\xFF\xFE" + Iconv("UTF-8", "UTF-16LE", Text).value();

using OddTargets = TFolderTest;

TEST_F(OddTargets, SourcesThatAreNoPlainFileFailWithoutHanging)
{
    ASSERT_EQ(::mkfifo((Src + "/pipe.txt").c_str(), 0644), 0);
    WriteFile(Src + "/a.txt", Text);
    const TOutcome outcome = Run({"--output-dir", Out, Src + "/pipe.txt", "/dev/null", "/dev/zero", Src + "/a.txt"});

    const TRunLog log = CheckedLog(outcome);
    for (const std::string& odd : {Src + "/pipe.txt", std::string("/dev/null"), std::string("/dev/zero")})
        ExpectEntry(log, odd, OpenError, outcome);
    ExpectEntry(log, Src + "/a.txt", "", outcome);
    EXPECT_EQ(ListDir(Out), TNames{"a.txt"});
    EXPECT_EQ(ListDir(Tmp), TNames{});
}

TEST_F(OddTargets, DestinationThatIsAPipeOrAFolderStaysAsItIs)
{
    WriteFile(Src + "/pipe.txt", Text);
    WriteFile(Src + "/folder.txt", Text);
    MakeDir(Out + "/folder.txt");
    ASSERT_EQ(::mkfifo((Out + "/pipe.txt").c_str(), 0644), 0);
    const TOutcome outcome =
        Run({"--output-dir", Out, "--answer", "yes-to-all", Src + "/pipe.txt", Src + "/folder.txt"});

    const TRunLog log = CheckedLog(outcome);
    ExpectEntry(log, Src + "/pipe.txt", CopyError, outcome);
    ExpectEntry(log, Src + "/folder.txt", CopyError, outcome);
    struct stat info {};
    ASSERT_EQ(::lstat((Out + "/pipe.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(ListDir(Out + "/folder.txt"), TNames{});
    EXPECT_EQ(ListDir(Out), (TNames{"folder.txt", "pipe.txt"}));
    EXPECT_EQ(ListDir(Tmp), TNames{});
}

// A source name that fits, which the prefix makes too long for the file system (255 bytes).
TEST_F(OddTargets, DestinationOrBackupNameTooLongFailsAndLeavesNothing)
{
    const std::string name = std::string(250, 'n') + ".txt"; // 254 bytes
    WriteFile(Src + "/" + name, Text);

    const TOutcome prefixed = Run({"--prefix", "new_", Src + "/" + name});
    ExpectEntry(CheckedLog(prefixed), Src + "/" + name, CopyError, prefixed);
    const TOutcome backedUp = Run({"--overwrite", "--backup-prefix", "bak_", Src + "/" + name});
    ExpectEntry(CheckedLog(backedUp), Src + "/" + name, BackupError, backedUp);

    EXPECT_EQ(ReadFile(Src + "/" + name), Text);
    EXPECT_EQ(ListDir(Src), TNames{name});
    EXPECT_EQ(ListDir(Tmp), TNames{});
}

// The temporary file lives beside its destination: the system's temporary folder plays no part.
TEST_F(OddTargets, TheSystemsTemporaryFolderIsNotUsed)
{
    WriteFile(Root / "plain", "a file\n");
    for (const std::string& tmp : {Root / "missing", Root / "plain", std::string(5000, '/')}) {
        SCOPED_TRACE(tmp.substr(0, 60));
        WriteFile(Src + "/a.txt", Text);
        const TOutcome outcome = Run({"--overwrite", "--no-backup", Src + "/a.txt"}, {}, tmp);
        ExpectEntry(CheckedLog(outcome), Src + "/a.txt", "", outcome);
        EXPECT_EQ(ReadFile(Src + "/a.txt"), Utf16Text);
        EXPECT_EQ(ListDir(Src), TNames{"a.txt"});
    }
    EXPECT_EQ(ReadFile(Root / "plain"), "a file\n");
}

// A destination folder that takes no files (a read-only file system): no temporary file can be
// made there. A missing source is still reported as such.
TEST_F(OddTargets, ADestinationFolderThatTakesNoFilesFailsEveryFile)
{
    if (const std::string reason = TSmallDisk::Unavailable(); !reason.empty())
        GTEST_SKIP() << "no private tmpfs: " << reason;
    MakeDir(Out);
    const TSmallDisk disk(Out, 64 * 1024);
    WriteFile(Out + "/a.txt", "old");
    ASSERT_EQ(::mount(nullptr, Out.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0) << std::strerror(errno);
    WriteFile(Src + "/a.txt", Text);
    WriteFile(Src + "/b.txt", Text);

    const TOutcome outcome = Run({"--output-dir", Out, "--answer", "yes", Src + "/a.txt", Src + "/missing.txt",
                                 Src + "/b.txt"});
    const TRunLog log = CheckedLog(outcome);
    ExpectEntry(log, Src + "/a.txt", "Cannot create temporary file", outcome);
    ExpectEntry(log, Src + "/missing.txt", OpenError, outcome);
    ExpectEntry(log, Src + "/b.txt", "Cannot create temporary file", outcome);
    EXPECT_EQ(ReadFile(Out + "/a.txt"), "old");
    EXPECT_EQ(ListDir(Out), TNames{"a.txt"});
}

// Buffers larger than the memory the process may have: the run stops at that file with "Out of
// memory" (no per-file failure), its temporary file removed, the source untouched.
TEST_F(OddTargets, BuffersBeyondTheMemoryLimitStopTheRunCleanly)
{
    if (lmvtest::UnderAddressSanitizer)
        GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit under an address-space limit";
    WriteFile(Src + "/a.txt", Text);
    WriteFile(Src + "/b.txt", Text);
    TLaunch launch;
    launch.Args = {"--overwrite", "--buffer-size", "2147483647", Src + "/a.txt", Src + "/b.txt"};
    launch.TmpDir = Tmp;
    launch.MemoryLimit = 1LL << 30;
    const TOutcome outcome = RunBatch(launch);

    // The file's block ends without an outcome: the error belongs to the run.
    EXPECT_EQ(outcome.Out, "Convert character encoding:\r\n\t- Source file: " + Src + "/a.txt\r\n"
                           "\t- Destination file: " + Src + "/a.txt\r\n[Error] Out of memory\r\n"
                           "Stopped - 1 errors, 0 warnings\r\n");
    EXPECT_EQ(outcome.ExitCode, 2) << outcome.Describe();
    EXPECT_EQ(ReadFile(Src + "/a.txt"), Text);
    EXPECT_EQ(ListDir(Src), (TNames{"a.txt", "b.txt"}));
}

// The source is cut to half its size as soon as the first converted bytes reach the temporary
// file, while the run still reads it: the file fails at the read and leaves no destination. A
// very fast machine may finish reading first; the result must then be the whole conversion.
TEST_F(OddTargets, SourceShrinkingWhileReadFailsTheFile)
{
    const std::string source = Src + "/shrinking.txt";
    const std::string big = Repeat(std::string(63, 's') + "\n", 1 << 20); // 64 MiB
    WriteFile(source, big);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    // The temporary file is made in the output folder.
    MakeDir(Out);
    ASSERT_GE(::inotify_add_watch(watch, Out.c_str(), IN_MODIFY), 0);

    TLaunch launch;
    launch.Args = {"--output-dir", Out, source};
    launch.TmpDir = Tmp;
    TBatchProcess process(launch);
    pollfd event{watch, POLLIN, 0};
    const bool written = ::poll(&event, 1, 60000) == 1;
    ::truncate(source.c_str(), static_cast<off_t>(big.size() / 2));
    ::close(watch);
    const TOutcome outcome = process.Finish();
    ASSERT_TRUE(written) << outcome.Describe();

    const TRunLog log = CheckedLog(outcome);
    ASSERT_EQ(log.Files.size(), 1u);
    const TFileEntry& entry = log.Files[0];
    if (entry.Failed) {
        EXPECT_EQ(entry.Errors, TNames{"Cannot read from source file"});
        EXPECT_FALSE(Exists(Out + "/shrinking.txt"));
    } else {
        std::cout << "[ INFO     ] the source was read whole before it shrank\n";
        EXPECT_EQ(std::filesystem::file_size(Out + "/shrinking.txt"), 2 * big.size() + 2);
    }
    EXPECT_EQ(ListDir(Tmp), TNames{});
}

} // namespace
