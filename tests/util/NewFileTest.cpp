#include "util/FolderCache.h"
#include "util/NewFile.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using lmvtest::ListDir;
using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;
using TNames = std::vector<std::string>;

void Write(const TNewFile& File, const std::string& Text)
{
    ASSERT_EQ(::write(File.Handle(), Text.data(), Text.size()), static_cast<ssize_t>(Text.size()));
}

// Both ways of making the file: unnamed, and the hidden named file of file systems without.
class NewFile : public testing::TestWithParam<bool> {
protected:
    std::shared_ptr<TFolderHandle> Folder() { return Folders.Folder(Dir.Path() + "/"); }

    TempDir Dir;
    TFolderCache Folders;
};

TEST_P(NewFile, IsInvisibleOrHiddenUntilPlacedAndNeverTakesAnExistingName)
{
    WriteFile(Dir / "taken", "old");
    TNewFile file(Folder(), GetParam());
    ASSERT_GE(file.Handle(), 0);
    Write(file, "new text");
    if (GetParam()) {
        EXPECT_EQ(file.Name(), "");
        EXPECT_EQ(ListDir(Dir.Path()), TNames{"taken"});
    } else {
        EXPECT_EQ(file.Name().rfind(Dir.Path() + "/.lmv", 0), 0u) << file.Name();
        EXPECT_EQ(ListDir(Dir.Path()).size(), 2u);
    }

    EXPECT_FALSE(file.Link("taken"));
    EXPECT_EQ(ReadFile(Dir / "taken"), "old");
    EXPECT_TRUE(file.Discard());
    EXPECT_EQ(ListDir(Dir.Path()), TNames{"taken"});
}

TEST_P(NewFile, LinkAndReplacePutTheWholeFileInPlace)
{
    {
        TNewFile file(Folder(), GetParam());
        Write(file, "first");
        EXPECT_TRUE(file.Link("a"));
    }
    {
        TNewFile file(Folder(), GetParam());
        Write(file, "second");
        EXPECT_TRUE(file.Replace("a"));
        EXPECT_FALSE(file.Link("b")) << "placed once only";
    }
    EXPECT_EQ(ReadFile(Dir / "a"), "second");
    EXPECT_EQ(ListDir(Dir.Path()), TNames{"a"});
}

// A folder that cannot be replaced into (the name is a folder with content) keeps everything.
TEST_P(NewFile, AFailedReplaceLeavesNothing)
{
    std::filesystem::create_directories(Dir / "folder/inside");
    {
        TNewFile file(Folder(), GetParam());
        Write(file, "text");
        EXPECT_FALSE(file.Replace("folder"));
    }
    EXPECT_EQ(ListDir(Dir.Path()), TNames{"folder"});
    EXPECT_EQ(ListDir(Dir / "folder"), TNames{"inside"});
}

INSTANTIATE_TEST_SUITE_P(Ways, NewFile, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& Info) { return Info.param ? "Unnamed" : "Named"; });

TEST(FolderCache, LocatesThroughLinksAndReusesTheLastFolder)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "real");
    WriteFile(dir / "real/file", "text");
    std::filesystem::create_symlink("real/file", dir / "link");
    std::filesystem::create_symlink("loop", dir / "loop");

    TFolderCache folders;
    TLanding landing;
    ASSERT_TRUE(folders.Locate(dir / "link", landing));
    EXPECT_TRUE(landing.Exists);
    EXPECT_EQ(landing.Path, dir / "real/file");
    EXPECT_EQ(landing.Name, "file");
    EXPECT_EQ(folders.Folder(dir / "real/"), landing.Folder) << "the last folder is not opened again";

    ASSERT_TRUE(folders.Locate(dir / "real/none", landing));
    EXPECT_TRUE(landing.LookedUp);
    EXPECT_FALSE(landing.Exists);
    ASSERT_TRUE(folders.Locate(dir / "real/" + std::string(300, 'n'), landing));
    EXPECT_FALSE(landing.LookedUp);
    ASSERT_TRUE(folders.Locate(dir / "missing/file", landing));
    EXPECT_EQ(landing.Folder, nullptr);
    EXPECT_FALSE(folders.Locate(dir / "loop", landing));
}

} // namespace
