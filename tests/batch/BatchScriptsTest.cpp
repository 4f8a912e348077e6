// lumiva-batch in scripts: names from find -print0, a report a script reads, a quiet log,
// several jobs, a relative output folder, and the xargs form of a very large tree.

#include "tests/common/BatchTestBase.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using lmvtest::Exists;
using lmvtest::ReadFile;
using lmvtest::TProcessOutcome;
using lmvtest::WriteFile;

class BatchScriptsTest : public lmvtest::TBatchTest {
protected:
    // Runs Script with sh in Dir, "$P" being lumiva-batch.
    TProcessOutcome Shell(const std::string& Script) const
    {
        return lmvtest::RunProcess({"/bin/sh", "-c", "cd \"$1\" && P=\"$2\" && " + Script, "sh", Dir.Path(), Program},
                                   Env());
    }
    // Files src/f000.txt ... with a line naming each.
    std::vector<std::string> Tree(int Count) const
    {
        std::vector<std::string> Names;
        for (int i = 0; i < Count; ++i) {
            char Name[32];
            std::snprintf(Name, sizeof Name, "src/d%d/f%03d.txt", i % 3, i);
            Names.push_back(Source(Name, std::string("caf\xC3\xA9 ") + Name + "\n"));
        }
        return Names;
    }
};

// Names that hold a new line or a space arrive whole with -0, from a file or standard input.
TEST_F(BatchScriptsTest, FilesFromTakesLinesOrNulSeparatedNamesAlsoFromStandardInput)
{
    const std::string A = Source("a b.txt"), B = Source("new\nline.txt");
    WriteFile(Dir / "names0", A + std::string(1, '\0') + B + std::string(1, '\0'));
    WriteFile(Dir / "names", A + "\n\n");
    TProcessOutcome R = Run({"--files-from", Dir / "names0", "-0", "--output-dir", Dir / "out", "-t", "UTF-8"});
    EXPECT_EQ(R.Status, 0) << R.Out << R.Err;
    EXPECT_TRUE(Exists(Dir / "out/a b.txt"));
    EXPECT_TRUE(Exists(Dir / "out/new\nline.txt"));
    R = Run({"--files-from", "-", "--null", "--output-dir", Dir / "out2", "-t", "UTF-8"}, {.Input = Dir / "names0"});
    EXPECT_EQ(R.Status, 0) << R.Out << R.Err;
    EXPECT_TRUE(Exists(Dir / "out2/new\nline.txt"));
    R = Run({"--files-from", Dir / "names", "--output-dir", Dir / "out3", "-t", "UTF-8"});
    EXPECT_EQ(R.Status, 0) << R.Out << R.Err;
    EXPECT_EQ(lmvtest::ListDir(Dir / "out3"), std::vector<std::string>{"a b.txt"});
    R = Run({"--files-from", Dir / "missing"});
    EXPECT_EQ(R.Status, 3);
    EXPECT_EQ(R.Err, "lumiva-batch: Cannot open file \"" + Dir / "missing" + "\"\n");
}

// The window needs an absolute folder; on the command line a relative one counts from here.
TEST_F(BatchScriptsTest, RelativeOutputDirIsTakenFromTheCurrentDirectory)
{
    Source("a.txt");
    const TProcessOutcome R = Shell("\"$P\" --output-dir out/x -t UTF-8 a.txt");
    EXPECT_EQ(R.Status, 0) << R.Out << R.Err;
    EXPECT_EQ(ReadFile(Dir / "out/x/a.txt"), lmvtest::HelloUtf8);
    EXPECT_NE(R.Out.find("Created output directory: " + Dir / "out/x\r\n"), std::string::npos) << R.Out;
}

