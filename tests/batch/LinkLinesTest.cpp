// The command line loads no Qt: neither its own link line nor the objects of the logic libraries
// it is made of may need it, with --as-needed (the shipped program) or without it (a probe of the
// same link line). Every folder's link line names the folders whose headers it includes, and no two
// units of the product reach each other through their includes.

#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& Text, char Separator)
{
    std::vector<std::string> parts;
    std::istringstream stream(Text);
    for (std::string part; std::getline(stream, part, Separator);)
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

std::string Output(const std::vector<std::string>& Argv)
{
    const lmvtest::TProcessOutcome outcome = lmvtest::RunProcess(Argv, lmvtest::Environment({}, {"LC_ALL=C"}));
    EXPECT_EQ(outcome.Status, 0) << Argv[0] << " " << Argv.back() << ": " << outcome.Err;
    return outcome.Out;
}

// The libraries a program or shared library names in its dynamic section.
std::vector<std::string> NeededLibraries(const std::string& File)
{
    std::vector<std::string> needed;
    for (const std::string& line : Split(Output({"/usr/bin/readelf", "-d", "-W", File}), '\n')) {
        const auto open = line.find("(NEEDED)");
        const auto start = line.find('[');
        const auto end = line.rfind(']');
        if (open != std::string::npos && start != std::string::npos && end > start)
            needed.push_back(line.substr(start + 1, end - start - 1));
    }
    return needed;
}

// Symbol names (mangled) from one column of nm's output.
std::set<std::string> Symbols(const std::vector<std::string>& Argv)
{
    std::set<std::string> symbols;
    for (const std::string& line : Split(Output(Argv), '\n')) {
        const auto space = line.rfind(' ');
        const std::string name = space == std::string::npos ? line : line.substr(space + 1);
        if (!name.empty() && name.back() != ':')
            symbols.insert(name.substr(0, name.find('@')));
    }
    return symbols;
}

std::vector<std::string> QtLibraries()
{
    return Split(LUMIVA_QT_LIBRARIES, ':');
}

TEST(LinkLines, TheCommandLineNeedsNoQtWithOrWithoutAsNeeded)
{
    for (const std::string program : {"lumiva-batch", "lumiva-batch-no-as-needed"}) {
        const std::vector<std::string> needed = NeededLibraries(lmvtest::BinDir() + "/" + program);
        EXPECT_FALSE(needed.empty()) << program;
        for (const std::string& library : needed)
            EXPECT_EQ(library.find("Qt"), std::string::npos) << program << " needs " << library;
    }
    // The probe is a real measure: the window's program, linked the same way, needs Qt.
    bool windowNeedsQt = false;
    for (const std::string& library : NeededLibraries(lmvtest::BinDir() + "/lumiva"))
        windowNeedsQt = windowNeedsQt || library.find("Qt6Core") != std::string::npos;
    EXPECT_TRUE(windowNeedsQt);
}

TEST(LinkLines, NoObjectOfALogicLibraryCallsIntoQt)
{
    std::set<std::string> qt;
    for (const std::string& library : QtLibraries()) {
        const std::set<std::string> defined = Symbols({"/usr/bin/nm", "-D", "--defined-only", library});
        qt.insert(defined.begin(), defined.end());
    }
    ASSERT_GT(qt.size(), 1000u);
    for (const std::string& archive : Split(LUMIVA_LOGIC_ARCHIVES, ':')) {
        std::vector<std::string> calls;
        for (const std::string& symbol : Symbols({"/usr/bin/nm", "-u", archive}))
            if (qt.count(symbol) > 0)
                calls.push_back(symbol);
        EXPECT_TRUE(calls.empty()) << archive << " calls " << calls.front() << " and " << calls.size() - 1
                                   << " more Qt symbols";
    }
    // The check sees Qt where it is used.
    std::size_t windowCalls = 0;
    for (const std::string& symbol : Symbols({"/usr/bin/nm", "-u", LUMIVA_UI_ARCHIVE}))
        windowCalls += qt.count(symbol);
    EXPECT_GT(windowCalls, 0u);
}

// What each folder's link line in CMakeLists.txt names: folder -> the folders of its lumiva_ libraries.
std::map<std::string, std::set<std::string>> LinkLines()
{
    std::ifstream file(lmvtest::SourceDir() + "/CMakeLists.txt");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::map<std::string, std::set<std::string>> lines;
    const auto named = [](const std::string& Items) {
        std::set<std::string> folders;
        std::istringstream words(Items);
        for (std::string word; words >> word;)
            if (word.starts_with("lumiva_"))
                folders.insert(word.substr(7));
        return folders;
    };
    const std::regex library(R"(lumiva_folder_library\(lumiva_\w+ (\w+)([^)]*)\))");
    for (auto match = std::sregex_iterator(text.begin(), text.end(), library); match != std::sregex_iterator(); ++match)
        lines[(*match)[1]] = named((*match)[2]);
    const std::regex batch(R"(target_link_libraries\(lumiva-batch PRIVATE([^)]*)\))");
    std::smatch match;
    if (std::regex_search(text, match, batch))
        lines["batch"] = named(match[1]);
    return lines;
}

TEST(LinkLines, EveryFolderNamesTheFoldersWhoseHeadersItIncludes)
{
    const std::map<std::string, std::set<std::string>> lines = LinkLines();
    ASSERT_GE(lines.size(), 10u);
    ASSERT_TRUE(lines.count("batch"));
    const std::regex include(R"re(#include "(\w+)/)re");
    std::size_t across = 0;
    for (const auto& [folder, names] : lines) {
        for (const auto& entry : std::filesystem::directory_iterator(lmvtest::SourceDir() + "/" + folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h")
                continue;
            std::ifstream source(entry.path());
            for (std::string line; std::getline(source, line);) {
                std::smatch match;
                if (!std::regex_search(line, match, include) || match[1] == folder || !lines.count(match[1]))
                    continue;
                ++across;
                EXPECT_TRUE(names.count(match[1])) << entry.path().filename().string() << " includes "
                                                   << match[1] << "/, which " << folder << "'s link line does not name";
            }
        }
    }
    EXPECT_GT(across, 100u);
}

// Per unit of the product (a header and its source, named by path without the extension): the
// units whose headers its files include.
std::map<std::string, std::set<std::string>> UnitIncludes()
{
    std::set<std::string> folders{"libiconv"};
    for (const auto& [folder, names] : LinkLines())
        folders.insert(folder);
    const std::filesystem::path root = lmvtest::SourceDir();
    const std::regex include(R"re(^\s*#\s*include "([\w/]+)\.h")re");
    std::map<std::string, std::set<std::string>> includes;
    for (const std::string& folder : folders) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h")
                continue;
            const std::string unit = entry.path().lexically_relative(root).replace_extension().generic_string();
            std::set<std::string>& reached = includes[unit];
            std::ifstream source(entry.path());
            for (std::string line; std::getline(source, line);) {
                std::smatch match;
                if (std::regex_search(line, match, include) && match[1] != unit)
                    reached.insert(match[1]);
            }
        }
    }
    return includes;
}

