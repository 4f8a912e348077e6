#include "util/StringList.h"

#include "tests/common/TestSupport.h"
#include "util/Exception.h"

#include <gtest/gtest.h>

namespace {

TEST(CompareText, IgnoresAsciiCaseOnly)
{
    EXPECT_EQ(CompareText("utf-8", "UTF-8"), 0);
    EXPECT_LT(CompareText("ASCII", "big5"), 0);
    EXPECT_GT(CompareText("latin1", "LATIN"), 0);
    EXPECT_LT(CompareText("", "A"), 0);
    // Bytes above 127 are compared as they are, never folded.
    EXPECT_NE(CompareText("\xc3\xa4", "\xc3\x84"), 0);
    EXPECT_TRUE(SameText("Iso-8859-1", "ISO-8859-1"));
    EXPECT_FALSE(SameText("UTF8", "UTF-8"));
}

TEST(StringList, SortAndFindUseTheSameComparison)
{
    TStringList list{"utf-8", "ASCII", "Big5", "cp819", "LATIN1", "ISO-8859-1", "UTF-16"};
    list.Sort();
    EXPECT_EQ(list.Strings(),
              (std::vector<std::string>{"ASCII", "Big5", "cp819", "ISO-8859-1", "LATIN1", "UTF-16", "utf-8"}));
    for (const auto& name : {"ascii", "BIG5", "CP819", "iso-8859-1", "Latin1", "utf-16", "UTF-8"}) {
        std::size_t index = 99;
        EXPECT_TRUE(list.Find(name, &index)) << name;
        EXPECT_TRUE(SameText(list[index], name));
    }
    EXPECT_FALSE(list.Find("UTF8"));
    EXPECT_FALSE(list.Find(""));
    EXPECT_FALSE(list.Find("zzz"));
    EXPECT_EQ(list.IndexOf("latin1"), 4);
    EXPECT_EQ(list.IndexOf("nothing"), -1);
}

TEST(StringList, SetTextSplitsAtEveryLineEndAndStopsAtNul)
{
    TStringList list;
    list.SetText(std::string("a\r\nb\rc\nd", 8));
    EXPECT_EQ(list.Strings(), (std::vector<std::string>{"a", "b", "c", "d"}));

    list.SetText("one\r\n\r\n  \r\ntwo\r\n");
    EXPECT_EQ(list.Strings(), (std::vector<std::string>{"one", "", "  ", "two"}));

    list.SetText(std::string("x\ny\0z\n", 6));
    EXPECT_EQ(list.Strings(), (std::vector<std::string>{"x", "y"}));

    list.SetText("");
    EXPECT_TRUE(list.Empty());
}

TEST(StringList, SaveEndsEveryLineWithCrLfAndLoadReadsItBack)
{
    lmvtest::TempDir dir;
    TStringList list{"first", "with\r\nbreak", ""};
    list.SaveToFile(dir / "log.txt");
    EXPECT_EQ(lmvtest::ReadFile(dir / "log.txt"), "first\r\nwith\r\nbreak\r\n\r\n");

    TStringList empty;
    empty.SaveToFile(dir / "empty.txt");
    EXPECT_EQ(lmvtest::ReadFile(dir / "empty.txt"), "");

    TStringList loaded;
    loaded.LoadFromFile(dir / "log.txt");
    EXPECT_EQ(loaded.Strings(), (std::vector<std::string>{"first", "with", "break", ""}));
}

TEST(StringList, FileErrorsAreExceptions)
{
    lmvtest::TempDir dir;
    TStringList list{"x"};
    EXPECT_THROW(list.SaveToFile(dir / "missing/folder/file.txt"), Exception);
    EXPECT_THROW(list.SaveToFile(dir.Path()), Exception);
    EXPECT_THROW(list.LoadFromFile(dir / "absent.txt"), Exception);
    EXPECT_THROW(list.LoadFromFile(dir.Path()), Exception);
    EXPECT_EQ(list.Strings(), (std::vector<std::string>{"x"}));
}

} // namespace
