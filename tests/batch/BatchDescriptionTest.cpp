// --help, the manual page and the bash completion are printed from one table of options: they
// name the same options, and the parser takes every one of them.

#include "run/BatchOptionTable.h"
#include "run/BatchOptions.h"
#include "tests/common/BatchTestBase.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

using Names = std::set<std::string>;

// The option names in Text, as "-x" and "--long".
Names OptionsIn(const std::string& Text)
{
    Names Found;
    const std::regex Option(R"((?:^|[\s,|'])(--?[A-Za-z0-9][A-Za-z0-9-]*))");
    for (auto It = std::sregex_iterator(Text.begin(), Text.end(), Option); It != std::sregex_iterator(); ++It)
        Found.insert((*It)[1]);
    return Found;
}

// The heads of --help's option entries: the lines before the description column.
Names HelpOptions(const std::string& Help)
{
    std::istringstream Lines(Help.substr(Help.find("Options:\n"), Help.find("\n\n", Help.find("Options:\n")) -
                                                                      Help.find("Options:\n")));
    Names Found;
    for (std::string Line; std::getline(Lines, Line);)
        if (Line.starts_with("  -") || Line.starts_with("      --"))
            Found.merge(OptionsIn(Line.substr(0, std::min<std::size_t>(Line.size(), 26))));
    return Found;
}

// The entries of the manual page: the bold names at the start of a tagged paragraph.
Names ManualOptions(std::string Page)
{
    for (std::size_t At; (At = Page.find("\\-")) != std::string::npos;)
        Page.replace(At, 2, "-");
    for (const char* Font : {"\\fB", "\\fR", "\\fI"})
        for (std::size_t At; (At = Page.find(Font)) != std::string::npos;)
            Page.erase(At, 3);
    std::istringstream Lines(Page);
    Names Found;
    bool Tagged = false;
    for (std::string Line; std::getline(Lines, Line);) {
        if (Tagged && Line.starts_with("-"))
            Found.merge(OptionsIn(Line.substr(0, Line.find(' ', Line.find("--") == 0 ? 0 : 4))));
        Tagged = Line == ".TP";
    }
    return Found;
}

Names CompletionOptions(const std::string& Script)
{
    const std::size_t Start = Script.find("compgen -W '", Script.find("$cur == -*"));
    const std::size_t End = Script.find('\'', Start + 12);
    return OptionsIn(Script.substr(Start + 12, End - Start - 12));
}

class BatchDescriptionTest : public lmvtest::TBatchTest {};

TEST_F(BatchDescriptionTest, HelpManualPageAndCompletionNameTheSameOptions)
{
    const lmvtest::TProcessOutcome Help = Run({"--help"});
    ASSERT_EQ(Help.Status, 0);
    const Names FromHelp = HelpOptions(Help.Out);
    Names FromTable;
    for (const TBatchOption& Option : BatchOptionTable()) {
        if (Option.Short != 0)
            FromTable.insert(std::string("-") + Option.Short);
        if (*Option.Long != '\0')
            FromTable.insert(Option.Long);
    }
    EXPECT_EQ(FromHelp, FromTable);
    EXPECT_TRUE(FromHelp.count("--jobs") && FromHelp.count("-0") && FromHelp.count("-c")) << Help.Out;
    const std::string Data = lmvtest::BinDir() + "/../data/";
    EXPECT_EQ(ManualOptions(lmvtest::ReadFile(Data + "lumiva-batch.1")), FromHelp);
    EXPECT_EQ(CompletionOptions(lmvtest::ReadFile(Data + "lumiva-batch.bash-completion")), FromHelp);
    // The installed completion is the one the program prints.
    EXPECT_EQ(lmvtest::ReadFile(Data + "lumiva-batch.bash-completion"), Run({"--bash-completion"}).Out);
}

// Every option of the table reaches the parser: none is described and then refused.
TEST(BatchOptionTable, TheParserTakesEveryOptionDescribed)
{
    for (const TBatchOption& Option : BatchOptionTable()) {
        for (const std::string& Name : {std::string(Option.Long), Option.Short ? std::string("-") + Option.Short : ""}) {
            if (Name.empty())
                continue;
            std::vector<std::string> Args{Name};
            if (Option.Value)
                Args.push_back(Option.Kind == TValueKind::Words ? std::string(Option.Words).substr(0, std::string(Option.Words).find(' '))
                               : Option.Kind == TValueKind::Text && Name == "--jobs" ? "2"
                               : Option.Kind == TValueKind::Text && Name == "--buffer-size" ? "100"
                                                                                 : "x");
            Args.push_back("a.txt");
            if (Name == "--null" || Name == "-0")
                Args.insert(Args.begin(), {"--files-from", "names"});
            if (Name == "--output-dir")
                Args[1] = "/tmp/x";
            TBatchOptions Batch;
            try {
                Batch.Parse(Args);
            } catch (const TBatchOptions::EUsageError& E) {
                ADD_FAILURE() << Name << ": " << E.what();
            }
        }
    }
}

} // namespace
