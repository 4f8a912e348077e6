// A disk that fills up at each step of a file (the temporary file, the backup, the placing of the
// result) in every output mode: the source and any existing file stay byte for byte, nothing
// half-written is left, the log names the step, and the run goes on. The temporary file is made
// beside the destination, so a file-size limit, or a small private tmpfs (root only), fills it.

#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"
#include "tests/faults/FaultSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace lmvfault;
using lmvtest::ListDir;
using lmvtest::ReadFile;
using lmvtest::WriteFile;

// UTF-16 as the runs write it by default: little-endian after its signature.
std::string Utf16(const std::string& Ascii)
{
    std::string out = "\xFF\xFE";
    for (char c : Ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// Lines of ASCII text, Size bytes in all.
std::string AsciiText(std::size_t Size, char Letter)
{
    std::string line(63, Letter);
    line += '\n';
    std::string text = Repeat(line, Size / 64 + 1);
    text.resize(Size);
    return text;
}

class FullDisk : public TFolderTest {
protected:
    // Limit: the child's file size limit in bytes; -1: none.
    TOutcome Run(std::vector<std::string> Args, long long Limit = -1)
    {
        TLaunch launch;
        launch.Args = std::move(Args);
        launch.TmpDir = Tmp;
        launch.FileSizeLimit = Limit;
        return RunBatch(launch);
    }

    // Each file of the run failed with the error given, or succeeded when none is given.
    void ExpectLog(const TOutcome& Outcome, const std::vector<std::pair<std::string, std::string>>& Files)
    {
        const TRunLog log = CheckedLog(Outcome);
        ASSERT_EQ(log.Files.size(), Files.size()) << Outcome.Describe();
        std::size_t errors = 0;
        for (const auto& [source, error] : Files) {
            ExpectEntry(log, source, error, Outcome);
            errors += error.empty() ? 0 : 1;
        }
        EXPECT_TRUE(log.RunErrors.empty()) << Outcome.Describe();
        EXPECT_EQ(log.Summary, "Completed - " + std::to_string(errors) + " errors, 0 warnings");
        EXPECT_TRUE(Outcome.Exited && Outcome.ExitCode == (errors ? 1 : 0)) << Outcome.Describe();
        // The system's temporary folder is not used at all.
        EXPECT_EQ(ListDir(Tmp), TNames{}) << "temporary files left behind";
    }
};

// ---- The temporary file: a file-size limit below the converted size of the first file.

constexpr long long TempLimit = 16 * 1024;
const std::string Big = AsciiText(20000, 'b'); // 40002 bytes in UTF-16
const std::string Small = "small\n";
const std::string OldContent = "what was there before\n";

// In each output mode: the failed file's source and the file its result would replace stay, the
// next file is converted, and nothing else is made.
TEST_F(FullDisk, TemporaryFileFullInEveryOutputModeLeavesWhatWasThere)
{
    struct TCase {
        std::vector<std::string> Mode;
        std::string Folder; // where the results go
        std::string Old;    // what the first result would replace
        std::string Result; // the second file's result
        TNames Listing;     // of Folder afterwards
    };
    const TCase cases[] = {
        {{"--output-dir", Out}, Out, "big.txt", "small.txt", {"big.txt", "small.txt"}},
        {{"--prefix", "new_"}, Src, "new_big.txt", "new_small.txt", {"big.txt", "new_big.txt", "new_small.txt", "small.txt"}},
        {{"--overwrite"}, Src, "Backup - big.txt", "small.txt",
         {"Backup - big.txt", "Backup - small.txt", "big.txt", "small.txt"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Mode[0]);
        std::filesystem::remove_all(Src);
        std::filesystem::remove_all(Out);
        MakeDir(c.Folder);
        MakeDir(Src);
        WriteFile(Src + "/big.txt", Big);
        WriteFile(Src + "/small.txt", Small);
        WriteFile(c.Folder + "/" + c.Old, OldContent);

        std::vector<std::string> args = c.Mode;
        args.insert(args.end(), {"--answer", "yes", Src + "/big.txt", Src + "/small.txt"});
        const TOutcome outcome = Run(args, TempLimit);

        ExpectLog(outcome, {{Src + "/big.txt", TempWriteError}, {Src + "/small.txt", ""}});
        EXPECT_EQ(ReadFile(Src + "/big.txt"), Big);
        EXPECT_EQ(ReadFile(c.Folder + "/" + c.Old), OldContent);
        EXPECT_EQ(ReadFile(c.Folder + "/" + c.Result), Utf16(Small));
        EXPECT_EQ(ListDir(c.Folder), c.Listing);
    }
    EXPECT_EQ(ReadFile(Src + "/Backup - small.txt"), Small);
}

// A file large enough to be read ahead and written behind on threads of their own, the disk
// full in the middle of its result: the same failure, and nothing of it is left anywhere.
TEST_F(FullDisk, TemporaryFileFullInTheMiddleOfALargeFile)
{
    const std::string big = AsciiText(6 << 20, 'l'); // 12 MiB in UTF-16
    WriteFile(Src + "/large.txt", big);
    WriteFile(Src + "/small.txt", Small);
    MakeDir(Out);
    WriteFile(Out + "/large.txt", OldContent);

    const TOutcome outcome =
        Run({"--output-dir", Out, "--answer", "yes", Src + "/large.txt", Src + "/small.txt"}, 7 << 20);

    ExpectLog(outcome, {{Src + "/large.txt", TempWriteError}, {Src + "/small.txt", ""}});
    EXPECT_TRUE(ReadFile(Src + "/large.txt") == big);
    EXPECT_EQ(ReadFile(Out + "/large.txt"), OldContent);
    EXPECT_EQ(ReadFile(Out + "/small.txt"), Utf16(Small));
    EXPECT_EQ(ListDir(Out), (TNames{"large.txt", "small.txt"}));
}

TEST_F(FullDisk, TemporaryFileFullOnARealDisk)
{
    if (const std::string reason = TSmallDisk::Unavailable(); !reason.empty())
        GTEST_SKIP() << "no private tmpfs: " << reason;
    MakeDir(Out);
    const TSmallDisk disk(Out, 64 * 1024);
    const std::string big = AsciiText(40000, 'c'); // 80002 bytes in UTF-16
    WriteFile(Src + "/big.txt", big);
    WriteFile(Src + "/small.txt", Small);

    const TOutcome outcome = Run({"--output-dir", Out, Src + "/big.txt", Src + "/small.txt"});

    ExpectLog(outcome, {{Src + "/big.txt", TempWriteError}, {Src + "/small.txt", ""}});
    EXPECT_EQ(ReadFile(Src + "/big.txt"), big);
    EXPECT_EQ(ListDir(Out), TNames{"small.txt"});
}

// ---- The backup: a large source whose converted text is small (UTF-16 into UTF-8), with a
// limit between the two sizes.

TEST_F(FullDisk, BackupFullLeavesSourceAndOldBackup)
{
    const std::string big = AsciiText(20000, 'd');
    const std::string bigUtf16 = Utf16(big); // 40002 bytes; 20000 bytes in UTF-8
    WriteFile(Src + "/big1.txt", bigUtf16);
    WriteFile(Src + "/big2.txt", bigUtf16);
    WriteFile(Src + "/Backup - big2.txt", OldContent);
    WriteFile(Src + "/small.txt", Utf16(Small));

    const TOutcome outcome = Run({"--from", "UTF-16", "--to", "UTF-8", "--overwrite", "--answer", "yes",
                                  Src + "/big1.txt", Src + "/big2.txt", Src + "/small.txt"},
                                 24 * 1024);

    ExpectLog(outcome, {{Src + "/big1.txt", BackupError}, {Src + "/big2.txt", BackupError}, {Src + "/small.txt", ""}});
    const TRunLog log = ParseLog(outcome.Out);
    for (const TFileEntry& entry : log.Files) {
        if (entry.Failed) {
            EXPECT_EQ(entry.Notes, TNames{}) << "no backup may be reported: " << entry.Source;
        }
    }
    EXPECT_EQ(ReadFile(Src + "/big1.txt"), bigUtf16);
    EXPECT_EQ(ReadFile(Src + "/big2.txt"), bigUtf16);
    EXPECT_EQ(ReadFile(Src + "/Backup - big2.txt"), OldContent);
    EXPECT_EQ(ReadFile(Src + "/small.txt"), Small);
    EXPECT_EQ(ReadFile(Src + "/Backup - small.txt"), Utf16(Small));
    EXPECT_EQ(ListDir(Src), (TNames{"Backup - big2.txt", "Backup - small.txt", "big1.txt", "big2.txt", "small.txt"}));
}

// ---- The destination's disk: 64 KiB (16 pages) where the destination goes. The temporary file
// fills it before anything is placed.

class FullDiskAtDestination : public FullDisk {
protected:
    void SetUp() override
    {
        FullDisk::SetUp();
        if (const std::string reason = TSmallDisk::Unavailable(); !reason.empty())
            GTEST_SKIP() << "no private tmpfs: " << reason;
        Disk = std::make_unique<TSmallDisk>(Small64, 64 * 1024);
    }
    void TearDown() override { Disk.reset(); }

    const std::string Small64 = Root / "disk";
    std::unique_ptr<TSmallDisk> Disk;
};

// The temporary file fills the disk before anything is placed, in each mode: the file it would
// replace and the sources stay, and the next file still fits.
TEST_F(FullDiskAtDestination, EveryOutputModeLeavesWhatWasThere)
{
    struct TCase {
        std::vector<std::string> Mode;
        bool SourcesOnDisk;
        std::size_t Size;   // of a.txt, whose result does not fit
        std::string Old;    // what that result would replace; empty: nothing
        std::size_t OldSize;
        TNames Listing;     // of the disk afterwards
    };
    const std::vector<TCase> cases = {
        // Besides, b.txt converts to 20 pages: never fits.
        {{"--output-dir", Small64}, false, 20000, "a.txt", 32 * 1024, {"a.txt", "c.txt"}},
        {{"--prefix", "new_"}, true, 20000, "new_a.txt", 16 * 1024, {"a.txt", "c.txt", "new_a.txt", "new_c.txt"}},
        {{"--overwrite", "--no-backup"}, true, 28000, "", 0, {"a.txt", "c.txt"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Mode[0]);
        for (const std::string& name : ListDir(Small64))
            std::filesystem::remove_all(Small64 + "/" + name);
        const std::string from = c.SourcesOnDisk ? Small64 : Src;
        const std::string a = AsciiText(c.Size, 'a');
        const std::string old = AsciiText(c.OldSize, 'o');
        WriteFile(from + "/a.txt", a);
        WriteFile(from + "/c.txt", Small);
        if (!c.Old.empty())
            WriteFile(Small64 + "/" + c.Old, old);
        std::vector<std::string> args = c.Mode;
        args.insert(args.end(), {"--answer", "yes", from + "/a.txt"});
        std::vector<std::pair<std::string, std::string>> expected = {{from + "/a.txt", TempWriteError}};
        if (!c.SourcesOnDisk) {
            WriteFile(from + "/b.txt", AsciiText(40000, 'b'));
            args.push_back(from + "/b.txt");
            expected.push_back({from + "/b.txt", TempWriteError});
        }
        args.push_back(from + "/c.txt");
        expected.push_back({from + "/c.txt", ""});

        ExpectLog(Run(args), expected);
        EXPECT_EQ(ReadFile(from + "/a.txt"), a);
        if (!c.Old.empty()) {
            EXPECT_EQ(ReadFile(Small64 + "/" + c.Old), old);
        }
        const std::string result = c.Mode[0] == "--prefix" ? "new_c.txt" : "c.txt";
        EXPECT_EQ(ReadFile(Small64 + "/" + result), Utf16(Small));
        EXPECT_EQ(ListDir(Small64), c.Listing);
    }
}

// The converted text fits, its backup then does not: the backup fails, the source stays.
TEST_F(FullDiskAtDestination, OverwriteModeWithABackupThatDoesNotFitLeavesSource)
{
    const std::string a = AsciiText(16 * 1024, 'a'); // 4 pages, 9 converted, its backup 4 more
    WriteFile(Small64 + "/a.txt", a);
    WriteFile(Small64 + "/c.txt", Small);

    const TOutcome outcome = Run({"--overwrite", Small64 + "/a.txt", Small64 + "/c.txt"});

    ExpectLog(outcome, {{Small64 + "/a.txt", BackupError}, {Small64 + "/c.txt", ""}});
    const TRunLog log = ParseLog(outcome.Out);
    if (const TFileEntry* entry = FindEntry(log, Small64 + "/a.txt")) {
        EXPECT_EQ(entry->Notes, TNames{});
    }
    EXPECT_EQ(ReadFile(Small64 + "/a.txt"), a);
    EXPECT_EQ(ReadFile(Small64 + "/c.txt"), Utf16(Small));
    EXPECT_EQ(ReadFile(Small64 + "/Backup - c.txt"), Small);
    EXPECT_EQ(ListDir(Small64), (TNames{"Backup - c.txt", "a.txt", "c.txt"}));
}

} // namespace
