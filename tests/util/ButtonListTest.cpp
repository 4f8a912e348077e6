#include "util/ButtonList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::string> Parse(const std::string& Text)
{
    TStringList buttons;
    ParseButtonList(Text, buttons);
    return buttons.Strings();
}

using Captions = std::vector<std::string>;

TEST(ButtonList, CommasAndBlanks)
{
    // Two commas in a row: an empty caption between the neighbours.
    EXPECT_EQ(Parse("a,,b"), (Captions{"a", "", "b"}));
    // A trailing comma: a final empty caption.
    EXPECT_EQ(Parse("a,b,"), (Captions{"a", "b", ""}));
    EXPECT_EQ(Parse(","), (Captions{"", ""}));
    // Blanks and control characters around commas are dropped.
    EXPECT_EQ(Parse("  a ,\t b\r\n, c  "), (Captions{"a", "b", "c"}));
    // An unquoted caption ends at a blank: what follows is the next caption.
    EXPECT_EQ(Parse("Yes to All"), (Captions{"Yes", "to", "All"}));
    EXPECT_EQ(Parse(""), Captions{});
    EXPECT_EQ(Parse(" \t "), Captions{});
}

TEST(ButtonList, QuotedCaptions)
{
    // Commas and spaces inside quotes belong to the caption.
    EXPECT_EQ(Parse("\" a, b \",c"), (Captions{" a, b ", "c"}));
    // A doubled quote inside quotes is one quote character.
    EXPECT_EQ(Parse("\"Say \"\"Hi\"\"\",x"), (Captions{"Say \"Hi\"", "x"}));
    EXPECT_EQ(Parse("\"\",\"\"\"\""), (Captions{"", "\""}));
    // A missing closing quote takes the rest of the text.
    EXPECT_EQ(Parse("a,\"b, c"), (Captions{"a", "b, c"}));
    // A quote inside an unquoted caption is an ordinary character.
    EXPECT_EQ(Parse("a\"b,c"), (Captions{"a\"b", "c"}));
}

TEST(ButtonList, FillingReplacesTheList)
{
    TStringList buttons{"old"};
    ParseButtonList("new", buttons);
    EXPECT_EQ(buttons.Strings(), Captions{"new"});
}

TEST(ButtonList, NulEndsTheText)
{
    EXPECT_EQ(Parse(std::string("a,b\0,c", 6)), (Captions{"a", "b"}));
}

} // namespace
