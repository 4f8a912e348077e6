// lumiva-batch as a filter: standard input to standard output, -o, --stdout, and the usage
// errors of the options that go with them.

#include "tests/common/BatchTestBase.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using lmvtest::Exists;
using lmvtest::ReadFile;
using lmvtest::TProcessOutcome;
using lmvtest::WriteFile;

const std::string Latin1Cafe = "caf\xE9\n";
const std::string Utf8Cafe = "caf\xC3\xA9\n";

class BatchFilterTest : public lmvtest::TBatchTest {
protected:
    // Runs Script with sh, "$P" being lumiva-batch, in Dir.
    TProcessOutcome Shell(const std::string& Script) const
    {
        return lmvtest::RunProcess({"/bin/sh", "-c", "cd \"$1\" && P=\"$2\" && " + Script, "sh", Dir.Path(), Program},
                                   Env());
    }
};

TEST_F(BatchFilterTest, StandardInputGoesToStandardOutputFromAFileOrAPipe)
{
    const std::string In = Source("in.txt", Latin1Cafe);
    for (const std::vector<std::string>& Args : std::vector<std::vector<std::string>>{
             {"-f", "latin1", "-t", "utf-8"}, {"--from=ISO-8859-1", "--to", "UTF-8", "-"}, {"-flatin1", "-tutf-8"}}) {
        const TProcessOutcome R = Run(Args, {.Input = In});
        EXPECT_EQ(R.Status, 0) << R.Err;
        EXPECT_EQ(R.Out, Utf8Cafe);
        EXPECT_EQ(R.Err, "");
    }
    const TProcessOutcome Piped = Shell("printf 'caf\\351\\n' | \"$P\" -f latin1 -t utf-8");
    EXPECT_EQ(Piped.Status, 0) << Piped.Err;
    EXPECT_EQ(Piped.Out, Utf8Cafe);
    // A reader that stops early ends the filter quietly, as it ends any filter.
    const TProcessOutcome Head = Shell("yes | head -c 1000000 | \"$P\" -t UTF-16LE | head -c 10 | wc -c");
    EXPECT_EQ(Head.Out, "10\n");
    EXPECT_EQ(Head.Err, "");
    // No log, no output folder: a filter leaves nothing behind.
    EXPECT_FALSE(Exists(Dir / "Desktop"));
}

// The error names where the conversion stopped, in the text and in bytes, whether the input can
// be read again (a file) or not (a pipe, where the position is counted as the text goes by).
TEST_F(BatchFilterTest, AConversionErrorIsOneLineWithItsPositionAndStatusOne)
{
    const std::string Text = "ab\ncd\xFF" "ef\n";
    const std::string In = Source("in.txt", Text);
    const std::string Expected = "lumiva-batch: invalid byte sequence at line 2, column 3 (offset 5)\n";
    const TProcessOutcome FromFile = Run({"-f", "utf-8", "-t", "latin1"}, {.Input = In});
    EXPECT_EQ(FromFile.Status, 1);
    EXPECT_EQ(FromFile.Err, Expected);
    EXPECT_EQ(FromFile.Out, "ab\ncd");
    for (const char* Buffer : {"65536", "4"}) {
        const TProcessOutcome Piped =
            Shell(std::string("cat in.txt | \"$P\" -f utf-8 -t latin1 --buffer-size ") + Buffer);
        EXPECT_EQ(Piped.Status, 1) << Buffer;
        EXPECT_EQ(Piped.Err, Expected) << Buffer;
        EXPECT_EQ(Piped.Out, "ab\ncd") << Buffer;
    }
    // Far into a pipe, past many buffers, the count still holds.
    const TProcessOutcome Far = Shell("{ yes 'abc' | head -n 100000; printf 'x\\377'; } | \"$P\" -f utf-8 -t latin1 "
                                      "--buffer-size 1000 > /dev/null");
    EXPECT_EQ(Far.Err, "lumiva-batch: invalid byte sequence at line 100001, column 2 (offset 400001)\n");
    const TProcessOutcome Unwritable = Shell("printf 'a\\342\\202\\254' | \"$P\" -t latin1 > /dev/null");
    EXPECT_EQ(Unwritable.Status, 1);
    EXPECT_EQ(Unwritable.Err,
              "lumiva-batch: character U+20AC cannot be written in latin1, at line 1, column 2 (offset 1)\n");
}

