// The files a run writes, seen from outside: the names it shows and makes, the attributes its
// results get from their folder, and the work it does per file (counted with strace where that
// can run).

#include "tests/common/Sanitizers.h"
#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"
#include "tests/faults/FaultSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using namespace lmvfault;
using lmvtest::ListDir;
using lmvtest::WriteFile;

const std::string Text = "plain text\n";

class WrittenFiles : public TFolderTest {
protected:
    void SetUp() override
    {
        TFolderTest::SetUp();
        MakeDir(Out);
    }
};

struct stat StatOf(const std::string& Path)
{
    struct stat st {};
    EXPECT_EQ(::stat(Path.c_str(), &st), 0) << Path;
    return st;
}

TEST_F(WrittenFiles, SourceNamesAreTidyInTheLogAndInTheNamesMadeFromThem)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        WriteFile(Src + "/" + name, Text);
    const TOutcome prefixed = Run({"--prefix", "new_", "./src/a.txt", "src//b.txt", Src + "/./c.txt"}, Root.Path());
    const TRunLog log = CheckedLog(prefixed);
    ASSERT_EQ(log.Files.size(), 3u) << prefixed.Describe();
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        ExpectEntry(log, Src + "/" + name, "", prefixed);
        if (const TFileEntry* entry = FindEntry(log, Src + "/" + name)) {
            EXPECT_EQ(entry->Destination, Src + "/new_" + name);
        }
    }

    const TOutcome backedUp = Run({"--overwrite", ".//src/./a.txt"}, Root.Path());
    const TRunLog backupLog = ParseLog(backedUp.Out);
    ExpectEntry(backupLog, Src + "/a.txt", "", backedUp);
    if (const TFileEntry* entry = FindEntry(backupLog, Src + "/a.txt")) {
        EXPECT_EQ(entry->Notes, TNames{"Created backup file: " + Src + "/Backup - a.txt"});
    }
    EXPECT_EQ(ListDir(Src), (TNames{"Backup - a.txt", "a.txt", "b.txt", "c.txt", "new_a.txt", "new_b.txt",
                                    "new_c.txt"}));
}

// A POSIX ACL in the kernel's extended-attribute form: owner, group and others only.
std::string AclValue(unsigned Owner, unsigned Group, unsigned Others)
{
    std::string value;
    auto put = [&value](std::uint32_t Number, int Bytes) {
        for (int i = 0; i < Bytes; ++i)
            value += static_cast<char>((Number >> (8 * i)) & 0xFF);
    };
    put(2, 4); // version
    for (const auto& [tag, perm] : {std::pair{0x01u, Owner}, {0x04u, Group}, {0x20u, Others}}) {
        put(tag, 2);
        put(perm, 2);
        put(0xFFFFFFFFu, 4);
    }
    return value;
}

// A result is made in its folder, not moved in from elsewhere: it gets the folder's default ACL
// (here others may write, which the umask alone would forbid) and, in a set-group-ID folder,
// the folder's group.
TEST_F(WrittenFiles, AResultGetsWhatItsFolderGivesNewFiles)
{
    WriteFile(Src + "/a.txt", Text);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(Out.c_str(), static_cast<uid_t>(-1), 65534), 0);
        ASSERT_EQ(::chmod(Out.c_str(), 02775), 0);
    }
    const std::string acl = AclValue(6, 4, 6);
    const bool withAcl = ::setxattr(Out.c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) == 0;
    const mode_t mask = ::umask(022);
    const TOutcome outcome = Run({"--output-dir", Out, Src + "/a.txt"});
    ::umask(mask);
    ExpectEntry(ParseLog(outcome.Out), Src + "/a.txt", "", outcome);

    const struct stat result = StatOf(Out + "/a.txt");
    EXPECT_EQ(result.st_mode & 07777, withAcl ? 0646u : 0644u);
    if (root) {
        EXPECT_EQ(result.st_gid, 65534u);
    }
    if (!withAcl && !root)
        GTEST_SKIP() << "neither a default ACL nor a group could be set here";
}

// System calls of one run under strace, by name.
std::map<std::string, int> TraceRun(const std::string& Trace, const std::vector<std::string>& Args)
{
    std::string command = "strace -f -qq -o '" + Trace + "' '" + LumivaBatch() + "'";
    for (const std::string& arg : Args)
        command += " '" + arg + "'";
    command += " > /dev/null 2>&1";
    std::map<std::string, int> calls;
    if (std::system(command.c_str()) != 0)
        return calls;
    std::ifstream in(Trace);
    const std::regex call(R"(^\d+\s+([a-z_0-9]+)\()");
    std::string line;
    std::smatch match;
    while (std::getline(in, line))
        if (std::regex_search(line, match, call))
            ++calls[match[1]];
    return calls;
}

int Count(const std::string& Trace, const std::string& Needle)
{
    std::ifstream in(Trace);
    std::string line;
    int found = 0;
    while (std::getline(in, line))
        found += line.find(Needle) != std::string::npos ? 1 : 0;
    return found;
}

// Work per file: the calls that grow with the number of files stay few, the output folder is
// looked up once per run, the umask never read from /proc, and the start searches for nothing.
TEST_F(WrittenFiles, EachFileCostsAFewSystemCalls)
{
    if (std::system("strace -qq -o /dev/null true > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace cannot run here";
    if (lmvtest::UnderAddressSanitizer)
        GTEST_SKIP() << "LeakSanitizer refuses to run under ptrace, and the sanitizers make calls of their own";
    std::vector<std::string> small{"--output-dir", Out};
    std::vector<std::string> large{"--output-dir", Out};
    for (int i = 0; i < 40; ++i) {
        const std::string name = Src + "/f" + std::to_string(100 + i) + ".txt";
        WriteFile(name, Text);
        if (i < 10)
            small.push_back(name);
        large.push_back(name);
    }
    const std::map<std::string, int> few = TraceRun(Root / "few.trace", small);
    std::filesystem::remove_all(Out);
    MakeDir(Out);
    const std::map<std::string, int> many = TraceRun(Root / "many.trace", large);
    ASSERT_FALSE(few.empty());
    ASSERT_FALSE(many.empty());

    int perFile = 0;
    std::string growing;
    for (const auto& [name, calls] : many) {
        const int more = calls - (few.count(name) ? few.at(name) : 0);
        if (more >= 30) {
            perFile += more;
            growing += " " + name + ":" + std::to_string(more / 30.0).substr(0, 4);
        }
    }
    // Nine: look at the name (a folder?), open the result unnamed, open, size, read the source,
    // write, close the source, link the result, close it; the log adds one write at the end.
    EXPECT_LE(perFile, 30 * 9 + 5) << "calls per file:" << growing;
    std::cout << "[ INFO     ] calls per file:" << growing << "\n";
    EXPECT_EQ(Count(Root / "many.trace", "/proc/self/status"), 0);
    // The start looks in no folder where its libraries are not: no run path (an empty entry in
    // one searched the current folder, 19 names for each library).
    EXPECT_LE(Count(Root / "few.trace", "ENOENT"), 40) << "names looked for in vain";
    EXPECT_LE(Count(Root / "many.trace", "\"" + Out + "/\""), 1) << "the output folder is opened once";
    EXPECT_EQ(ListDir(Out).size(), 40u);
}

} // namespace