// Python's json module reads every line; a name that is not UTF-8 comes back byte for byte.
TEST_F(BatchScriptsTest, ReportIsJsonLinesThatGiveEveryNameBackByteForByte)
{
    Source("ok.txt", "caf\xC3\xA9\n");
    Source("bad\xE9name.txt", "ab\ncd\xFF\n");
    Source("same.txt", "d\xC3\xA9j\xC3\xA0 vu\n");
    Source("unsure.txt", "\x01\x02");
    const std::string Script = R"PY(
import json, os, sys
for line in open(sys.argv[1], encoding='utf-8'):
    r = json.loads(line)
    name = os.fsencode(r['source'])
    assert os.path.exists(name), name
    guesses = r.get('guesses', [])
    assert all(isinstance(g['name'], str) and 0 <= g['score'] <= 1 for g in guesses), guesses
    assert [g['score'] for g in guesses] == sorted((g['score'] for g in guesses), reverse=True), guesses
    print(os.path.basename(name).decode('latin-1'), r['result'], r.get('line'), r.get('column'), r.get('offset'),
          r['bytes_read'], r['bytes_written'], r['encoding'])
)PY";
    TProcessOutcome R = lmvtest::RunProcess({"/bin/sh", "-c",
                             "cd \"$1\" && \"$2\" -t UTF-16LE --output-dir out --report r.jsonl ok.txt "
                             "\"$(printf 'bad\\351name.txt')\"; echo \"status $?\"; python3 -c \"$3\" r.jsonl",
                             "sh", Dir.Path(), Program, Script},
                            Env());
    EXPECT_EQ(R.Out.substr(R.Out.find("status")), "status 1\n"
                                                  "ok.txt ok None None None 6 10 UTF-8\n"
                                                  "bad\xC3\xA9name.txt failed 2 3 5 7 0 UTF-8\n")
        << R.Out << R.Err;
    // Detecting: the encoding found and the readings weighed; a file over itself that would not
    // change is "already"; one that cannot be told is "refused".
    R = lmvtest::RunProcess({"/bin/sh", "-c",
                             "cd \"$1\" && \"$2\" --from auto -t UTF-8 --overwrite --no-backup --report r.jsonl "
                             "same.txt unsure.txt > /dev/null; python3 -c \"$3\" r.jsonl",
                             "sh", Dir.Path(), Program, Script},
                            Env());
    EXPECT_EQ(R.Out, "same.txt already None None None 10 0 UTF-8\n"
                     "unsure.txt refused None None None 0 0 None\n")
        << R.Out << R.Err;
}

// "--report -" gives a script the report on standard output and people the log on standard
// error; with -o the converted text is in the file, so standard output is free for the report.
TEST_F(BatchScriptsTest, ReportDashGoesToStandardOutputAndTheLogToStandardError)
{
    const std::string A = Source("a.txt", "caf\xC3\xA9\n"), B = Source("b.txt", "x\xFF");
    const std::string Script = R"PY(
import json, sys
for line in sys.stdin:
    r = json.loads(line)
    print(r['source'].rsplit('/', 1)[1], r['result'], r['bytes_written'])
)PY";
    for (const char* Jobs : {"1", "2"}) {
        const TProcessOutcome R = lmvtest::RunProcess(
            {"/bin/sh", "-c",
             "cd \"$1\" && \"$2\" --jobs \"$4\" -t UTF-16LE --output-dir out$4 --report - a.txt b.txt 2> log | "
             "python3 -c \"$3\"; cat log",
             "sh", Dir.Path(), Program, Script, Jobs},
            Env());
        EXPECT_EQ(R.Out, "a.txt ok 10\n"
                         "b.txt failed 0\n"
                         "Created output directory: " + Dir / (std::string("out") + Jobs) + "\r\n" +
                             Entry(A, Dir / (std::string("out") + Jobs + "/a.txt"), "... Succeeded\r\n") +
                             Entry(B, Dir / (std::string("out") + Jobs + "/b.txt"),
                                   "[Error] Cannot convert character encoding\r\n"
                                   "\t- Invalid byte sequence at line 1, column 2 (offset 1)\r\n... Failed\r\n") +
                             "Completed - 1 errors, 0 warnings\r\n")
            << Jobs << R.Err;
    }
    const TProcessOutcome R = Run({"-t", "UTF-16LE", "-o", Dir / "o.txt", "--report", "-", A});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Out, "{\"source\":\"" + A + "\",\"destination\":\"" + Dir / "o.txt" +
                         "\",\"encoding\":\"UTF-8\",\"result\":\"ok\",\"bytes_read\":6,\"bytes_written\":10}\n");
    EXPECT_FALSE(Exists(Dir / "-"));
}

