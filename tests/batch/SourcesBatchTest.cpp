// lumiva-batch --sources: each file read from the encoding its line gives, detection for "auto"
// and empty encodings, and lines that cannot be taken stopping the run before anything is read.

#include "tests/common/BatchTestBase.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using lmvtest::ReadFile;
using lmvtest::TProcessOutcome;
using lmvtest::WriteFile;

using lmvtest::Russian1251;
using lmvtest::RussianUtf8;
const std::string RussianKoi8 = "\xF0\xD2\xC9\xD7\xC5\xD4, \xCB\xC1\xCB \xC4\xC5\xCC\xC1? \xFC\xD4\xCF "
                                "\xD0\xD2\xCF\xD3\xD4\xCF\xCA \xD4\xC5\xCB\xD3\xD4 \xCE\xC1 \xD2\xD5\xD3\xD3\xCB\xCF\xCD "
                                "\xD1\xDA\xD9\xCB\xC5.\n";
const std::string Latin1 = "caf\xE9\n";

using SourcesBatchTest = lmvtest::TBatchTest;

TEST_F(SourcesBatchTest, EachFileIsConvertedFromItsOwnEncoding)
{
    const std::string A = Source("a.txt", RussianKoi8), B = Source("b.txt", Latin1), C = Source("c.txt", Russian1251),
                      D = Source("d.txt", Russian1251);
    // A signature, CR LF line ends and an empty line are taken as Save List and editors write them.
    WriteFile(Dir / "sources.txt", "\xEF\xBB\xBF" "KOI8-R\t" + A + "\r\niso-8859-1\t" + B + "\n\nauto\t" + C + "\n\t" + D +
                                       "\n");
    const TProcessOutcome R = Run({"--sources", Dir / "sources.txt", "--to", "UTF-8", "--output-dir", Dir / "out"});
    EXPECT_EQ(R.Status, 0) << R.Err << R.Out;
    EXPECT_EQ(ReadFile(Dir / "out/a.txt"), RussianUtf8);
    EXPECT_EQ(ReadFile(Dir / "out/b.txt"), "caf\xC3\xA9\n");
    EXPECT_EQ(ReadFile(Dir / "out/c.txt"), RussianUtf8);
    EXPECT_EQ(ReadFile(Dir / "out/d.txt"), RussianUtf8);
    EXPECT_NE(R.Out.find(Entry(A, Dir / "out/a.txt", "\t- Source encoding: KOI8-R\r\n... Succeeded\r\n")),
              std::string::npos)
        << R.Out;
    EXPECT_NE(R.Out.find(Entry(C, Dir / "out/c.txt", "\t- Source encoding: WINDOWS-1251\r\n... Succeeded\r\n")),
              std::string::npos)
        << R.Out;

    // With --check nothing is written, and a file read with the wrong encoding fails where it fails.
    WriteFile(Dir / "wrong.txt", "UTF-8\t" + B + "\nKOI8-R\t" + A + "\n");
    const TProcessOutcome Check = Run({"--sources", Dir / "wrong.txt", "--check", "--to", "UTF-8", "--output-dir",
                                       Dir / "checked"});
    EXPECT_EQ(Check.Status, 1) << Check.Err;
    EXPECT_NE(Check.Out.find("\t- Invalid byte sequence at line 1, column 4 (offset 3)"), std::string::npos)
        << Check.Out;
    EXPECT_NE(Check.Out.find("\t- Source encoding: KOI8-R\r\n... OK\r\n"), std::string::npos) << Check.Out;
    EXPECT_FALSE(std::filesystem::exists(Dir / "checked"));
}

TEST_F(SourcesBatchTest, LinesThatCannotBeTakenAreUsageErrorsNamingTheLine)
{
    const std::string A = Source("a.txt", Latin1);
    const struct {
        std::string Text;
        std::string Message; // as reported: a full stop is added after a letter, not after a quote
    } Cases[] = {
        {"ISO-8859-1\t" + A + "\n" + A + "\n", "line 2: no tab between the encoding and the path."},
        {"\n\nISO-8859-1\t\n", "line 3: no path after the tab."},
        {"NO-SUCH-CODE\t" + A + "\n", "line 1: unknown encoding \"NO-SUCH-CODE\""},
        {"ISO-8859-1\t" + A + "\n" + std::string("UTF-8\tb\0c\n", 11), "line 2: holds a NUL byte."},
    };
    for (const auto& Case : Cases) {
        WriteFile(Dir / "sources.txt", Case.Text);
        const TProcessOutcome R = Run({"--sources", Dir / "sources.txt", "--to", "UTF-8", "--output-dir", Dir / "out"});
        EXPECT_EQ(R.Status, 64) << Case.Message;
        EXPECT_EQ(R.Err, "lumiva-batch: --sources " + (Dir / "sources.txt") + ": " + Case.Message + " (see --help)\n");
        EXPECT_EQ(R.Out, "");
        EXPECT_FALSE(std::filesystem::exists(Dir / "out")) << Case.Message;
    }
    // A sources file that cannot be read is the list file's case.
    const TProcessOutcome Missing = Run({"--sources", Dir / "missing.txt", "--output-dir", Dir / "out"});
    EXPECT_EQ(Missing.Status, 3);
    EXPECT_EQ(Run({"--sources", ""}).Status, 64);
}

} // namespace
