#include "run/BatchOptions.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <utility>
#include <vector>

namespace {

using lmvtest::TempDir;
using lmvtest::WriteFile;

TBatchOptions Parsed(const std::vector<std::string>& Args)
{
    TBatchOptions Batch;
    Batch.Parse(Args);
    return Batch;
}

// The message of the usage error that Args raise, or "(none)".
std::string UsageMessage(const std::vector<std::string>& Args)
{
    try {
        Parsed(Args);
    } catch (const TBatchOptions::EUsageError& E) {
        return E.what();
    }
    return "(none)";
}

TEST(BatchOptions, EveryOptionReachesItsField)
{
    const TBatchOptions Batch =
        Parsed({"--from", "ISO-8859-1", "--to=UTF-32", "--translation", "Transliterate", "--buffer-size", "17",
                "--prefix", "new_", "--backup-prefix", "bak_", "--utf8", "2", "--utf16", "3", "--utf32=4",
                "--answer", "yes-to-all", "--check", "x", "--list", "l.txt", "--", "--y"});
    EXPECT_EQ(Batch.Options.FromEncoding, "ISO-8859-1");
    EXPECT_EQ(Batch.Options.ToEncoding, "UTF-32");
    EXPECT_EQ(Batch.Options.Translation, trTransliterate);
    EXPECT_EQ(Batch.Options.BufferSize, 17);
    EXPECT_EQ(Batch.Options.Output, omPrefix);
    EXPECT_EQ(Batch.Options.OutputPrefix, "new_");
    EXPECT_TRUE(Batch.Options.BackupSrcFiles);
    EXPECT_EQ(Batch.Options.BackupPrefix, "bak_");
    EXPECT_EQ(Batch.Specs, (TConvertSpecs{2, 3, 4}));
    EXPECT_EQ(Batch.Answer, 1);
    EXPECT_TRUE(Batch.CheckOnly);
    ASSERT_EQ(Batch.Sources.size(), 3u);
    EXPECT_EQ(Batch.Sources[0].Name, "x");
    EXPECT_TRUE(Batch.Sources[1].IsList);
    EXPECT_EQ(Batch.Sources[1].Name, "l.txt");
    EXPECT_EQ(Batch.Sources[2].Name, "--y");
    EXPECT_FALSE(Batch.Sources[2].IsList);
}

TEST(BatchOptions, OutputModesAndBackupsLastOneDecides)
{
    TBatchOptions Batch = Parsed({"--prefix", "p_", "--output-dir", "/out", "a"});
    EXPECT_EQ(Batch.Options.Output, omDirectory);
    EXPECT_EQ(Batch.Options.OutputDirectory, "/out");
    EXPECT_EQ(Batch.Options.OutputPrefix, "p_");

    Batch = Parsed({"--output-dir", "/out", "--overwrite", "--no-backup", "a"});
    EXPECT_EQ(Batch.Options.Output, omOverwrite);
    EXPECT_FALSE(Batch.Options.BackupSrcFiles);
    EXPECT_EQ(Batch.Options.BackupPrefix, "Backup - ");

    Batch = Parsed({"--overwrite", "--no-backup", "--backup-prefix", "old ", "a"});
    EXPECT_TRUE(Batch.Options.BackupSrcFiles);
    EXPECT_EQ(Batch.Options.BackupPrefix, "old ");
}

TEST(BatchOptions, AnswersAndTranslationsByName)
{
    const std::vector<std::pair<std::string, int>> Answers{
        {"yes", 0}, {"yes-to-all", 1}, {"no", 2}, {"no-to-all", 3}, {"cancel", 4}};
    for (const auto& [Word, Index] : Answers)
        EXPECT_EQ(Parsed({"--answer", Word, "a"}).Answer, Index) << Word;
    EXPECT_EQ(Parsed({"--translation", "none", "a"}).Options.Translation, trNone);
    EXPECT_EQ(Parsed({"--translation", "ignore", "a"}).Options.Translation, trIgnore);
}

TEST(BatchOptions, BrokenRulesGiveTheWindowsMessages)
{
    EXPECT_EQ(UsageMessage({"--buffer-size", "0", "a"}), "--buffer-size: Set a number from 1 to 2147483647");
    EXPECT_EQ(UsageMessage({"--buffer-size", "-5", "a"}), "--buffer-size: Set a number from 1 to 2147483647");
    EXPECT_EQ(UsageMessage({"--buffer-size", "12k", "a"}), "--buffer-size: Set a number from 1 to 2147483647");
    EXPECT_EQ(UsageMessage({"--buffer-size", "", "a"}), "--buffer-size: Set a number from 1 to 2147483647");
    EXPECT_EQ(UsageMessage({"--buffer-size", "4294967296", "a"}), "--buffer-size: Set a number from 1 to 2147483647");
    EXPECT_EQ(UsageMessage({"--output-dir", "", "a"}), "--output-dir: Set text");
    EXPECT_EQ(Parsed({"--output-dir", "out/dir", "a"}).Options.OutputDirectory, (std::filesystem::current_path() / "out/dir").string());
    EXPECT_EQ(UsageMessage({"--prefix", "", "a"}), "--prefix: Set text");
    EXPECT_EQ(UsageMessage({"--prefix", "a;b", "a"}), "--prefix: Delete invalid file characters");
    EXPECT_EQ(UsageMessage({"--prefix", "a/b", "a"}), "--prefix: Delete invalid file characters");
    EXPECT_EQ(UsageMessage({"--backup-prefix", "\tx", "a"}), "--backup-prefix: Delete invalid file characters");
    EXPECT_EQ(UsageMessage({"--backup-prefix=", "a"}), "--backup-prefix: Set text");
    EXPECT_EQ(UsageMessage({"--list", "", "a"}), "--list: Set text");
}

// The window's "Select an item" tells a command-line user nothing to type.
TEST(BatchOptions, AChoiceNamesTheValueGivenAndTheValuesAllowed)
{
    EXPECT_EQ(UsageMessage({"--translation", "fast", "a"}),
              "--translation: \"fast\" is not one of the values allowed: none, ignore, transliterate");
    EXPECT_EQ(UsageMessage({"--answer", "maybe", "a"}),
              "--answer: \"maybe\" is not one of the values allowed: yes, yes-to-all, no, no-to-all, cancel");
    EXPECT_EQ(UsageMessage({"--utf8", "3", "a"}), "--utf8: \"3\" is not one of the values allowed: 0, 1, 2");
    EXPECT_EQ(UsageMessage({"--utf16", "2", "a"}), "--utf16: \"2\" is not one of the values allowed: 0, 1, 3, 4");
    EXPECT_EQ(UsageMessage({"--utf32=x", "a"}), "--utf32: \"x\" is not one of the values allowed: 0, 1, 3, 4");
    EXPECT_EQ(UsageMessage({"--utf32", "", "a"}), "--utf32: \"\" is not one of the values allowed: 0, 1, 3, 4");
}

// iconv's spellings: short options with the value apart or joined, flags run together, and
// the target's suffixes setting the translation.
TEST(BatchOptions, IconvSpellings)
{
    const TBatchOptions Batch = Parsed({"-fISO-8859-1", "-t", "UTF-8//TRANSLIT", "-o", "out.txt", "in.txt"});
    EXPECT_EQ(Batch.Options.FromEncoding, "ISO-8859-1");
    EXPECT_EQ(Batch.Options.ToEncoding, "UTF-8");
    EXPECT_EQ(Batch.Options.Translation, trTransliterate);
    EXPECT_EQ(Batch.OutputFile, "out.txt");
    EXPECT_EQ(Parsed({"-t", "latin1//translit//ignore"}).Options.Translation, trIgnore);
    EXPECT_EQ(Parsed({"-t", "latin1//"}).Options.ToEncoding, "latin1");
    EXPECT_EQ(Parsed({"-c"}).Options.Translation, trIgnore);
    const TBatchOptions Flags = Parsed({"-c0", "--files-from", "-"});
    EXPECT_EQ(Flags.Options.Translation, trIgnore);
    EXPECT_TRUE(Flags.NullSeparated);
    EXPECT_TRUE(Parsed({"-l"}).ListEncodings);
    EXPECT_TRUE(Parsed({"-V"}).Version);
    EXPECT_TRUE(Parsed({"-h"}).Help);
    EXPECT_EQ(Parsed({"--", "-c"}).Sources.at(0).Name, "-c") << "an operand after --";
    EXPECT_EQ(UsageMessage({"-cx"}), "-c: takes no value") << "a letter that is no flag keeps the word whole";
    EXPECT_EQ(Parsed({"--jobs", "3", "a"}).Jobs, 3);
    EXPECT_GE(Parsed({"--jobs", "0", "a"}).Jobs, 1);
}

TEST(BatchOptions, MalformedCommandLines)
{
    // No FILE: standard input, as iconv; so is "-" alone, and only alone.
    EXPECT_TRUE(Parsed({}).ReadsStandardInput());
    EXPECT_TRUE(Parsed({"--to", "UTF-8", "-"}).ReadsStandardInput());
    EXPECT_FALSE(Parsed({"--files-from", "-"}).ReadsStandardInput());
    EXPECT_FALSE(Parsed({"--list", "l.txt"}).ReadsStandardInput());
    EXPECT_EQ(UsageMessage({"-", "-"}), "-: standard input can only be the one FILE");
    EXPECT_EQ(UsageMessage({"--from"}), "--from: missing value");
    EXPECT_EQ(UsageMessage({"--fast", "a"}), "unknown option --fast");
    EXPECT_EQ(UsageMessage({"-x", "a"}), "unknown option -x");
    EXPECT_EQ(UsageMessage({"--overwrite=yes", "a"}), "--overwrite: takes no value");
    EXPECT_EQ(UsageMessage({"--help"}), "(none)");
    EXPECT_EQ(UsageMessage({"--version"}), "(none)");
    EXPECT_EQ(UsageMessage({"--list-encodings"}), "(none)");
    EXPECT_EQ(UsageMessage({"--version=2"}), "--version: takes no value");
    EXPECT_EQ(UsageMessage({"-"}), "(none)"); // a file named "-"
}

TEST(BatchOptions, EncodingNamesThatTheCheckRefusesAreUsageErrors)
{
    std::vector<std::string> Asked;
    const auto IsValid = [&Asked](const std::string& Name) {
        Asked.push_back(Name);
        return Name != "NOPE";
    };
    TBatchOptions Batch = Parsed({"--from", "latin1", "--to", "utf-16", "a"});
    Batch.CheckEncodings(IsValid);
    EXPECT_EQ(Asked, (std::vector<std::string>{"latin1", "utf-16"}));
    EXPECT_EQ(Batch.Options.FromEncoding, "latin1");

    for (const auto& [Args, Message] :
         {std::pair<std::vector<std::string>, std::string>{{"--to", "NOPE", "a"}, "--to: Select an item in the list"},
          {{"--from", "NOPE", "--to", "NOPE", "a"}, "--from: Select an item in the list"}}) {
        Batch = Parsed(Args);
        try {
            Batch.CheckEncodings(IsValid);
            ADD_FAILURE() << "no error";
        } catch (const TBatchOptions::EUsageError& E) {
            EXPECT_EQ(E.what(), Message);
        }
    }
}

TEST(BatchOptions, ListFilesFollowTheListCommandsRules)
{
    TempDir Dir;
    WriteFile(Dir / "list.txt", std::string("one\r\n\r\ntwo\rthree\n  \n four \n\n") + '\0' + "after zero\n");
    WriteFile(Dir / "second.txt", "last");
    TBatchOptions Batch = Parsed({"first", "--list", Dir / "list.txt", "middle", "--list", Dir / "second.txt"});
    // The line that holds the NUL is the list's last, whole.
    EXPECT_EQ(Batch.FileList().Strings(), (std::vector<std::string>{"first", "one", "two", "three", "  ", " four ",
                                                                    std::string("\0after zero", 11), "middle",
                                                                    "last"}));

    Batch = Parsed({"--list", Dir / "missing.txt"});
    EXPECT_THROW(Batch.FileList(), Exception);
    Batch = Parsed({"--list", Dir.Path()});
    EXPECT_THROW(Batch.FileList(), Exception);
}

TEST(BatchOptions, ExitStatuses)
{
    EXPECT_EQ(BatchExitStatus(csCompleted, 0, 0), 0);
    EXPECT_EQ(BatchExitStatus(csCompleted, 1, 0), 1);
    EXPECT_EQ(BatchExitStatus(csCompleted, 0, 1), 1);
    EXPECT_EQ(BatchExitStatus(csStopped, 0, 0), 2);
    EXPECT_EQ(BatchExitStatus(csCanceled, 3, 0), 2);
}

TEST(BatchOptions, ReportTextAddsAFullStopAfterLettersOnly)
{
    EXPECT_EQ(TBatchOptions::ReportText("Set text"), "Set text.");
    EXPECT_EQ(TBatchOptions::ReportText("Cannot initialize \"x.so\""), "Cannot initialize \"x.so\"");
    EXPECT_EQ(TBatchOptions::ReportText("Done."), "Done.");
    EXPECT_EQ(TBatchOptions::ReportText(""), "");
}

} // namespace