// A report that does not arrive makes the run's status say so, as a lost log does.
TEST_F(BatchScriptsTest, AReportThatCannotBeWrittenIsNoCleanRun)
{
    const std::string A = Source("a.txt");
    TProcessOutcome R = Run({"--report", "/dev/full", "--output-dir", Dir / "out", A});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Err, "lumiva-batch: Cannot write the report file \"/dev/full\".\n");
    EXPECT_TRUE(Exists(Dir / "out/a.txt"));
    R = Run({"--report", Dir / "no/such/folder/r.jsonl", "--output-dir", Dir / "out2", A});
    EXPECT_EQ(R.Status, 3);
    EXPECT_FALSE(Exists(Dir / "out2"));
}

TEST_F(BatchScriptsTest, QuietLogsOnlyTheFailedFilesAndTheSummary)
{
    const std::string A = Source("a.txt"), B = Source("b.txt", "x\xFF"), C = Source("c.txt");
    const TProcessOutcome R = Run({"--quiet", "-t", "UTF-8", "--output-dir", Dir / "out", A, B, C});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Out, Entry(B, Dir / "out/b.txt",
                           "[Error] Cannot convert character encoding\r\n"
                           "\t- Invalid byte sequence at line 1, column 2 (offset 1)\r\n... Failed\r\n") +
                         "Completed - 1 errors, 0 warnings\r\n");
}

// More jobs give the same log, the same report and the same results, in the files' order.
TEST_F(BatchScriptsTest, JobsKeepTheLogAndTheReportInFileOrder)
{
    std::vector<std::string> Names = Tree(40);
    Names[17] = Source("src/bad.txt", "x\xFF");
    Names[33] = Source("src/exists.txt", "y\n");
    WriteFile(Dir / "list", "");
    std::string List;
    for (const std::string& Name : Names)
        List += Name + "\n";
    WriteFile(Dir / "list", List);
    std::vector<TProcessOutcome> Runs;
    std::vector<std::string> Reports;
    for (const char* Jobs : {"1", "3", "0"}) {
        const std::string Out = Dir / (std::string("out") + Jobs);
        std::filesystem::create_directories(Out);
        WriteFile(Out + "/exists.txt", "old");
        Runs.push_back(Run({"--jobs", Jobs, "-t", "UTF-16LE", "--output-dir", Out, "--answer", "no", "--files-from",
                            Dir / "list", "--report", Dir / "report"}));
        Reports.push_back(ReadFile(Dir / "report"));
        std::string Log = Runs.back().Out;
        for (std::size_t At; (At = Log.find(Out)) != std::string::npos;)
            Log.replace(At, Out.size(), "OUT");
        Runs.back().Out = Log;
        for (std::size_t At; (At = Reports.back().find(Out)) != std::string::npos;)
            Reports.back().replace(At, Out.size(), "OUT");
        EXPECT_EQ(ReadFile(Out + "/f039.txt").size(), 2 * std::string("caf\xC3\xA9 src/d0/f039.txt\n").size() - 2);
    }
    EXPECT_EQ(Runs[0].Status, 1);
    EXPECT_NE(Runs[0].Out.find("Completed - 2 errors, 0 warnings\r\n"), std::string::npos) << Runs[0].Out;
    for (std::size_t i = 1; i < Runs.size(); ++i) {
        EXPECT_EQ(Runs[i].Status, Runs[0].Status);
        EXPECT_EQ(Runs[i].Out, Runs[0].Out);
        EXPECT_EQ(Reports[i], Reports[0]);
    }
    EXPECT_EQ(std::count(Reports[0].begin(), Reports[0].end(), '\n'), 40);
}

