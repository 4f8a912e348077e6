#include "util/BeneathPath.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

std::string ReadAllOf(const TFd& Fd)
{
    std::string text(64, '\0');
    const ssize_t n = ReadUpTo(Fd.Get(), text.data(), text.size());
    return n < 0 ? "(unreadable)" : text.substr(0, static_cast<std::size_t>(n));
}

// Every case runs through openat2 and through the openat-per-part way of older kernels.
class BeneathPath : public testing::TestWithParam<bool> {
protected:
    BeneathPath()
    {
        std::filesystem::create_directories(Dir / "tree/a/b");
        std::filesystem::create_directories(Dir / "outside/b");
        WriteFile(Dir / "tree/a/b/in.txt", "inside");
        WriteFile(Dir / "outside/b/in.txt", "outside");
        WriteFile(Dir / "outside/far.txt", "far");
        Root = TFd(::open((Dir / "tree").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }

    TFd Open(const std::string& Relative) { return OpenBeneath(Root.Get(), Relative, O_RDONLY, GetParam()); }

    TempDir Dir;
    TFd Root;
};

TEST_P(BeneathPath, OpensWhatLiesBelowAndRefusesEveryLinkAndEveryWayOut)
{
    EXPECT_EQ(ReadAllOf(Open("a/b/in.txt")), "inside");
    const TFd folder = OpenBeneath(Root.Get(), "a/b", O_PATH | O_DIRECTORY, GetParam());
    ASSERT_GE(folder.Get(), 0);
    EXPECT_EQ(ReadAllOf(TFd(::openat(folder.Get(), "in.txt", O_RDONLY))), "inside");

    // A folder on the way swapped for a link to a look-alike outside, a link as the last part,
    // and names that climb out: none is opened.
    std::filesystem::rename(Dir / "tree/a", Dir / "tree/a.old");
    std::filesystem::create_directory_symlink(Dir / "outside", Dir / "tree/a");
    std::filesystem::create_symlink(Dir / "outside/far.txt", Dir / "tree/far.txt");
    std::filesystem::create_directory_symlink("../outside", Dir / "tree/up");
    const std::vector<std::string> refused{"a/b/in.txt",      "far.txt",         "up/far.txt",
                                           "../outside/far.txt", "a.old/../../outside/far.txt", "/etc/hostname",
                                           "a.old//b/in.txt", std::string("a.old/b/in.txt\0x", 16)};
    for (const std::string& relative : refused) {
        SCOPED_TRACE(relative);
        errno = 0;
        EXPECT_LT(Open(relative).Get(), 0);
        EXPECT_NE(errno, 0);
    }
    EXPECT_LT(OpenBeneath(Root.Get(), "a/b", O_PATH | O_DIRECTORY, GetParam()).Get(), 0);
    EXPECT_EQ(ReadAllOf(Open("a.old/b/in.txt")), "inside");
}

INSTANTIATE_TEST_SUITE_P(Ways, BeneathPath, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& Info) { return Info.param ? "Openat2" : "PerPart"; });

TEST(MakeFoldersBeneath, MakesWhatIsMissingOnceAndNeverThroughALink)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "out/a");
    std::filesystem::create_directories(dir / "outside");
    const TFd root(::open((dir / "out").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::vector<std::string> made;
    const auto onMade = [&made](const std::string& Made) { made.push_back(Made); };
    std::string failed = "stale";

    const TFd folder = MakeFoldersBeneath(root.Get(), "a/b/c", onMade, failed);
    ASSERT_GE(folder.Get(), 0);
    EXPECT_EQ(made, (std::vector<std::string>{"a/b", "a/b/c"}));
    EXPECT_EQ(failed, "");
    const TFd file(::openat(folder.Get(), "x.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    EXPECT_GE(file.Get(), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "out/a/b/c/x.txt"));
    made.clear();
    EXPECT_GE(MakeFoldersBeneath(root.Get(), "a/b/c", onMade, failed).Get(), 0);
    EXPECT_TRUE(made.empty());

    // A link where a folder belongs fails there, and nothing is made where it leads.
    std::filesystem::create_directory_symlink(dir / "outside", dir / "out/a/link");
    std::filesystem::create_symlink(dir / "outside/gone", dir / "out/a/dangling");
    WriteFile(dir / "out/a/file", "");
    for (const std::string part : {"link", "dangling", "file"}) {
        EXPECT_LT(MakeFoldersBeneath(root.Get(), "a/" + part + "/d", onMade, failed).Get(), 0) << part;
        EXPECT_EQ(failed, "a/" + part);
    }
    EXPECT_LT(MakeFoldersBeneath(root.Get(), "a/../../outside", onMade, failed).Get(), 0);
    EXPECT_TRUE(made.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir / "outside"));
}

} // namespace
