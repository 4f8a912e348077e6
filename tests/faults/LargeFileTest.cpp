// A source beyond 4 GiB streams like any other: no 32-bit size or offset anywhere on its way.
// Slow (it writes 8 GiB twice), so only scripts/slow-tests.sh runs it.

#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"
#include "tests/faults/FaultSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t GiB = 1ull << 30;
constexpr std::uint64_t SourceSize = 4 * GiB + (1u << 20);
// Marked places: the 2 GiB and 4 GiB edges and the last byte.
const std::vector<std::uint64_t> Marks = {0, 2 * GiB - 1, 2 * GiB, 4 * GiB - 1, 4 * GiB, SourceSize - 1};

std::string ReadAt(int Fd, std::uint64_t Offset, std::size_t Size)
{
    std::string bytes(Size, '\x7F');
    const ssize_t n = ::pread(Fd, bytes.data(), Size, static_cast<off_t>(Offset));
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

TEST(LargeFile, SLOW_SparseSourceBeyond4GiBConvertsToTwiceItsSize)
{
    lmvtest::TempDir root;
    struct statvfs disk {};
    ASSERT_EQ(::statvfs(root.Path().c_str(), &disk), 0);
    // The temporary file and the destination exist together for a moment.
    if (static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize < 4 * SourceSize + GiB)
        GTEST_SKIP() << "not enough free disk space for two 8 GiB files";

    const std::string source = root / "big.txt";
    {
        const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(SourceSize)), 0);
        for (const std::uint64_t mark : Marks)
            ASSERT_EQ(::pwrite(fd, "A", 1, static_cast<off_t>(mark)), 1);
        ::close(fd);
    }
    lmvfault::MakeDir(root / "tmp");

    lmvfault::TLaunch launch;
    launch.Args = {"--to", "UTF-16LE", "--output-dir", root / "out", source};
    launch.TmpDir = root / "tmp";
    const lmvfault::TOutcome outcome = lmvfault::RunBatch(launch);

    ASSERT_EQ(outcome.ExitCode, 0) << outcome.Describe();
    EXPECT_EQ(lmvtest::ListDir(root / "tmp"), std::vector<std::string>{});
    ::unlink(source.c_str());
    const std::string result = root / "out/big.txt";
    const int fd = ::open(result.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    struct stat info {};
    ASSERT_EQ(::fstat(fd, &info), 0);
    EXPECT_EQ(static_cast<std::uint64_t>(info.st_size), 2 * SourceSize);
    // Every source byte became the byte and a zero: look at a few around each mark.
    for (const std::uint64_t mark : Marks) {
        const std::uint64_t first = mark >= 3 ? mark - 3 : 0;
        const std::uint64_t last = std::min(mark + 3, SourceSize - 1);
        std::string expected;
        for (std::uint64_t at = first; at <= last; ++at) {
            expected += std::find(Marks.begin(), Marks.end(), at) != Marks.end() ? 'A' : '\0';
            expected += '\0';
        }
        EXPECT_EQ(ReadAt(fd, 2 * first, expected.size()), expected) << "around source byte " << mark;
    }
    ::close(fd);
}

} // namespace
