// The walk that turns given folders into files: its rules, its order and its failures.

#include "folders/FileMasks.h"
#include "util/NameMasks.h"
#include "folders/InputExpansion.h"
#include "folders/TextCheck.h"
#include "tests/common/DeepFolder.h"
#include "tests/common/TestSupport.h"
#include "util/Exception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using lmvtest::Bytes;
using lmvtest::TempDir;
using lmvtest::WriteFile;

class FolderWalkTest : public ::testing::Test {
protected:
    TempDir Dir;
    TWalkRules Rules;
    std::vector<std::string> Unreadable;

    void File(const std::string& Name, const std::string& Content = "text\n")
    {
        std::filesystem::create_directories(std::filesystem::path(Dir / Name).parent_path());
        WriteFile(Dir / Name, Content);
    }

    // "relative" for a found file, "=name" for a named one.
    std::vector<std::string> Expand(const std::vector<std::string>& Names, bool* Finished = nullptr,
                                    std::size_t StopAfterFolders = 0)
    {
        std::size_t folders = 0;
        TFolderWalker walker(
            Rules, [this](const std::string& Folder) { Unreadable.push_back(Folder); },
            [&](std::size_t) { return StopAfterFolders == 0 || ++folders < StopAfterFolders; });
        TStringList list;
        for (const std::string& name : Names)
            list.Add(name);
        std::vector<TInputFile> inputs;
        const bool finished = TInputExpansion(walker).Expand(list, inputs);
        if (Finished)
            *Finished = finished;
        std::vector<std::string> result;
        for (const TInputFile& input : inputs) {
            if (input.Found()) {
                EXPECT_TRUE(input.Name.ends_with("/" + input.Relative)) << input.Name;
            }
            result.push_back(input.Found() ? input.Relative : "=" + input.Name);
        }
        return result;
    }
};

using Names = std::vector<std::string>;

TEST_F(FolderWalkTest, SortsNamesFilesBeforeSubfoldersAndKeepsNamedFilesInPlace)
{
    File("src/b.txt");
    File("src/A.txt");
    File("src/a.txt");
    File("src/Zeta/z.txt");
    File("src/beta/y.txt");
    File("src/beta/deeper/x.txt");
    File("src/beta/w.txt");
    File("other/o.txt");
    File("named.txt");
    EXPECT_EQ(Expand({Dir / "named.txt", Dir / "src", Dir / "other/"}),
              (Names{"=" + (Dir / "named.txt"), "src/A.txt", "src/a.txt", "src/b.txt", "src/beta/w.txt",
                     "src/beta/y.txt", "src/beta/deeper/x.txt", "src/Zeta/z.txt", "other/o.txt"}));
    EXPECT_FALSE(NamesFolder([&] { TStringList l; l.Add(Dir / "named.txt"); l.Add(Dir / "missing"); return l; }()));

    Rules.IncludeSubfolders = false;
    EXPECT_EQ(Expand({Dir / "src/./beta/.."}), (Names{"src/A.txt", "src/a.txt", "src/b.txt"}));
}

TEST_F(FolderWalkTest, TakesNamesThatMatchAMaskAndNoSkipMask)
{
    File("d/one.TXT");
    File("d/two.srt");
    File("d/three.bin");
    File("d/a[1].txt");
    File("d/ab.c");
    File("d/abc.c");
    File("d/.hidden.txt");
    File("d/.git/config.txt");
    File("d/build/made.txt");
    File("d/keep/kept.txt");
    Rules.FileNames = TFileMasks(" *.txt ; *.SRT;a?.c", false);
    EXPECT_EQ(Expand({Dir / "d"}), (Names{"d/a[1].txt", "d/ab.c", "d/one.TXT", "d/two.srt", "d/build/made.txt",
                                          "d/keep/kept.txt"}));
    Rules.SkipNames = TFileMasks(".*;BUILD;a[1]*", true);
    EXPECT_EQ(Expand({Dir / "d"}), (Names{"d/ab.c", "d/one.TXT", "d/two.srt", "d/keep/kept.txt"}));
    Rules.FileNames = TFileMasks("*.txt", false);
    Rules.SkipNames = TFileMasks("", true);
    EXPECT_EQ(Expand({Dir / "d"}), (Names{"d/.hidden.txt", "d/a[1].txt", "d/one.TXT", "d/.git/config.txt",
                                          "d/build/made.txt", "d/keep/kept.txt"}));
}

TEST_F(FolderWalkTest, MasksAreCaseBlindBeyondAscii)
{
    lmvtest::LocaleScope locale("C.UTF-8");
    if (!locale.Active)
        GTEST_SKIP() << "no C.UTF-8 locale";
    const TFileMasks masks("*\xC3\xA9t\xC3\xA9.txt", false); // "*été.txt"
    EXPECT_TRUE(masks.Matches("\xC3\x89T\xC3\x89.TXT"));     // "ÉTÉ.TXT"
    EXPECT_FALSE(masks.Matches("ete.txt"));
}

// A mask's leading punctuation and digits match only themselves; its letters still match either
// case, within the mask and at its start.
TEST_F(FolderWalkTest, MasksLedByPunctuationOrLettersMatchAsBefore)
{
    lmvtest::LocaleScope locale("C.UTF-8");
    const TFileMasks masks(".*;#1?*;[x]*;Ab*", true);
    for (const char* name : {".git", ".", ".\xC3\xA9", "#12", "#1x.txt", "[x]", "[x]y", "ABC", "abc", "aB"})
        EXPECT_TRUE(masks.Matches(name)) << name;
    for (const char* name : {"git.", "x.", "#2", "#1", "x", "[y]", "a", "bAb", " .x"})
        EXPECT_FALSE(masks.Matches(name)) << name;
}

