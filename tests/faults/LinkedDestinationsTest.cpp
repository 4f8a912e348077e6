// Symbolic links standing where a result or a backup goes: a link counts as an existing file,
// so the question comes first; a link that leads nowhere is replaced by the result itself, and a
// backup never goes through a link. Nothing is ever made at a link's target.

#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"
#include "tests/faults/FaultSupport.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace lmvfault;
using lmvtest::ListDir;
using lmvtest::ReadFile;
using lmvtest::WriteFile;

const std::string Text = "plain text\n";
const std::string Utf16Text = "\xFF\xFE" + Iconv("UTF-8", "UTF-16LE", Text).value();

class LinkedDestinations : public TFolderTest {
protected:
    void SetUp() override
    {
        TFolderTest::SetUp();
        MakeDir(Out);
        MakeDir(Elsewhere);
        WriteFile(Src + "/a.txt", Text);
    }

    static void Link(const std::string& Target, const std::string& Name)
    {
        ASSERT_EQ(::symlink(Target.c_str(), Name.c_str()), 0) << Name;
    }

    static bool IsLink(const std::string& Name)
    {
        struct stat info {};
        return ::lstat(Name.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    }

    const std::string Elsewhere = Root / "elsewhere";
};

TEST_F(LinkedDestinations, ADanglingDestinationIsAskedAboutAndNeverWrittenThrough)
{
    struct TCase {
        std::vector<std::string> Mode;
        std::string Destination;
    };
    const TCase cases[] = {{{"--output-dir", Out}, Out + "/a.txt"}, {{"--prefix", "Output - "}, Src + "/Output - a.txt"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Destination);
        Link(Elsewhere + "/new.txt", c.Destination);
        std::vector<std::string> args = {"--to", "UTF-16", "--answer", "no"};
        args.insert(args.end(), c.Mode.begin(), c.Mode.end());
        args.push_back(Src + "/a.txt");
        const TOutcome refused = Run(args);
        const TRunLog refusedLog = CheckedLog(refused);
        ExpectEntry(refusedLog, Src + "/a.txt",
                    "Not allowed to overwrite existing file with destination file: " + c.Destination, refused);
        EXPECT_TRUE(IsLink(c.Destination));

        args[3] = "yes";
        const TOutcome replaced = Run(args);
        const TRunLog replacedLog = CheckedLog(replaced);
        ExpectEntry(replacedLog, Src + "/a.txt", "", replaced);
        EXPECT_FALSE(IsLink(c.Destination));
        EXPECT_EQ(ReadFile(c.Destination), Utf16Text);
        EXPECT_EQ(ListDir(Elsewhere), TNames{});
    }
}

TEST_F(LinkedDestinations, ABackupReplacesWhateverLinkHasItsName)
{
    WriteFile(Src + "/b.txt", Text);
    WriteFile(Elsewhere + "/kept.txt", "kept\n");
    Link(Elsewhere + "/new.txt", Src + "/Backup - a.txt");
    Link(Elsewhere + "/kept.txt", Src + "/Backup - b.txt");

    const TOutcome refused =
        Run({"--to", "UTF-16", "--overwrite", "--answer", "no", Src + "/a.txt", Src + "/b.txt"});
    const TRunLog refusedLog = CheckedLog(refused);
    ExpectEntry(refusedLog, Src + "/a.txt",
                "Not allowed to overwrite existing file with backup file: " + Src + "/Backup - a.txt", refused);
    EXPECT_EQ(ReadFile(Src + "/a.txt"), Text);

    const TOutcome outcome =
        Run({"--to", "UTF-16", "--overwrite", "--answer", "yes-to-all", Src + "/a.txt", Src + "/b.txt"});
    const TRunLog log = CheckedLog(outcome);
    for (const char* name : {"a.txt", "b.txt"}) {
        SCOPED_TRACE(name);
        ExpectEntry(log, Src + "/" + name, "", outcome);
        EXPECT_FALSE(IsLink(Src + "/Backup - " + name));
        EXPECT_EQ(ReadFile(Src + "/Backup - " + name), Text);
        EXPECT_EQ(ReadFile(Src + "/" + name), Utf16Text);
    }
    EXPECT_EQ(ReadFile(Elsewhere + "/kept.txt"), "kept\n");
    EXPECT_EQ(ListDir(Elsewhere), TNames{"kept.txt"});
}

} // namespace
