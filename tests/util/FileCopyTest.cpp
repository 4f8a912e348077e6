#include "util/FileCopy.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

using lmvtest::ListDir;
using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

std::string RandomBytes(std::size_t Size)
{
    std::mt19937 random(12345);
    std::string bytes(Size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

mode_t ModeOf(const std::string& Path)
{
    struct stat st;
    EXPECT_EQ(::lstat(Path.c_str(), &st), 0) << Path;
    return st.st_mode;
}

class UmaskScope {
public:
    explicit UmaskScope(mode_t Mask) : Old(::umask(Mask)) {}
    ~UmaskScope() { ::umask(Old); }

private:
    mode_t Old;
};

// The copy in a child whose files may not grow beyond Limit bytes, as on a full disk.
std::string CopyWithFileSizeLimit(const std::string& Source, const std::string& Target, std::uint64_t Limit)
{
    return lmvtest::WithFileSizeLimit(Limit, [&] { return std::string(CopyFileReplace(Source, Target) ? "copied" : "failed"); });
}

// The platform's copy: the copy carries the source's bits and modification time, whatever the
// umask and whatever the file it replaces had.
TEST(CopyFileReplace, ACopyIsFaithfulToTheSourceAndLeavesNothingElse)
{
    TempDir dir;
    const std::string content = RandomBytes(3 * 1024 * 1024 + 17);
    WriteFile(dir / "source", content);
    ::chmod((dir / "source").c_str(), 0640);
    const struct timespec times[2] = {{1000000000, 0}, {1234567890, 5000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "source").c_str(), times, 0), 0);
    WriteFile(dir / "old", "old text that is longer");
    ::chmod((dir / "old").c_str(), 0666);

    {
        const UmaskScope mask(077);
        ASSERT_TRUE(CopyFileReplace(dir / "source", dir / "target"));
        ASSERT_TRUE(CopyFileReplace(dir / "source", dir / "old"));
    }
    for (const char* name : {"target", "old"}) {
        struct stat st;
        ASSERT_EQ(::stat((dir / name).c_str(), &st), 0);
        EXPECT_EQ(ReadFile(dir / name), content) << name;
        EXPECT_EQ(st.st_mode & 07777, 0640u) << name;
        EXPECT_EQ(st.st_mtim.tv_sec, 1234567890) << name;
        EXPECT_EQ(st.st_mtim.tv_nsec, 5000) << name;
    }
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"old", "source", "target"}));
}

TEST(CopyFileReplace, CopiesAnEmptyFile)
{
    TempDir dir;
    WriteFile(dir / "source", "");
    WriteFile(dir / "target", "old text");
    ASSERT_TRUE(CopyFileReplace(dir / "source", dir / "target"));
    EXPECT_EQ(ReadFile(dir / "target"), "");
}

TEST(CopyFileReplace, ReplacesTheFileBehindASymbolicLinkAndKeepsTheLink)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    std::filesystem::create_directory(dir / "links");
    WriteFile(dir / "source", "new text");
    ::chmod((dir / "source").c_str(), 0640);
    WriteFile(dir / "real/file", "old text");
    // A relative link, resolved against the link's own folder, reached through a second link.
    std::filesystem::create_symlink("../real/file", dir / "links/first");
    std::filesystem::create_symlink("first", dir / "links/second");

    ASSERT_TRUE(CopyFileReplace(dir / "source", dir / "links/second"));
    EXPECT_TRUE(S_ISLNK(ModeOf(dir / "links/first")));
    EXPECT_TRUE(S_ISLNK(ModeOf(dir / "links/second")));
    EXPECT_EQ(std::filesystem::read_symlink(dir / "links/second"), "first");
    EXPECT_EQ(ReadFile(dir / "real/file"), "new text");
    EXPECT_EQ(ModeOf(dir / "real/file") & 07777, 0640u);
    EXPECT_EQ(ListDir(dir / "links"), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(ListDir(dir / "real"), (std::vector<std::string>{"file"}));
}