// Detecting, a file that cannot be opened or is skipped has nothing weighed in the report, where
// it had the guesses of whichever file its job had weighed before: the report is the same for
// any number of jobs.
TEST_F(BatchScriptsTest, DetectedFilesReportTheSameGuessesWhateverTheJobs)
{
    std::string List;
    for (int i = 0; i < 30; ++i) {
        const std::string Name = "f" + std::to_string(i) + ".txt";
        if (i % 4 == 3)
            List += Dir / ("missing" + std::to_string(i) + ".txt") + "\n";
        else if (i % 2 == 0)
            List += Source(Name, "\xcf\xf0\xe8\xe2\xe5\xf2, \xea\xe0\xea \xe4\xe5\xeb\xe0? \xd5\xee\xf0\xee\xf8\xee.\n") + "\n";
        else
            List += Source(Name, "D\xe9j\xe0 vu, \xe7" "a va tr\xe8s bien, merci.\n") + "\n";
    }
    WriteFile(Dir / "list", List);
    std::vector<std::string> Reports;
    for (const char* Jobs : {"1", "2", "3"}) {
        const std::string Out = Dir / (std::string("out") + Jobs);
        Run({"--jobs", Jobs, "--from", "auto", "-t", "UTF-8", "--output-dir", Out, "--files-from", Dir / "list",
             "--report", Dir / "report"});
        std::string Report = ReadFile(Dir / "report");
        for (std::size_t At; (At = Report.find(Out)) != std::string::npos;)
            Report.replace(At, Out.size(), "OUT");
        Reports.push_back(Report);
    }
    EXPECT_EQ(Reports[1], Reports[0]);
    EXPECT_EQ(Reports[2], Reports[0]);
    const std::size_t Missing = Reports[0].find("missing3.txt");
    ASSERT_NE(Missing, std::string::npos) << Reports[0];
    const std::string Line = Reports[0].substr(Missing, Reports[0].find('\n', Missing) - Missing);
    EXPECT_EQ(Line.find("guesses"), std::string::npos) << Line;
    EXPECT_NE(Reports[0].find("\"guesses\":["), std::string::npos) << Reports[0];
}

// A file named twice is converted once whichever jobs its two names go to; the second is refused
// as with one job (a file converted twice would hold UTF-16 of its UTF-16).
TEST_F(BatchScriptsTest, AFileNamedTwiceIsConvertedOnceWhateverTheJobs)
{
    const std::vector<std::string> Names = Tree(30);
    std::vector<std::string> Args{"--jobs", "2",         "-t",     "UTF-16LE",   "--overwrite",
                                  "--no-backup", "--report", Dir / "report", Dir / "src"};
    Args.insert(Args.end(), Names.begin(), Names.end());
    const TProcessOutcome R = Run(Args);
    EXPECT_EQ(R.Status, 1);
    std::size_t Refusals = 0;
    for (std::size_t At = 0; (At = R.Out.find("Source file already converted in this run", At)) != std::string::npos;
         ++At)
        ++Refusals;
    EXPECT_EQ(Refusals, 30u) << R.Out;
    const std::string Report = ReadFile(Dir / "report");
    EXPECT_EQ(std::count(Report.begin(), Report.end(), '\n'), 60);
    for (const std::string& Name : Names) {
        const std::string Text = ReadFile(Name);
        const std::string Line = Name.substr(Dir.Path().size() + 1);
        EXPECT_EQ(Text.size(), 2 * std::string("caf\xC3\xA9 " + Line + "\n").size() - 2) << Name;
        EXPECT_EQ(Text.substr(0, 8), std::string("c\0a\0f\0\xE9\0", 8)) << Name;
    }
}