TEST_F(FolderWalkTest, BadMaskListsAreRefusedWithAClearMessage)
{
    EXPECT_EQ(CheckNameMasks("*.txt; *.srt", false), "");
    EXPECT_EQ(CheckNameMasks("", true), "");
    EXPECT_EQ(CheckNameMasks("", false), "Enter at least one name mask (such as *.txt)");
    for (const char* blanks : {" ", "\t "})
        for (const bool allowEmpty : {false, true})
            EXPECT_EQ(CheckNameMasks(blanks, allowEmpty), "A name mask cannot be only blanks");
    for (const char* text : {"*.txt;;*.srt", "*.txt;", ";*.txt", "*.txt; ;*.srt", ";"})
        EXPECT_EQ(CheckNameMasks(text, true),
                  "Empty name mask: remove the extra \";\" or put a mask between the separators")
            << text;
    EXPECT_THROW(TFileMasks("*.txt;;", false), Exception);
}

TEST_F(FolderWalkTest, TakesLinksToFilesButDoesNotFollowLinksToFolders)
{
    File("d/a.txt");
    File("elsewhere/far.txt");
    ASSERT_EQ(::symlink((Dir / "elsewhere/far.txt").c_str(), (Dir / "d/link.txt").c_str()), 0);
    ASSERT_EQ(::symlink("..", (Dir / "d/loop").c_str()), 0);
    ASSERT_EQ(::symlink((Dir / "elsewhere").c_str(), (Dir / "d/there").c_str()), 0);
    ASSERT_EQ(::symlink((Dir / "gone").c_str(), (Dir / "d/dangling.txt").c_str()), 0);
    ASSERT_EQ(::mkfifo((Dir / "d/pipe.txt").c_str(), 0600), 0);
    EXPECT_EQ(Expand({Dir / "d"}), (Names{"d/a.txt", "d/link.txt"}));
    // A link named directly is the user's choice: it stands for its folder.
    EXPECT_EQ(Expand({Dir / "d/there"}), (Names{"there/far.txt"}));
}

TEST_F(FolderWalkTest, AFolderThatCannotBeReadIsReportedAndTheWalkGoesOn)
{
    File("d/a.txt");
    File("d/z/last.txt");
    const std::string unreadable = lmvtest::MakeTooDeepFolder(Dir / "d");
    EXPECT_EQ(Expand({Dir / "d"}), (Names{"d/a.txt", "d/z/last.txt"}));
    EXPECT_EQ(Unreadable, (Names{unreadable}));
    lmvtest::RemoveTooDeepFolder(Dir / "d");
}

TEST_F(FolderWalkTest, AStoppedWalkKeepsWhatItFound)
{
    File("d/a.txt");
    File("d/b/b.txt");
    File("d/c/c.txt");
    bool finished = true;
    EXPECT_EQ(Expand({Dir / "d", Dir / "d/a.txt"}, &finished, 2), (Names{"d/a.txt", "d/b/b.txt"}));
    EXPECT_FALSE(finished);
}

// A subfolder swapped for a link to an outside folder after its parent was listed: the walk never
// follows the link, reports that folder and goes on.
TEST_F(FolderWalkTest, AFolderSwappedForALinkDuringTheWalkIsNotFollowed)
{
    File("tree/a.txt");
    File("tree/sub/b.txt");
    File("tree/zed/c.txt");
    File("outside/secret.txt");
    bool swapped = false;
    TFolderWalker walker(
        Rules, [this](const std::string& Folder) { Unreadable.push_back(Folder); },
        [&](std::size_t) {
            if (!swapped) {
                swapped = true;
                std::filesystem::rename(Dir / "tree/sub", Dir / "sub.moved");
                std::filesystem::create_directory_symlink(Dir / "outside", Dir / "tree/sub");
            }
            return true;
        });
    std::vector<TInputFile> found;
    ASSERT_TRUE(walker.Walk(Dir / "tree", found));
    std::vector<std::string> relative;
    for (const TInputFile& input : found)
        relative.push_back(input.Relative);
    EXPECT_EQ(relative, (std::vector<std::string>{"tree/a.txt", "tree/zed/c.txt"}));
    EXPECT_EQ(Unreadable, std::vector<std::string>{Dir / "tree/sub"});
}

TEST(TextCheckTest, ANulByteInTheFirst8KiBMarksAFileThatIsNoUnicodeText)
{
    const auto binary = [](const std::string& Sample, const std::string& From = "UTF-8") {
        return LooksBinary(Sample, From);
    };
    EXPECT_TRUE(binary(std::string("GIF89a\0\x01", 8)));
    EXPECT_TRUE(binary(std::string(8191, 'a') + std::string(1, '\0')));
    EXPECT_FALSE(binary(std::string(8192, 'a') + std::string(1, '\0')));
    EXPECT_FALSE(binary("plain text\n"));
    EXPECT_FALSE(binary(""));
    EXPECT_FALSE(binary(Bytes({0xFF, 0xFE, 'a', 0})));
    EXPECT_FALSE(binary(Bytes({0xFE, 0xFF, 0, 'a'})));
    EXPECT_FALSE(binary(Bytes({0, 0, 0xFE, 0xFF, 0, 0, 0, 'a'})));
    EXPECT_FALSE(binary(Bytes({0xFF, 0xFE, 0, 0, 'a', 0, 0, 0})));
    for (const char* from : {"UTF-16LE", "utf16", "UCS-2BE", "UTF-32", "ucs4", "UNICODELITTLE", "WCHAR_T"})
        EXPECT_FALSE(binary(Bytes({'a', 0}), from)) << from;
    for (const char* from : {"UTF-8", "ISO-8859-1", "UTF-7", "CP1252"})
        EXPECT_TRUE(binary(Bytes({'a', 0}), from)) << from;
}

} // namespace
