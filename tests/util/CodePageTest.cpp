#include "util/CodePage.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(CodePage, NamedCharsetsHaveTheirNumbers)
{
    EXPECT_EQ(CodePageOfCharset("UTF-8"), 65001u);
    EXPECT_EQ(CodePageOfCharset("ANSI_X3.4-1968"), 20127u);
    EXPECT_EQ(CodePageOfCharset("KOI8-R"), 20866u);
    EXPECT_EQ(CodePageOfCharset("KOI8-U"), 21866u);
    EXPECT_EQ(CodePageOfCharset("EUC-JP"), 20932u);
    EXPECT_EQ(CodePageOfCharset("SHIFT_JIS"), 932u);
    EXPECT_EQ(CodePageOfCharset("GBK"), 936u);
    EXPECT_EQ(CodePageOfCharset("GB18030"), 54936u);
    EXPECT_EQ(CodePageOfCharset("BIG5"), 950u);
    EXPECT_EQ(CodePageOfCharset("EUC-KR"), 51949u);
    // Letter case does not matter.
    EXPECT_EQ(CodePageOfCharset("utf-8"), 65001u);
    EXPECT_EQ(CodePageOfCharset("Big5"), 950u);
}

TEST(CodePage, IsoPartsAndWindowsNumbers)
{
    EXPECT_EQ(CodePageOfCharset("ISO-8859-1"), 28591u);
    EXPECT_EQ(CodePageOfCharset("ISO-8859-5"), 28595u);
    EXPECT_EQ(CodePageOfCharset("ISO-8859-15"), 28605u);
    EXPECT_EQ(CodePageOfCharset("ISO-8859-16"), 28606u);
    EXPECT_EQ(CodePageOfCharset("iso-8859-2"), 28592u);
    EXPECT_EQ(CodePageOfCharset("CP1251"), 1251u);
    EXPECT_EQ(CodePageOfCharset("CP1255"), 1255u);
    EXPECT_EQ(CodePageOfCharset("cp437"), 437u);
}

TEST(CodePage, UnknownOrMalformedNamesGiveZero)
{
    for (const char* name : {"", "UTF8X", "UTF-16", "BIG5-HKSCS", "TIS-620", "ISO-8859-", "ISO-8859-0",
                             "ISO-8859-17", "ISO-8859-1x", "ISO-8859-99999999999", "CP", "CPx", "CP12a",
                             "CP 1252", "CP-1252", "CP65536", "CP4294967297", "XCP1252"})
        EXPECT_EQ(CodePageOfCharset(name), 0u) << name;
    EXPECT_EQ(CodePageOfCharset("CP65535"), 65535u);
    // A name with a NUL in it is not the name before the NUL.
    EXPECT_EQ(CodePageOfCharset(std::string("UTF-8\0x", 7)), 0u);
}

TEST(CodePage, FollowsTheLocalesCharacterSet)
{
    {
        lmvtest::LocaleScope scope("C");
        ASSERT_TRUE(scope.Active);
        EXPECT_EQ(CodePageOfLocale(), 20127u);
    }
    bool tried = false;
    for (const auto& [name, codePage] : {std::pair<const char*, unsigned>{"C.UTF-8", 65001u},
                                         {"C.utf8", 65001u}, {"zh_CN.gbk", 936u}, {"zh_CN.GBK", 936u}}) {
        lmvtest::LocaleScope scope(name);
        if (!scope.Active)
            continue;
        tried = true;
        EXPECT_EQ(CodePageOfLocale(), codePage) << name;
    }
    if (!tried)
        GTEST_SKIP() << "no UTF-8 or GBK locale installed";
}

} // namespace