// Two sources with one name write to one result in the output folder: the later one meets the
// overwrite question once the earlier is in place, as with one job, even when it is done first.
TEST_F(BatchScriptsTest, FilesWithOneResultMeetTheOverwriteQuestionInFileOrder)
{
    std::vector<std::string> Args{"-t", "UTF-16LE", "--answer", "no", "--report", Dir / "report"};
    for (int i = 0; i < 20; ++i) {
        const std::string Name = "f" + std::to_string(i) + ".txt";
        // The first of each pair takes longer, so that a second job would finish the other first.
        Args.push_back(Source("big/" + Name, std::string(std::size_t{1} << 18, 'a') + "\n"));
        Args.push_back(Source("small/" + Name, "b\n"));
    }
    std::vector<TProcessOutcome> Runs;
    std::vector<std::string> Reports;
    for (const char* Jobs : {"1", "2"}) {
        const std::string Out = Dir / (std::string("out") + Jobs);
        std::vector<std::string> Line{"--jobs", Jobs, "--output-dir", Out};
        Line.insert(Line.end(), Args.begin(), Args.end());
        Runs.push_back(Run(Line));
        Reports.push_back(ReadFile(Dir / "report"));
        for (std::string* Text : {&Runs.back().Out, &Reports.back()})
            for (std::size_t At; (At = Text->find(Out)) != std::string::npos;)
                Text->replace(At, Out.size(), "OUT");
        EXPECT_EQ(ReadFile(Out + "/f7.txt").size(), 2 * ((std::size_t{1} << 18) + 1)) << Jobs;
    }
    EXPECT_EQ(Runs[0].Status, 1);
    EXPECT_NE(Runs[0].Out.find("Completed - 20 errors, 0 warnings"), std::string::npos) << Runs[0].Out;
    EXPECT_EQ(Runs[1].Out, Runs[0].Out);
    EXPECT_EQ(Reports[1], Reports[0]);
}

// The progress line counts the files and bytes of every job, not those of one.
TEST_F(BatchScriptsTest, TheProgressLineSumsTheJobs)
{
    const std::string A = Source("a.txt", std::string(5 << 20, 'a')), B = Source("b.txt", std::string(5 << 20, 'b'));
    const TProcessOutcome R = Run({"--jobs", "2", "--output-dir", Dir / "out", A, B}, {.ErrorOnTerminal = true});
    EXPECT_EQ(R.Status, 0);
    EXPECT_TRUE(R.Err.starts_with("\r0 of 2 files, 32.0 KiB read")) << R.Err;
}

// A Ctrl+C stops every job: the run is stopped before any file, and says so.
TEST_F(BatchScriptsTest, ACtrlCBeforeTheStartStopsEveryJob)
{
    const std::vector<std::string> Names = Tree(6);
    std::vector<std::string> Args{"--jobs", "3", "--output-dir", Dir / "out"};
    Args.insert(Args.end(), Names.begin(), Names.end());
    const TProcessOutcome R = Run(Args, {.PendingInterrupt = true});
    EXPECT_EQ(R.Status, 2);
    EXPECT_EQ(R.Out, "Created output directory: " + Dir / "out" + "\r\nCanceled - 0 errors, 0 warnings\r\n");
    EXPECT_TRUE(lmvtest::ListDir(Dir / "out").empty());
}

// The README's form for very large trees, run here: every file converted exactly once (a file
// converted twice would hold UTF-16 of its UTF-16), and the merged report names each once.
TEST_F(BatchScriptsTest, TheXargsFormConvertsEveryFileExactlyOnce)
{
    const std::vector<std::string> Names = Tree(95);
    const TProcessOutcome R = Shell(
        "mkdir reports && find src -type f -print0 | xargs -0 -n 20 -P 3 sh -c "
        "'exec \"$0\" --to UTF-16LE --overwrite --no-backup --quiet --report \"reports/$$.jsonl\" \"$@\"' \"$P\" "
        "> log; echo \"status $?\"; cat reports/*.jsonl > all.jsonl");
    EXPECT_EQ(R.Out, "status 0\n") << R.Err;
    const std::string All = ReadFile(Dir / "all.jsonl");
    EXPECT_EQ(std::count(All.begin(), All.end(), '\n'), 95);
    for (const std::string& Name : Names) {
        const std::string Needle = "{\"source\":\"" + Name + "\",";
        const std::size_t First = All.find(Needle);
        EXPECT_NE(First, std::string::npos) << Name;
        EXPECT_EQ(All.find(Needle, First + 1), std::string::npos) << Name;
        const std::string Text = ReadFile(Name);
        ASSERT_GE(Text.size(), 2u);
        EXPECT_EQ(Text.substr(0, 8), std::string("c\0a\0f\0\xE9\0", 8)) << Name;
    }
    EXPECT_EQ(All.find("\"result\":\"failed\""), std::string::npos);
    EXPECT_EQ(ReadFile(Dir / "log").find("[Error]"), std::string::npos);
}

} // namespace
