// lumiva-batch in place of iconv: the same command lines, run by both programs on standard input,
// with -o, and on one input file, give the same bytes and the same exit status, except where a
// case says why Lumiva differs on purpose.

#include "tests/common/BatchTestBase.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using lmvtest::ReadFile;
using lmvtest::WriteFile;

enum class TForm { Stdin, Output, File };

// What Lumiva does on purpose otherwise than iconv.
enum class TDifference {
    None,
    // A signature at the start of the source is no character of the text, so a target that names
    // its byte order (UTF-16LE) gets no byte-order mark; iconv converts it as U+FEFF.
    NoSignatureCopied,
    // //IGNORE asks for what cannot be converted to be dropped: the file is converted, status 0.
    // iconv ends such a run with 1 (and the same request spelled -c with 0).
    IgnoreIsASuccess,
    // An empty input has an empty result, and -o gets it; iconv leaves the file as it was.
    EmptyResultWritten,
};

struct TCase {
    const char* Name;
    std::string Input;
    std::vector<std::string> Args;
    TDifference Difference = TDifference::None;
};

struct TResult {
    int Status = -1;
    std::string Bytes;
};

class IconvDropInTest : public lmvtest::TBatchTest {
protected:
    // Runs Program (iconv or lumiva-batch) with Args in Form on Input; Output's file starts as "old".
    TResult RunOne(const std::string& Tool, TForm Form, const std::vector<std::string>& Args) const
    {
        const bool Lumiva = Tool == Program;
        std::string Line = "\"$T\"";
        for (const std::string& Arg : Args)
            Line += " '" + Arg + "'";
        const std::string Out = Dir / "result";
        WriteFile(Out, "old");
        switch (Form) {
        case TForm::Stdin:
            Line += " < input > result";
            break;
        case TForm::Output:
            Line += " -o result < input";
            break;
        case TForm::File:
            // One FILE operand alone keeps the batch run into the output folder: --stdout asks for
            // what iconv does with it.
            Line += std::string(Lumiva ? " --stdout" : "") + " input > result";
            break;
        }
        const lmvtest::TProcessOutcome R = lmvtest::RunProcess(
            {"/bin/sh", "-c", "cd \"$1\" && T=\"$2\" && " + Line + " 2>/dev/null; echo $?", "sh", Dir.Path(), Tool},
            Env());
        return {std::stoi(R.Out), ReadFile(Out)};
    }
};

TEST_F(IconvDropInTest, TheTableRunsAlikeExceptWhereLumivaDiffersOnPurpose)
{
    std::string Large;
    const std::string Line = "Les na\xEF" "fs caf\xE9s \xE0 c\xF4t\xE9 du ch\xE2teau, 0123456789.\n";
    while (Large.size() < (64u << 20))
        Large += Line;
    const std::vector<TCase> Cases{
        {"-f and -t", "caf\xE9\n", {"-f", "ISO-8859-1", "-t", "UTF-8"}},
        {"long spellings", "caf\xC3\xA9\n", {"--from=UTF-8", "--to=UTF-16LE"}},
        {"UTF-16 with its mark", "caf\xC3\xA9\n", {"-f", "UTF-8", "-t", "UTF-16"}},
        {"a mark in the source", "\xEF\xBB\xBF" "caf\n", {"-f", "UTF-8", "-t", "UTF-16LE"},
         TDifference::NoSignatureCopied},
        {"-c", "a\xE2\x82\xAC" "b\n", {"-c", "-f", "UTF-8", "-t", "ISO-8859-1"}},
        {"-c on a bad byte", "a\xFF" "b\n", {"-c", "-f", "UTF-8", "-t", "ISO-8859-1"}},
        {"//TRANSLIT", "a\xE2\x82\xAC" "b\n", {"-f", "UTF-8", "-t", "ISO-8859-1//TRANSLIT"}},
        {"//IGNORE", "a\xE2\x82\xAC" "b\n", {"-f", "UTF-8", "-t", "ISO-8859-1//IGNORE"},
         TDifference::IgnoreIsASuccess},
        {"a bad byte in the middle", "first line\nsec\xFFond\nthird\n", {"-f", "UTF-8", "-t", "ISO-8859-1"}},
        {"a character the target lacks", "a\xE2\x82\xAC" "b\n", {"-f", "UTF-8", "-t", "ISO-8859-1"}},
        {"an empty input", "", {"-f", "UTF-8", "-t", "UTF-16LE"}, TDifference::EmptyResultWritten},
        {"64 MiB", Large, {"-f", "ISO-8859-1", "-t", "UTF-8"}},
    };
    const std::string Iconv = "/usr/bin/iconv";
    for (const TCase& Case : Cases) {
        WriteFile(Dir / "input", Case.Input);
        for (const TForm Form : {TForm::Stdin, TForm::Output, TForm::File}) {
            const char* FormName = Form == TForm::Stdin ? "stdin" : Form == TForm::Output ? "-o" : "file";
            const TResult Expected = RunOne(Iconv, Form, Case.Args);
            const TResult Got = RunOne(Program, Form, Case.Args);
            const std::string Where = std::string(Case.Name) + ", " + FormName;
            switch (Case.Difference) {
            case TDifference::None:
                EXPECT_EQ(Got.Status, Expected.Status) << Where;
                if (Form == TForm::Output && Expected.Status != 0) {
                    // iconv has written part of the file by then; Lumiva leaves it as it was.
                    EXPECT_EQ(Got.Bytes, "old") << Where;
                    EXPECT_TRUE(Expected.Bytes != "old") << Where;
                } else {
                    EXPECT_TRUE(Got.Bytes == Expected.Bytes) << Where << ": " << Got.Bytes.size() << " bytes, iconv "
                                                             << Expected.Bytes.size();
                }
                break;
            case TDifference::NoSignatureCopied:
                EXPECT_EQ(Got.Status, Expected.Status) << Where;
                EXPECT_EQ("\xFF\xFE" + Got.Bytes, Expected.Bytes) << Where;
                break;
            case TDifference::EmptyResultWritten:
                EXPECT_EQ(Got.Status, Expected.Status) << Where;
                EXPECT_EQ(Got.Bytes, "") << Where;
                EXPECT_EQ(Expected.Bytes, Form == TForm::Output ? "old" : "") << Where;
                break;
            case TDifference::IgnoreIsASuccess:
                EXPECT_EQ(Expected.Status, 1) << Where;
                EXPECT_EQ(Got.Status, 0) << Where;
                if (Form != TForm::Output)
                    EXPECT_EQ(Got.Bytes, Expected.Bytes) << Where;
                else
                    EXPECT_EQ(Got.Bytes, "a" "b\n") << Where;
                break;
            }
        }
    }
}

} // namespace
