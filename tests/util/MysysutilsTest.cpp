#include "util/Mysysutils.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(InvalidFileNameCharPos, FindsTheFirstForbiddenCharacter)
{
    EXPECT_EQ(InvalidFileNameCharPos("Output - "), 0);
    EXPECT_EQ(InvalidFileNameCharPos(""), 0);
    EXPECT_EQ(InvalidFileNameCharPos("a;b"), 2);
    EXPECT_EQ(InvalidFileNameCharPos("a:b"), 2);
    EXPECT_EQ(InvalidFileNameCharPos("\tx"), 1);
    EXPECT_EQ(InvalidFileNameCharPos("ok/no"), 3);
    EXPECT_EQ(InvalidFileNameCharPos("ok\\no"), 3);
    for (char c : std::string("*?\"<>|\x1f\x01"))
        EXPECT_EQ(InvalidFileNameCharPos(std::string("ab") + c), 3) << int(c);
    // Spaces, dots, dashes and non-ASCII letters are fine.
    EXPECT_EQ(InvalidFileNameCharPos("Backup - \xc3\xa4 .x"), 0);
}

TEST(InvalidFileNameCharPos, StepsOverDoubleByteCharactersWhole)
{
    // In GBK the second byte of U+8868 is 0x5C, the backslash.
    lmvtest::LocaleScope locale("zh_CN.GBK");
    if (!locale.Active)
        GTEST_SKIP() << "no GBK locale on this machine (scripts/test.sh makes one as root)";
    EXPECT_EQ(InvalidFileNameCharPos("\xb1\x5c"), 0);
    EXPECT_EQ(InvalidFileNameCharPos("a\xb1\x5c" "b\\"), 5);
}

TEST(HasDrive, IsTrueExactlyForAbsolutePaths)
{
    EXPECT_TRUE(HasDrive("/"));
    EXPECT_TRUE(HasDrive("/home/user/out"));
    EXPECT_FALSE(HasDrive(""));
    EXPECT_FALSE(HasDrive("temp/out"));
    EXPECT_FALSE(HasDrive("./out"));
    EXPECT_FALSE(HasDrive("~/out"));
}

TEST(PathParts, SplitAtTheLastSlash)
{
    EXPECT_EQ(ExtractFilePath("/data/a.txt"), "/data/");
    EXPECT_EQ(ExtractFileName("/data/a.txt"), "a.txt");
    EXPECT_EQ(ExtractFilePath("a.txt"), "");
    EXPECT_EQ(ExtractFileName("a.txt"), "a.txt");
    EXPECT_EQ(ExtractFileDir("/data/sub/a.txt"), "/data/sub");
    EXPECT_EQ(ExtractFileDir("/a.txt"), "/");
    EXPECT_EQ(ExtractFileDir("a.txt"), "");
    EXPECT_EQ(ExpandFileName("/x/y"), "/x/y");
    const std::string expanded = ExpandFileName("rel/name.txt");
    EXPECT_TRUE(HasDrive(expanded));
    EXPECT_EQ(ExtractFileName(expanded), "name.txt");
    EXPECT_EQ(GetLongFileName("/does/not/exist"), "/does/not/exist");
}

TEST(PathParts, TidyNamesLoseDotsAndDoubledSlashesButKeepDotDot)
{
    EXPECT_EQ(TidyFileName("./a.txt"), "a.txt");
    EXPECT_EQ(TidyFileName("dir//a.txt"), "dir/a.txt");
    EXPECT_EQ(TidyFileName("/x/./y.txt"), "/x/y.txt");
    EXPECT_EQ(TidyFileName("//x/.//./y/"), "/x/y/");
    EXPECT_EQ(TidyFileName("/x/."), "/x/");
    EXPECT_EQ(TidyFileName("/x/../y/.hidden/..z"), "/x/../y/.hidden/..z");
    EXPECT_EQ(TidyFileName("."), ".");
    EXPECT_EQ(TidyFileName("/"), "/");
    EXPECT_EQ(ExpandFileName("a.txt", "/w/"), "/w/a.txt");
    EXPECT_EQ(ExpandFileName("/a.txt", "/w/"), "/a.txt");
}

} // namespace
