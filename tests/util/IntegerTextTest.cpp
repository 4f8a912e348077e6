#include "util/IntegerText.h"

#include "util/Exception.h"

#include <gtest/gtest.h>

namespace {

std::int32_t Parsed(std::string_view Text)
{
    std::int32_t value = -12345;
    EXPECT_TRUE(TryStrToInt(Text, value)) << Text;
    return value;
}

TEST(IntegerText, ReadsDecimalAndHexadecimalForms)
{
    EXPECT_EQ(Parsed("0"), 0);
    EXPECT_EQ(Parsed("007"), 7);
    EXPECT_EQ(Parsed("65536"), 65536);
    EXPECT_EQ(Parsed("  -5"), -5);
    EXPECT_EQ(Parsed("+7"), 7);
    EXPECT_EQ(Parsed("$10"), 16);
    EXPECT_EQ(Parsed("0x8000"), 32768);
    EXPECT_EQ(Parsed("0XfF"), 255);
    EXPECT_EQ(Parsed("-$10"), -16);
    EXPECT_EQ(Parsed("2147483647"), 2147483647);
    EXPECT_EQ(Parsed("-2147483648"), INT32_MIN);
    EXPECT_EQ(Parsed("$7FFFFFFF"), 2147483647);
    EXPECT_EQ(StrToInt("0x10"), 16);
}

TEST(IntegerText, RefusesEverythingElseAndLeavesTheValue)
{
    for (const char* text : {"", " ", "-", "$", "0x", "abc", "12a", "1 ", "1.5", "\"1\"", "2147483648",
                             "-2147483649", "$80000000", "0xFFFFFFFF", "99999999999999999999", "ten", "$-1",
                             "0x1g", "4294967296", "0x100000000"}) {
        std::int32_t value = 42;
        EXPECT_FALSE(TryStrToInt(text, value)) << text;
        EXPECT_EQ(value, 42) << text;
    }
    EXPECT_THROW(StrToInt("abc"), Exception);
}

} // namespace
