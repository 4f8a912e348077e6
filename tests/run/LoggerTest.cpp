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
              (std::vector<std::string>{"plain", "[Error] x", "[Warning] y", "[Error] line\\r\\nbreak"}));
    EXPECT_EQ(log.ErrorCount, 2);
    EXPECT_EQ(log.WarningCount, 1);
    EXPECT_EQ(log.Lines.Text(), "plain\r\n[Error] x\r\n[Warning] y\r\n[Error] line\\r\\nbreak\r\n");
}

// A name may hold any byte but '/' and NUL: none of them may start a line of its own or pass for
// the log's own tab.
TEST(Logger, ControlCharactersAfterTheLeadingTabsAreEscaped)
{
    TLogger log;
    log.WarningPrefix = "[Warning] ";
    log.Add("\t- Source file: /d/a\n... Succeeded");
    log.Add("\t- Source file: /d/t\tab\rcr\x01\x1B[2J\x7F\\n");
    log.AddWarning(std::string("Cannot keep permissions: /d/nul\0", 32));
    log.Add("\t- Source file: /d/caf\xC3\xA9 plain");
    EXPECT_EQ(log.Lines.Strings(), (std::vector<std::string>{
                                       "\t- Source file: /d/a\\n... Succeeded",
                                       "\t- Source file: /d/t\\tab\\rcr\\x01\\x1B[2J\\x7F\\n",
                                       "[Warning] Cannot keep permissions: /d/nul\\x00",
                                       "\t- Source file: /d/caf\xC3\xA9 plain",
                                   }));
}

} // namespace