// Fixed memory: the peak of a filter over 16 MiB and over 256 MiB from a pipe is the same, also
// while the pipe's text is counted for the position of a failure.
TEST_F(BatchFilterTest, AFilterKeepsItsMemoryWhateverTheInputSize)
{
    const std::string Probe = R"PY(
import resource, subprocess, sys
size = int(sys.argv[2])
feed = subprocess.Popen(['yes', 'caf\xe9 au lait'], stdout=subprocess.PIPE)
tr = subprocess.Popen(['head', '-c', str(size)], stdin=feed.stdout, stdout=subprocess.PIPE)
run = subprocess.run([sys.argv[1], '-f', 'latin1', '-t', 'utf-16le'], stdin=tr.stdout, stdout=subprocess.DEVNULL)
print(run.returncode, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
)PY";
    std::vector<long> Peaks;
    for (const char* Size : {"16777216", "268435456"}) {
        const TProcessOutcome R = lmvtest::RunProcess({"/usr/bin/python3", "-c", Probe, Program, Size}, Env());
        ASSERT_EQ(R.Out.substr(0, 2), "0 ") << R.Out << R.Err;
        Peaks.push_back(std::stol(R.Out.substr(2)));
    }
    EXPECT_LT(Peaks[1], Peaks[0] + 4096) << Peaks[0] << " KiB, then " << Peaks[1] << " KiB";
}

TEST_F(BatchFilterTest, WithoutOperandOnATerminalItPrintsTheUsageInsteadOfWaiting)
{
    const TProcessOutcome R = Run({"-t", "utf-8"}, {.InputOnTerminal = true});
    EXPECT_EQ(R.Status, 64);
    EXPECT_TRUE(R.Err.starts_with("Usage: lumiva-batch")) << R.Err;
    EXPECT_EQ(R.Out, "");
}

// -o: the result lands only when the conversion succeeded; a failure leaves the file as it was.
TEST_F(BatchFilterTest, OutputFileIsReplacedOnlyBySuccess)
{
    const std::string Good = Source("good.txt", Latin1Cafe), Bad = Source("bad.txt", "ok\xFF");
    const std::string Target = Source("target.txt", "old");
    ::chmod(Target.c_str(), 0640);
    TProcessOutcome R = Run({"-f", "utf-8", "-t", "utf-16le", "-o", Target, Bad});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Err, "lumiva-batch: " + Bad + ": invalid byte sequence at line 1, column 3 (offset 2)\n");
    EXPECT_EQ(ReadFile(Target), "old");
    R = Run({"-f", "latin1", "-t", "utf-8", "--output", Target}, {.Input = Good});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(ReadFile(Target), Utf8Cafe);
    struct stat Info {};
    ASSERT_EQ(::stat(Target.c_str(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 0777, 0640u) << "the replaced file's permissions stay";
    R = Run({"-f", "latin1", "-t", "utf-8", "-o", Dir / "new.txt", Good});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(ReadFile(Dir / "new.txt"), Utf8Cafe);
    EXPECT_EQ(R.Out, "");
    // A folder where the file should be is refused, and left alone.
    std::filesystem::create_directory(Dir / "folder");
    R = Run({"-f", "latin1", "-t", "utf-8", "-o", Dir / "folder", Good});
    EXPECT_EQ(R.Status, 1);
    EXPECT_NE(R.Err.find("Cannot create the output file"), std::string::npos) << R.Err;
}

// Several files: into the output folder as the window would, or with --stdout one after another.
TEST_F(BatchFilterTest, StdoutWritesSeveralFilesInTurnAndGoesOnAfterAFailure)
{
    const std::string A = Source("a.txt", "one\n"), B = Source("b.txt", "t\xFFo\n"), C = Source("c.txt", "three\n");
    const TProcessOutcome R = Run({"-f", "utf-8", "-t", "latin1", "--stdout", A, B, Dir / "missing.txt", C});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Out, "one\ntthree\n");
    EXPECT_EQ(R.Err, "lumiva-batch: " + B + ": invalid byte sequence at line 1, column 2 (offset 1)\n"
                     "lumiva-batch: " + Dir / "missing.txt" + ": cannot open source file\n");
    const TProcessOutcome Batch = Run({"-f", "utf-8", "-t", "latin1", "--output-dir", Dir / "out", A, C});
    EXPECT_EQ(Batch.Status, 0);
    EXPECT_EQ(ReadFile(Dir / "out/c.txt"), "three\n");
}