// Every unit reachable from Unit through Includes.
std::set<std::string> Reachable(const std::map<std::string, std::set<std::string>>& Includes, const std::string& Unit)
{
    std::set<std::string> seen;
    std::vector<std::string> next{Unit};
    while (!next.empty()) {
        const std::string unit = next.back();
        next.pop_back();
        const auto found = Includes.find(unit);
        if (found == Includes.end())
            continue;
        for (const std::string& reached : found->second)
            if (seen.insert(reached).second)
                next.push_back(reached);
    }
    return seen;
}

TEST(LinkLines, NoTwoUnitsReachEachOtherThroughTheirIncludes)
{
    const std::map<std::string, std::set<std::string>> includes = UnitIncludes();
    std::size_t edges = 0;
    for (const auto& [unit, reached] : includes)
        edges += reached.size();
    ASSERT_GT(includes.size(), 100u);
    ASSERT_GT(edges, 300u);
    std::map<std::string, std::set<std::string>> reach;
    for (const auto& [unit, reached] : includes)
        reach[unit] = Reachable(includes, unit);
    std::set<std::string> reported;
    for (const auto& [unit, reachable] : reach) {
        if (reported.count(unit))
            continue;
        std::string circle = unit;
        for (const std::string& other : reachable)
            if (other != unit && reach.count(other) && reach.at(other).count(unit)) {
                circle += " <-> " + other;
                reported.insert(other);
            }
        EXPECT_EQ(circle, unit) << "these units reach each other through their includes";
    }
}

} // namespace
