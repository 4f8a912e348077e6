// lumiva-batch run as a separate process.

#include "tests/common/BatchTestBase.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"
#include "tests/common/TreeSnapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using lmvtest::Exists;
using lmvtest::ReadFile;
using lmvtest::TProcessOutcome;
using lmvtest::WriteFile;

const std::string& Text = lmvtest::HelloUtf8;
const std::string& Utf16Le = lmvtest::HelloUtf16Le;

class BatchTwinTest : public lmvtest::TBatchTest {
protected:
    std::string Out(const std::string& Name = {}) const { return Dir / ("out/" + Name); }

    static std::string FileLog(const std::string& Src, const std::string& Dest, const std::string& Outcome)
    {
        return Entry(Src, Dest, Outcome + "\r\n");
    }
    static int Lines(const std::string& Text) { return static_cast<int>(std::count(Text.begin(), Text.end(), '\n')); }
};

TEST_F(BatchTwinTest, CleanRunPrintsTheLogWithCrLfAndExitsZero)
{
    const std::string A = Source("a.txt"), B = Source("b.txt");
    const TProcessOutcome R = Run({"--to", "utf-16", "--utf16", "3", "--output-dir", Out(), A, B});
    EXPECT_EQ(R.Status, 0);
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(R.Out, "Created output directory: " + Out() + "\r\n" + FileLog(A, Out("a.txt"), "... Succeeded") +
                         FileLog(B, Out("b.txt"), "... Succeeded") + "Completed - 0 errors, 0 warnings\r\n");
    EXPECT_EQ(ReadFile(Out("a.txt")), Utf16Le);
    EXPECT_EQ(ReadFile(Out("b.txt")), Utf16Le);
}

TEST_F(BatchTwinTest, DefaultsConvertUtf8ToUtf16IntoTheDesktopFolder)
{
    const std::string A = Source("a.txt", "hi");
    const TProcessOutcome R = Run({A});
    EXPECT_EQ(R.Status, 0) << R.Out << R.Err;
    // UTF-16 as the library writes it: a byte order mark and two 16-bit units.
    const std::string Output = ReadFile(Dir / "Desktop/LMV Output/a.txt");
    EXPECT_EQ(Output.size(), 6u);
}

TEST_F(BatchTwinTest, PrefixAndOverwriteModes)
{
    const std::string A = Source("a.txt");
    TProcessOutcome R = Run({"--to", "UTF-16", "--utf16", "3", "--prefix", "new_", A});
    EXPECT_EQ(R.Status, 0) << R.Out;
    EXPECT_EQ(ReadFile(Dir / "new_a.txt"), Utf16Le);

    R = Run({"--to", "UTF-16", "--utf16", "3", "--overwrite", A});
    EXPECT_EQ(R.Status, 0) << R.Out;
    EXPECT_EQ(ReadFile(A), Utf16Le);
    EXPECT_EQ(ReadFile(Dir / "Backup - a.txt"), Text);

    const std::string B = Source("b.txt");
    R = Run({"--to", "UTF-16", "--utf16", "3", "--overwrite", "--no-backup", B});
    EXPECT_EQ(R.Status, 0) << R.Out;
    EXPECT_EQ(ReadFile(B), Utf16Le);
    EXPECT_FALSE(Exists(Dir / "Backup - b.txt"));
}