TEST(CopyFileReplace, RefusesDirectoriesAndMissingFilesWithoutTouchingAnything)
{
    TempDir dir;
    WriteFile(dir / "source", "text");
    std::filesystem::create_directory(dir / "folder");
    WriteFile(dir / "folder/inside", "kept");
    WriteFile(dir / "target", "old");

    EXPECT_FALSE(CopyFileReplace(dir / "source", dir / "folder"));
    EXPECT_FALSE(CopyFileReplace(dir / "source", dir / "folder/"));
    EXPECT_FALSE(CopyFileReplace(dir / "folder", dir / "target"));
    EXPECT_FALSE(CopyFileReplace(dir / "missing", dir / "target"));
    EXPECT_FALSE(CopyFileReplace(dir / "source", dir / "nowhere/target"));
    EXPECT_FALSE(CopyFileReplace(dir / "source", ""));

    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
    EXPECT_EQ(ListDir(dir / "folder"), (std::vector<std::string>{"inside"}));
    EXPECT_EQ(ReadFile(dir / "target"), "old");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"folder", "source", "target"}));
}

// A file its owner made read-only is not replaced, while a writable one beside it is: by root
// too, whom access() lets write anything, and by an ordinary user (a child that has become one).
TEST(CopyFileReplace, LeavesAReadOnlyFileAlone)
{
    {
        TempDir own;
        WriteFile(own / "source", "new");
        WriteFile(own / "locked", "old");
        ::chmod((own / "locked").c_str(), 0444);
        EXPECT_FALSE(CopyFileReplace(own / "source", own / "locked"));
        EXPECT_EQ(ReadFile(own / "locked"), "old");
        EXPECT_EQ(ListDir(own.Path()), (std::vector<std::string>{"locked", "source"}));
    }

    TempDir dir;
    WriteFile(dir / "source", "new");
    WriteFile(dir / "locked", "old");
    WriteFile(dir / "open", "old");
    ::chmod(dir.Path().c_str(), 0777);
    ::chmod((dir / "source").c_str(), 0644);
    ::chmod((dir / "locked").c_str(), 0444);
    const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid();
    ASSERT_EQ(::chown((dir / "locked").c_str(), user, static_cast<gid_t>(-1)), 0);
    ASSERT_EQ(::chown((dir / "open").c_str(), user, static_cast<gid_t>(-1)), 0);

    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(user) != 0))
            ::_exit(9);
        const bool locked = CopyFileReplace(dir / "source", dir / "locked");
        const bool open = CopyFileReplace(dir / "source", dir / "open");
        ::_exit((locked ? 1 : 0) | (open ? 2 : 0));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(ReadFile(dir / "locked"), "old");
    EXPECT_EQ(ReadFile(dir / "open"), "new");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"locked", "open", "source"}));
}

TEST(CopyFileReplace, AFullDiskLeavesTheTargetAsItWasAndNoPartialFile)
{
    TempDir dir;
    const std::string content = RandomBytes(256 * 1024);
    WriteFile(dir / "source", content);
    const std::string old = RandomBytes(1000);
    WriteFile(dir / "target", old);
    ::chmod((dir / "target").c_str(), 0604);

    EXPECT_EQ(CopyWithFileSizeLimit(dir / "source", dir / "target", 64 * 1024), "failed");
    EXPECT_EQ(ReadFile(dir / "target"), old);
    EXPECT_EQ(ModeOf(dir / "target") & 07777, 0604u);
    EXPECT_EQ(CopyWithFileSizeLimit(dir / "source", dir / "fresh", 64 * 1024), "failed");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"source", "target"}));

    // The same copy with room enough succeeds, so the limit is what failed it.
    EXPECT_EQ(CopyWithFileSizeLimit(dir / "source", dir / "target", 1024 * 1024), "copied");
    EXPECT_EQ(ReadFile(dir / "target"), content);
}

} // namespace

