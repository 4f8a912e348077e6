#include "util/CodePage.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// Named sets, ISO 8859 parts and Windows numbers, in any letter case.
TEST(CodePage, KnownCharsetsHaveTheirNumbers)
{
    const std::pair<const char*, unsigned> known[] = {
        {"UTF-8", 65001},  {"utf-8", 65001},     {"ANSI_X3.4-1968", 20127}, {"KOI8-R", 20866},
        {"KOI8-U", 21866}, {"EUC-JP", 20932},    {"SHIFT_JIS", 932},        {"GBK", 936},
        {"GB18030", 54936}, {"BIG5", 950},       {"Big5", 950},             {"EUC-KR", 51949},
        {"ISO-8859-1", 28591}, {"ISO-8859-5", 28595}, {"ISO-8859-15", 28605}, {"ISO-8859-16", 28606},
        {"iso-8859-2", 28592}, {"CP1251", 1251},  {"CP1255", 1255},          {"cp437", 437},
    };
    for (const auto& [name, codePage] : known)
        EXPECT_EQ(CodePageOfCharset(name), codePage) << name;
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
