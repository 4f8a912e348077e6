#include "run/Logger.h"

#include <gtest/gtest.h>

namespace {

TEST(Logger, PrefixesAndCountsErrorsAndWarnings)
{
    TLogger fresh;
    EXPECT_TRUE(fresh.Lines.Empty());
    fresh.AddError("bare");
    EXPECT_EQ(fresh.Lines[0], "bare");
    EXPECT_EQ(fresh.ErrorCount, 1);

    TLogger log;
    log.ErrorPrefix = "[Error] ";
    log.WarningPrefix = "[Warning] ";
    log.Add("plain");
    log.AddError("x");
    log.AddWarning("y");
    log.AddError("line\r\nbreak");
    EXPECT_EQ(log.Lines.Strings(),
              (std::vector<std::string>{"plain", "[Error] x", "[Warning] y", "[Error] line\r\nbreak"}));
    EXPECT_EQ(log.ErrorCount, 2);
    EXPECT_EQ(log.WarningCount, 1);
    EXPECT_EQ(log.Lines.Text(), "plain\r\n[Error] x\r\n[Warning] y\r\n[Error] line\r\nbreak\r\n");
}

} // namespace