// Auto-detection in a filter: the first 64 KiB tell the encoding, from a pipe (kept and converted
// before the rest, in any buffer size) as from a file; a failure past them still names its place.
TEST_F(BatchFilterTest, AutoDetectTellsAStreamFromItsFirstBytes)
{
    std::string Text, Expected;
    for (int i = 0; i < 1300; ++i) {
        Text += lmvtest::Russian1251;
        Expected += lmvtest::RussianUtf8;
    }
    ASSERT_GT(Text.size(), 65536u);
    const std::string In = Source("ru.txt", Text);
    for (const char* Buffer : {"1024", "1048576"}) {
        const TProcessOutcome Piped = Shell(std::string("cat ru.txt | \"$P\" --buffer-size ") + Buffer +
                                            " --from auto -t utf-8");
        EXPECT_EQ(Piped.Status, 0) << Piped.Err;
        EXPECT_TRUE(Piped.Out == Expected) << Buffer << ": " << Piped.Out.size() << " bytes";
    }
    const TProcessOutcome Redirected = Run({"-f", "auto", "-t", "utf-8"}, {.Input = In});
    EXPECT_EQ(Redirected.Status, 0) << Redirected.Err;
    EXPECT_TRUE(Redirected.Out == Expected);

    const std::string Where = "invalid byte sequence at line 1301, column 3 (offset " + std::to_string(Text.size() + 2) + ")";
    Source("bad.txt", Text + "ab\x98" "c\n");
    const TProcessOutcome PipedBad = Shell("cat bad.txt | \"$P\" --from auto -t utf-8 >/dev/null");
    EXPECT_EQ(PipedBad.Status, 1);
    EXPECT_EQ(PipedBad.Err, "lumiva-batch: " + Where + "\n");
    const TProcessOutcome FileBad = Run({"-f", "auto", "-t", "utf-8", "-o", Dir / "out.txt", Dir / "bad.txt"});
    EXPECT_EQ(FileBad.Err, "lumiva-batch: " + Dir / "bad.txt" + ": " + Where + "\n");
    EXPECT_FALSE(Exists(Dir / "out.txt"));

    const TProcessOutcome Unknown = Shell("printf '\\001\\002\\003\\000\\377\\376\\000' | \"$P\" -f auto -t utf-8");
    EXPECT_EQ(Unknown.Status, 1);
    EXPECT_EQ(Unknown.Err, "lumiva-batch: cannot detect character encoding\n");
    EXPECT_EQ(Unknown.Out, "");
}

// A check of a stream reads it through the conversion and writes nothing; the report has one
// line per input, standard input and output named "-".
TEST_F(BatchFilterTest, CheckAndReportWorkOnStreams)
{
    const std::string Good = Source("good.txt", Latin1Cafe), Bad = Source("bad.txt", "ok\xFF");
    TProcessOutcome R = Run({"--check", "-f", "utf-8", "-t", "latin1"}, {.Input = Bad});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err, "lumiva-batch: invalid byte sequence at line 1, column 3 (offset 2)\n");
    R = Run({"--check", "-f", "latin1", "-t", "utf-8", "-o", Dir / "x", Good});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Out, "");
    EXPECT_FALSE(Exists(Dir / "x"));

    R = Run({"-f", "latin1", "-t", "utf-8", "--report", Dir / "r1"}, {.Input = Good});
    EXPECT_EQ(R.Out, Utf8Cafe);
    EXPECT_EQ(ReadFile(Dir / "r1"), "{\"source\":\"-\",\"destination\":\"-\",\"encoding\":\"latin1\",\"result\":\"ok\","
                                    "\"bytes_read\":5,\"bytes_written\":6}\n");
    R = Run({"-f", "utf-8", "-t", "latin1", "--stdout", "--report", Dir / "r2", Dir / "x.txt", Bad});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(ReadFile(Dir / "r2"),
              "{\"source\":\"" + Dir / "x.txt" + "\",\"destination\":\"-\",\"encoding\":\"utf-8\",\"result\":\"failed\","
              "\"error\":\"Cannot open source file\",\"bytes_read\":0,\"bytes_written\":0}\n"
              "{\"source\":\"" + Bad + "\",\"destination\":\"-\",\"encoding\":\"utf-8\",\"result\":\"failed\","
              "\"error\":\"Cannot convert character encoding: Invalid byte sequence at line 1, column 3 (offset 2)\","
              "\"line\":1,\"column\":3,\"offset\":2,\"bytes_read\":3,\"bytes_written\":2}\n");
    R = Run({"-f", "auto", "-t", "utf-8", "-o", Dir / "o.txt", "--report", Dir / "r3"}, {.Input = Source("ru.txt", lmvtest::Russian1251)});
    EXPECT_EQ(R.Status, 0) << R.Err;
    const std::string Detected = ReadFile(Dir / "r3");
    EXPECT_TRUE(Detected.starts_with("{\"source\":\"-\",\"destination\":\"" + Dir / "o.txt" +
                                     "\",\"encoding\":\"WINDOWS-1251\",\"guesses\":[{\"name\":\"WINDOWS-1251\","))
        << Detected;
}

