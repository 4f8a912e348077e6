// Folders given to lumiva-batch: what they expand to, where the results go, kept times.

#include "tests/common/BatchTestBase.h"
#include "tests/common/DeepFolder.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using lmvtest::Exists;
using lmvtest::ReadFile;
using lmvtest::TProcessOutcome;
using lmvtest::WriteFile;

const std::string& Text = lmvtest::HelloUtf8;
const std::string& Utf16Le = lmvtest::HelloUtf16Le;
const std::string Binary("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);

class BatchFoldersTest : public lmvtest::TBatchTest {
protected:
    // UTF-16 output, so that every result differs from its source.
    TProcessOutcome Run(std::vector<std::string> Args) const
    {
        Args.insert(Args.begin(), {"--utf16", "3"});
        return TBatchTest::Run(Args);
    }
    std::string Old(const std::string& Name) const
    {
        const std::string path = Source(Name);
        Age(path);
        return path;
    }
    static std::string FileLog(const std::string& Src, const std::string& Dest, const std::string& Between = {})
    {
        return Entry(Src, Dest, Between + "... Succeeded\r\n");
    }
    static std::string Created(const std::string& Folder) { return "Created output directory: " + Folder + "\r\n"; }
};

TEST_F(BatchFoldersTest, FoldersMirrorUnderTheOutputDirectoryFromTheirParent)
{
    const std::string a1 = Source("one/readme.txt"), a2 = Source("one/sub/deep/x.txt"), a3 = Source("one/sub/deep/y.txt");
    const std::string b1 = Source("two/readme.txt"), named = Source("named.txt");
    Source("two/.hidden/h.txt");
    Source("two/picture.png", Binary);
    const std::string out = Dir / "out";
    const TProcessOutcome r = Run({"--output-dir", out, Dir / "one", named, Dir / "two/"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, Created(out) + FileLog(a1, out + "/one/readme.txt", Created(out + "/one")) +
                         FileLog(a2, out + "/one/sub/deep/x.txt", Created(out + "/one/sub") + Created(out + "/one/sub/deep")) +
                         FileLog(a3, out + "/one/sub/deep/y.txt") + FileLog(named, out + "/named.txt") +
                         "Skipped, not a text file: " + (Dir / "two/picture.png") + "\r\n" +
                         FileLog(b1, out + "/two/readme.txt", Created(out + "/two")) +
                         "Completed - 0 errors, 0 warnings\r\n");
    EXPECT_EQ(ReadFile(out + "/one/readme.txt"), Utf16Le);
    EXPECT_EQ(ReadFile(out + "/two/readme.txt"), Utf16Le);
    EXPECT_FALSE(Exists(out + "/two/picture.png"));
}

TEST_F(BatchFoldersTest, NonTextFilesNamedDirectlyOrWithAllFilesAreConverted)
{
    const std::string png = Source("d/picture.png", Binary);
    // Latin-1 text with NUL bytes converts to UTF-16 like any other.
    TProcessOutcome r = Run({"--from", "ISO-8859-1", "--output-dir", Dir / "out", png});
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_TRUE(Exists(Dir / "out/picture.png"));
    r = Run({"--from", "ISO-8859-1", "--all-files", "--output-dir", Dir / "out2", Dir / "d"});
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_TRUE(Exists(Dir / "out2/d/picture.png"));
    // UTF-16 text is full of NUL bytes; its signature keeps it.
    Source("u/wide.txt", Utf16Le);
    r = Run({"--from", "UTF-16", "--to", "UTF-8", "--output-dir", Dir / "out3", Dir / "u"});
    EXPECT_EQ(ReadFile(Dir / "out3/u/wide.txt"), Text) << r.Out;
}

TEST_F(BatchFoldersTest, KeepTimeInEveryOutputMode)
{
    const std::string a = Old("d/a.txt"), b = Old("d/b.txt"), c = Old("d/c.txt");
    TProcessOutcome r = Run({"--output-dir", Dir / "out", "--keep-time", a});
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_EQ(ModificationTime(Dir / "out/a.txt"), OldTime * 1000000000LL);
    r = Run({"--prefix", "new ", "--keep-time", b});
    EXPECT_EQ(ModificationTime(Dir / "d/new b.txt"), OldTime * 1000000000LL) << r.Out;
    r = Run({"--overwrite", "--keep-time", c});
    EXPECT_EQ(ReadFile(c), Utf16Le) << r.Out;
    EXPECT_EQ(ModificationTime(c), OldTime * 1000000000LL);
    // Without the option a result is new.
    r = Run({"--output-dir", Dir / "out", "--answer", "yes", a});
    EXPECT_GT(ModificationTime(Dir / "out/a.txt"), OldTime * 1000000000LL) << r.Out;
}

TEST_F(BatchFoldersTest, AFolderThatCannotBeReadIsAnErrorAndTheRunGoesOn)
{
    const std::string a = Source("d/a.txt");
    const std::string deep = lmvtest::MakeTooDeepFolder(Dir / "d");
    const TProcessOutcome r = Run({"--output-dir", Dir / "out", Dir / "d"});
    lmvtest::RemoveTooDeepFolder(Dir / "d");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Out.find("[Error] Cannot read folder: " + deep + "\r\n"), std::string::npos) << r.Out;
    EXPECT_TRUE(r.Out.ends_with("Completed - 1 errors, 0 warnings\r\n")) << r.Out;
    EXPECT_TRUE(Exists(Dir / "out/d/a.txt"));
}

TEST_F(BatchFoldersTest, AnOutputFolderThatCannotBeMadeFailsOnlyItsFiles)
{
    for (const char* name : {"d/a.txt", "d/sub/b.txt", "d/z.txt"})
        Source(name);
    Source("out/d/sub", "a file where the folder belongs");
    const TProcessOutcome r = Run({"--output-dir", Dir / "out", Dir / "d"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Out.find("\t- Destination file: " + (Dir / "out/d/sub/b.txt") +
                         "\r\n[Error] Cannot create output directory: " + (Dir / "out/d/sub") + "\r\n... Failed\r\n"),
              std::string::npos)
        << r.Out;
    EXPECT_TRUE(r.Out.ends_with("Completed - 1 errors, 0 warnings\r\n")) << r.Out;
    EXPECT_EQ(ReadFile(Dir / "out/d/z.txt"), Utf16Le);
}

TEST_F(BatchFoldersTest, AFolderWithNothingToConvertIsSaidAndMakesNothing)
{
    std::filesystem::create_directories(Dir / "empty");
    Source("flat/sub/a.txt");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--output-dir", Dir / "out", Dir / "empty"},
          std::vector<std::string>{"--output-dir", Dir / "out", "--no-subfolders", Dir / "flat"}}) {
        const TProcessOutcome r = Run(args);
        EXPECT_EQ(r.Status, 1) << r.Err; // a warning, as every warning
        EXPECT_EQ(r.Out, "[Warning] No files to convert\r\nCompleted - 0 errors, 1 warnings\r\n");
        EXPECT_FALSE(Exists(Dir / "out"));
    }
}