TEST_F(BatchTwinTest, FileErrorsExitOne)
{
    const std::string A = Source("a.txt", "ok"), B = Source("b.txt", "bad \xFF");
    const TProcessOutcome R = Run({"--output-dir", Out(), A, B, Dir / "missing.txt"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_NE(R.Out.find(FileLog(B, Out("b.txt"), "[Error] Cannot convert character encoding") +
                         "\t- Invalid byte sequence at line 1, column 5 (offset 4)\r\n... Failed\r\n"),
              std::string::npos)
        << R.Out;
    EXPECT_NE(R.Out.find("[Error] Cannot open source file\r\n"), std::string::npos) << R.Out;
    EXPECT_TRUE(R.Out.ends_with("Completed - 2 errors, 0 warnings\r\n"));
    EXPECT_TRUE(Exists(Out("a.txt")));
}

TEST_F(BatchTwinTest, OverwriteQuestionsTakeTheAnswerOption)
{
    const std::string A = Source("a.txt"), B = Source("b.txt");
    ::mkdir(Out().c_str(), 0700);
    WriteFile(Out("a.txt"), "old");
    WriteFile(Out("b.txt"), "old");
    const std::vector<std::string> Common{"--utf16", "3", "--output-dir", Out(), A, B};
    const auto With = [&](std::vector<std::string> Extra) {
        Extra.insert(Extra.end(), Common.begin(), Common.end());
        return Extra;
    };

    TProcessOutcome R = Run(Common); // default: No
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Out.ends_with("Completed - 2 errors, 0 warnings\r\n")) << R.Out;
    EXPECT_EQ(ReadFile(Out("a.txt")), "old");

    R = Run(With({"--answer", "cancel"})); // Cancel, then the abort question gets Yes
    EXPECT_EQ(R.Status, 2);
    EXPECT_TRUE(R.Out.ends_with("Stopped - 1 errors, 0 warnings\r\n")) << R.Out;
    EXPECT_EQ(R.Out.find("b.txt"), std::string::npos) << "the second file is not reached";

    R = Run(With({"--answer", "yes"}));
    EXPECT_EQ(R.Status, 0) << R.Out;
    EXPECT_EQ(ReadFile(Out("a.txt")), Utf16Le);
    EXPECT_EQ(ReadFile(Out("b.txt")), Utf16Le);
}

TEST_F(BatchTwinTest, PreparationFailureExitsTwo)
{
    WriteFile(Dir / "blocker", "");
    const TProcessOutcome R = Run({"--output-dir", Dir / "blocker/out", Source("a.txt")});
    EXPECT_EQ(R.Status, 2);
    EXPECT_EQ(R.Out, "[Error] Cannot create output directory: " + (Dir / "blocker/out") +
                         "\r\nCanceled - 1 errors, 0 warnings\r\n");
}

// How the lines of a list are taken is the fault tests' (ChangingInput); a list that cannot be
// read starts no run.
TEST_F(BatchTwinTest, AListFileThatIsMissingOrAFolderStartsNoRun)
{
    for (const std::string& List : {Dir / "nolist.txt", Dir.Path()}) {
        const TProcessOutcome R = Run({"--output-dir", Out(), "--list", List});
        EXPECT_EQ(R.Status, 3) << List;
        EXPECT_EQ(Lines(R.Err), 1) << R.Err;
        EXPECT_NE(R.Err.find(List), std::string::npos) << R.Err;
        EXPECT_EQ(R.Out, "");
    }
    EXPECT_FALSE(Exists(Out()));
}

TEST_F(BatchTwinTest, BadUsageIsOneLineAndSixtyFour)
{
    const std::string A = Source("a.txt");
    const std::vector<std::pair<std::vector<std::string>, std::string>> Cases{
        {{"--to", "NO-SUCH-ENCODING", A}, "Select an item in the list"},
        {{"--from", "UTF-16//IGNORE", A}, "Select an item in the list"},
        {{"--buffer-size", "0", A}, "--buffer-size: Set a number from 1 to 2147483647"},
        {{"--output-dir", "", A}, "--output-dir: Set text"},
        {{"--prefix", "a:b", A}, "Delete invalid file characters"},
        {{"--backup-prefix", "", A}, "Set text"},
        {{"--utf16", "2", A}, "--utf16: \"2\" is not one of the values allowed: 0, 1, 3, 4. (see --help)"},
        {{"--bogus", A}, "unknown option --bogus"},
    };
    for (const auto& [Args, Message] : Cases) {
        const TProcessOutcome R = Run(Args);
        EXPECT_EQ(R.Status, 64) << Message;
        EXPECT_EQ(Lines(R.Err), 1) << R.Err;
        EXPECT_NE(R.Err.find(Message), std::string::npos) << R.Err;
        EXPECT_EQ(R.Out, "");
    }
    EXPECT_FALSE(Exists(Dir / "Desktop"));
}

// --check: the same run with the same options, read through and logged, nothing written. The
// default output folder on the desktop and an existing backup are left alone (every output mode
// is the run's business: ConvertThreadCheckTest).
TEST_F(BatchTwinTest, CheckLogsEachFileWritesNothingAndExitsAsTheRunWould)
{
    const std::string A = Source("a.txt"), B = Source("b.txt", "ok\n\xE2\x82");
    WriteFile(Dir / "Backup - a.txt", "old");
    const auto Before = lmvtest::TreeSnapshot(Dir.Path());
    for (const std::vector<std::string>& Mode : std::vector<std::vector<std::string>>{
             {}, {"--overwrite", "--answer", "yes-to-all"}}) {
        std::vector<std::string> Args{"--check", "--to", "ISO-8859-1"};
        Args.insert(Args.end(), Mode.begin(), Mode.end());
        std::vector<std::string> CleanArgs = Args;
        CleanArgs.push_back(A);
        const TProcessOutcome Clean = Run(CleanArgs);
        EXPECT_EQ(Clean.Status, 0) << Clean.Out;
        EXPECT_EQ(Clean.Out, "Check character encoding:\r\n\t- Source file: " + A +
                                 "\r\n... OK\r\nCompleted - 0 errors, 0 warnings\r\n");
        Args.push_back(B);
        const TProcessOutcome Failed = Run(Args);
        EXPECT_EQ(Failed.Status, 1);
        EXPECT_EQ(Failed.Out, "Check character encoding:\r\n\t- Source file: " + B +
                                  "\r\n[Error] Cannot convert character encoding\r\n"
                                  "\t- Incomplete character at the end of the file (offset 3)\r\n"
                                  "... Failed\r\nCompleted - 1 errors, 0 warnings\r\n");
        EXPECT_EQ(Failed.Err, "");
        EXPECT_EQ(lmvtest::TreeSnapshot(Dir.Path()), Before);
    }
}

TEST_F(BatchTwinTest, HelpGoesToStandardOutput)
{
    const TProcessOutcome R = Run({"--help"});
    EXPECT_EQ(R.Status, 0);
    EXPECT_TRUE(R.Out.starts_with("Usage: lumiva-batch [OPTIONS] FILE...\n")) << R.Out;
    EXPECT_EQ(R.Err, "");
}

TEST_F(BatchTwinTest, MissingConversionLibraryExitsThree)
{
    const std::string Copy = Dir / "lumiva-batch";
    std::filesystem::copy_file(Program, Copy);
    ::chmod(Copy.c_str(), 0755);
    const TProcessOutcome R = lmvtest::RunProcess({Copy, Source("a.txt")}, Env());
    EXPECT_EQ(R.Status, 3);
    EXPECT_EQ(R.Err, "lumiva-batch: Cannot initialize \"liblumiva-iconv.so\"\n");
    EXPECT_EQ(R.Out, "");
}

// The library beside the program is the one loaded, whatever the search path holds: an impostor
// earlier on the path is not taken, and the library found only on the path is not either.
TEST_F(BatchTwinTest, TheConversionLibraryComesFromTheProgramsOwnFolder)
{
    const std::string Impostors = Dir / "impostors";
    std::filesystem::create_directory(Impostors);
    std::filesystem::copy_file(lmvtest::BinDir() + "/liblumiva-iconv-nolist.so", Impostors + "/liblumiva-iconv.so");
    const std::string A = Source("a.txt");
    std::vector<std::string> Env = lmvtest::Environment({"HOME", "XDG_CONFIG_HOME", "LD_LIBRARY_PATH"},
                                                        {"HOME=" + Dir.Path(), "LD_LIBRARY_PATH=" + Impostors});
    TProcessOutcome R = lmvtest::RunProcess({Program, "--utf16", "3", "--output-dir", Out(), A}, Env);
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(ReadFile(Out("a.txt")), Utf16Le);

    const std::string Copy = Dir / "lumiva-batch";
    std::filesystem::copy_file(Program, Copy);
    Env = lmvtest::Environment({"HOME", "XDG_CONFIG_HOME", "LD_LIBRARY_PATH"},
                               {"HOME=" + Dir.Path(), "LD_LIBRARY_PATH=" + lmvtest::BinDir()});
    R = lmvtest::RunProcess({Copy, A}, Env);
    EXPECT_EQ(R.Status, 3);
    EXPECT_EQ(R.Err, "lumiva-batch: Cannot initialize \"liblumiva-iconv.so\"\n");
}

// Listing every name makes the C library load all its converter modules; a run needs only its own.
// The dynamic loader's trace shows which modules were mapped.
TEST_F(BatchTwinTest, ARunLoadsOnlyTheConverterModulesItUses)
{
    const std::string Trace = Dir / "trace";
    std::filesystem::create_directory(Trace);
    const std::vector<std::string> Env = lmvtest::Environment(
        {"HOME", "XDG_CONFIG_HOME", "LD_DEBUG", "LD_DEBUG_OUTPUT"},
        {"HOME=" + Dir.Path(), "LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + Trace + "/ld"});
    const TProcessOutcome R =
        lmvtest::RunProcess({Program, "--to", "koi8-r", "--output-dir", Out(), Source("a.txt", "Hello\n")}, Env);
    ASSERT_EQ(R.Status, 0) << R.Err;
    std::set<std::string> Modules;
    for (const std::string& Name : lmvtest::ListDir(Trace)) {
        const std::string Log = ReadFile(Trace + "/" + Name);
        for (std::size_t At = Log.find("/gconv/"); At != std::string::npos; At = Log.find("/gconv/", At + 1)) {
            const std::size_t End = Log.find(".so", At);
            if (End != std::string::npos)
                Modules.insert(Log.substr(At + 7, End + 3 - At - 7));
        }
    }
    EXPECT_EQ(Modules, (std::set<std::string>{"KOI8-R.so"}));
}

// With standard error on a terminal a large file shows one line of progress, redrawn in place and
// erased before the log comes; in a pipe standard error stays empty. The log is the same either way.
TEST_F(BatchTwinTest, ProgressLineOnlyOnATerminal)
{
    const std::string Big = Source("big.txt", std::string(5 << 20, 'a'));
    const std::vector<std::string> Args{"--output-dir", Out(), Big};
    const TProcessOutcome Piped = Run(Args);
    std::filesystem::remove_all(Out());
    const TProcessOutcome Shown = Run(Args, {.ErrorOnTerminal = true});

    EXPECT_EQ(Piped.Status, 0);
    EXPECT_EQ(Piped.Err, "");
    EXPECT_EQ(Shown.Status, 0);
    EXPECT_EQ(Shown.Out, Piped.Out);
    // The first read, half the default buffer, is drawn at once.
    EXPECT_TRUE(Shown.Err.starts_with("\r0 of 1 files, 32.0 KiB read")) << Shown.Err;
    EXPECT_EQ(Shown.Err.find('\n'), std::string::npos);
    ASSERT_TRUE(Shown.Err.ends_with("\r"));
    const std::size_t Erase = Shown.Err.rfind('\r', Shown.Err.size() - 2);
    const std::string Blank = Shown.Err.substr(Erase + 1, Shown.Err.size() - Erase - 2);
    EXPECT_EQ(Blank, std::string(Blank.size(), ' '));
    EXPECT_GE(Blank.size(), Shown.Err.find('\r', 1) - 1) << "the erasure covers at least the first line";
}

// Ctrl+C before the run starts: taken at the end of the preparation, the run is canceled.
TEST_F(BatchTwinTest, InterruptCancelsTheRun)
{
    const std::string A = Source("a.txt");
    // The program starts with the Ctrl+C already waiting.
    const TProcessOutcome R = Run({"--output-dir", Out(), A}, {.PendingInterrupt = true});
    EXPECT_EQ(R.Status, 2) << R.Out << R.Err;
    EXPECT_EQ(R.Out, "Created output directory: " + Out() + "\r\nCanceled - 0 errors, 0 warnings\r\n");
    EXPECT_EQ(R.Err, "");
    EXPECT_FALSE(Exists(Out("a.txt")));
}

} // namespace