TEST_F(BatchFilterTest, TranslationFromShortOptionsAndSuffixes)
{
    const std::string In = Source("in.txt", "x\xE2\x82\xAC!\n");
    EXPECT_EQ(Run({"-t", "latin1//TRANSLIT"}, {.Input = In}).Out, "xEUR!\n");
    EXPECT_EQ(Run({"-t", "latin1//IGNORE"}, {.Input = In}).Out, "x!\n");
    EXPECT_EQ(Run({"-c", "-t", "latin1"}, {.Input = In}).Out, "x!\n");
    EXPECT_EQ(Run({"-ct", "latin1"}, {.Input = In}).Status, 64) << "-t takes a value: not a flag to run together";
    EXPECT_EQ(Run({"-t", "latin1"}, {.Input = In}).Status, 1);
}

// Each new option's bad input names the option and ends with 64, before anything is read.
TEST_F(BatchFilterTest, BadInputToTheNewOptionsNamesTheOptionAndExitsSixtyFour)
{
    const std::string A = Source("a.txt"), B = Source("b.txt");
    const std::vector<std::pair<std::vector<std::string>, std::string>> Cases{
        {{"-o", A, B, A}, "--output: takes the result of one FILE or of standard input"},
        {{"-o", "", A}, "-o: Set a file name"},
        {{"-o", Dir / "x", "--stdout", A}, "--output: not with --stdout"},
        {{"--files-from", "", A}, "--files-from: Set text"},
        {{"-0", A}, "--null: only with --files-from"},
        {{"--report", ""}, "--report: Set text"},
        {{"--report", Dir / "r.jsonl", "-o", Dir / "x", A, B}, "--output: takes the result of one FILE"},
        {{"--report", "-"}, "--report -: standard output carries the converted text; name a file"},
        {{"--report", "-", "-"}, "--report -: standard output carries the converted text"},
        {{"--report=-", "--stdout", A, B}, "--report -: standard output carries the converted text"},
        {{"--jobs", "x", A}, "--jobs: Set a number from 0 to 256"},
        {{"--jobs", "257", A}, "--jobs: Set a number from 0 to 256"},
        {{"--jobs", "-1", A}, "--jobs: Set a number from 0 to 256"},
        {{"-t", "UTF-8//BOGUS", A}, "-t: \"//BOGUS\" is not one of the suffixes allowed"},
        {{"-", A}, "-: standard input can only be the one FILE"},
        {{"--quiet=1", A}, "--quiet: takes no value"},
        {{"-x", A}, "unknown option -x"},
        {{"-f"}, "-f: missing value"},
    };
    for (const auto& [Args, Message] : Cases) {
        const TProcessOutcome R = Run(Args);
        EXPECT_EQ(R.Status, 64) << Message << R.Err;
        EXPECT_EQ(R.Err.find("lumiva-batch: " + Message), 0u) << R.Err;
        EXPECT_EQ(R.Out, "");
    }
    EXPECT_FALSE(Exists(Dir / "x"));
    EXPECT_FALSE(Exists(Dir / "r.jsonl"));
}

// The buffer size is taken as the window's box takes it, and the largest size is named.
TEST_F(BatchFilterTest, BufferSizeTakesDecimalDigitsAndNamesItsLimits)
{
    const std::string A = Source("a.txt");
    for (const char* Text : {"99999999999999", "2147483648", " 5", "0x10", "+5", "0"}) {
        const TProcessOutcome R = Run({"--buffer-size", Text, A});
        EXPECT_EQ(R.Status, 64) << Text;
        EXPECT_EQ(R.Err, "lumiva-batch: --buffer-size: Set a number from 1 to 2147483647. (see --help)\n") << Text;
    }
    EXPECT_EQ(Run({"--buffer-size", "0016", "-t", "utf-8"}, {.Input = A}).Out, lmvtest::HelloUtf8);
}

// A log that cannot be written is no clean run; a stopped run keeps its own status.
TEST_F(BatchFilterTest, ALogThatCannotBeWrittenEndsWithStatusOne)
{
    const std::string A = Source("a.txt");
    TProcessOutcome R = Shell("\"$P\" --output-dir out a.txt > /dev/full; echo \"status $?\" >&2");
    EXPECT_NE(R.Err.find("lumiva-batch: Cannot write the log to standard output.\nstatus 1\n"), std::string::npos)
        << R.Err;
    R = Shell("\"$P\" --output-dir out --answer cancel a.txt > /dev/full; echo \"status $?\" >&2");
    EXPECT_NE(R.Err.find("status 2\n"), std::string::npos) << R.Err;
    R = Shell("\"$P\" --output-dir out a.txt >&-; echo \"status $?\" >&2");
    EXPECT_NE(R.Err.find("status 1\n"), std::string::npos) << R.Err;
}

} // namespace
