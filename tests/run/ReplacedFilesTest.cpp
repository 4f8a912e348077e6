#include "run/ReplacedFiles.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using lmvtest::TempDir;
using lmvtest::WriteFile;

TEST(ReplacedFiles, AFileIsKnownByEveryNameAndAMissingNameByNone)
{
    TempDir dir;
    WriteFile(dir / "a.txt", "a");
    WriteFile(dir / "b.txt", "b");
    ASSERT_EQ(::link((dir / "a.txt").c_str(), (dir / "hard.txt").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "a.txt").c_str(), (dir / "soft.txt").c_str()), 0);

    TReplacedFiles replaced;
    // A file that vanished before it could be remembered leaves no mark that others match.
    replaced.Add(dir / "vanished.txt");
    EXPECT_FALSE(replaced.Contains(dir / "missing.txt"));
    EXPECT_FALSE(replaced.Contains(dir / "vanished.txt"));

    replaced.Add(dir / "a.txt");
    EXPECT_TRUE(replaced.Contains(dir / "a.txt"));
    EXPECT_TRUE(replaced.Contains(dir / "hard.txt"));
    EXPECT_TRUE(replaced.Contains(dir / "soft.txt"));
    EXPECT_FALSE(replaced.Contains(dir / "b.txt"));
    EXPECT_FALSE(replaced.Contains(dir / "missing.txt"));
}

} // namespace