TEST_F(BatchFoldersTest, FolderOptionsAndListFiles)
{
    Source("d/a.txt");
    Source("d/b.srt");
    Source("d/c.doc");
    Source("d/.h.txt");
    Source("d/sub/e.txt");
    Source("d/skip/f.txt");
    WriteFile(Dir / "list", Dir / "d" + "\n");
    const auto outputs = [&](std::vector<std::string> Args) {
        std::filesystem::remove_all(Dir / "out");
        Args.insert(Args.begin(), {"--output-dir", Dir / "out"});
        const TProcessOutcome r = Run(Args);
        EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Dir / "out/d"))
            if (entry.is_regular_file())
                names.push_back(entry.path().string().substr((Dir / "out/d/").size()));
        std::sort(names.begin(), names.end());
        return names;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(outputs({"--list", Dir / "list"}), (Names{"a.txt", "b.srt", "c.doc", "skip/f.txt", "sub/e.txt"}));
    EXPECT_EQ(outputs({"--no-subfolders", Dir / "d"}), (Names{"a.txt", "b.srt", "c.doc"}));
    EXPECT_EQ(outputs({"--include", "*.TXT;*.srt", "--exclude=skip", Dir / "d"}),
              (Names{".h.txt", "a.txt", "b.srt", "sub/e.txt"}));
    EXPECT_EQ(outputs({"--exclude", "", "--include", "*.txt", Dir / "d"}),
              (Names{".h.txt", "a.txt", "skip/f.txt", "sub/e.txt"}));
}

// A list line holding a NUL names no file: cut at the NUL it would name another one. A name with
// a line break is converted under its real name and logged escaped, on one line.
TEST_F(BatchFoldersTest, ListLinesWithANulFailWholeAndNamesWithLineBreaksAreEscaped)
{
    const std::string a = Source("a.txt"), b = Source("b.txt"), forged = Source("c\n... Succeeded");
    // The line that holds the NUL is the list's last.
    WriteFile(Dir / "list", b + "\n" + a + std::string(1, '\0') + ".bak\n" + Dir / "never.txt\n");
    const TProcessOutcome r = Run({"--overwrite", "--no-backup", "--list", Dir / "list", forged});
    EXPECT_EQ(r.Status, 1) << r.Err;
    const std::string cut = a + "\\x00.bak", escaped = Dir / "c\\n... Succeeded";
    EXPECT_EQ(r.Out, FileLog(b, b) + Entry(cut, cut, "[Error] Cannot open source file\r\n... Failed\r\n") +
                         FileLog(escaped, escaped) + "Completed - 1 errors, 0 warnings\r\n");
    EXPECT_EQ(ReadFile(a), Text);
    EXPECT_EQ(ReadFile(b), Utf16Le);
    EXPECT_EQ(ReadFile(forged), Utf16Le);
}

TEST_F(BatchFoldersTest, BadMasksAreUsageErrorsAndTheOptionsAreInTheHelp)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--include", "*.txt;;*.srt"}, {"--include", ""}, {"--exclude", " "}, {"--include", "*.txt;"}}) {
        std::vector<std::string> all = args;
        all.push_back(Dir.Path());
        const TProcessOutcome r = Run(all);
        EXPECT_EQ(r.Status, 64) << args[1];
        EXPECT_TRUE(r.Err.starts_with("lumiva-batch: " + args[0] + ": ")) << r.Err;
        EXPECT_NE(r.Err.find("mask"), std::string::npos) << r.Err;
        EXPECT_EQ(r.Out, "");
    }
    const TProcessOutcome help = Run({"--help"});
    for (const char* option : {"--no-subfolders", "--include MASKS", "--exclude MASKS", "--all-files", "--keep-time"})
        EXPECT_NE(help.Out.find(option), std::string::npos) << option;
}

} // namespace
