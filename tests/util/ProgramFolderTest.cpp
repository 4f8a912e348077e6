#include "util/ProgramFolder.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable)
{
    const std::string Folder = ProgramFolder();
    ASSERT_FALSE(Folder.empty());
    EXPECT_EQ(Folder.back(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(Folder, lmvtest::BinDir()));
    EXPECT_EQ(ProgramFolderFile("liblumiva-iconv.so"), Folder + "liblumiva-iconv.so");
}

TEST(ProgramFolder, NameWithAFolderIsTakenAsItIs)
{
    EXPECT_EQ(ProgramFolderFile("/opt/x/lib.so"), "/opt/x/lib.so");
    EXPECT_EQ(ProgramFolderFile("sub/lib.so"), "sub/lib.so");
}

} // namespace
