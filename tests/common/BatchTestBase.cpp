#include "tests/common/BatchTestBase.h"

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

namespace lmvtest {

std::vector<std::string> TBatchTest::Env() const
{
    return Environment({"HOME", "XDG_CONFIG_HOME"}, {"HOME=" + Dir.Path(), "XDG_CONFIG_HOME=" + (Dir / "config")});
}

TProcessOutcome TBatchTest::Run(const std::vector<std::string>& Args, const TProcessOptions& Options) const
{
    std::vector<std::string> argv{Program};
    argv.insert(argv.end(), Args.begin(), Args.end());
    return RunProcess(argv, Env(), Options);
}

std::string TBatchTest::Source(const std::string& Name, const std::string& Content) const
{
    std::filesystem::create_directories(std::filesystem::path(Dir / Name).parent_path());
    WriteFile(Dir / Name, Content);
    return Dir / Name;
}

std::string TBatchTest::Entry(const std::string& Src, const std::string& Dest, const std::string& Rest)
{
    return "Convert character encoding:\r\n\t- Source file: " + Src + "\r\n\t- Destination file: " + Dest + "\r\n" +
           Rest;
}

void TBatchTest::Age(const std::string& Path)
{
    const struct timespec times[2] = {{OldTime, 0}, {OldTime, 0}};
    EXPECT_EQ(::utimensat(AT_FDCWD, Path.c_str(), times, 0), 0) << Path;
}

long long TBatchTest::ModificationTime(const std::string& Path)
{
    struct stat st {};
    EXPECT_EQ(::stat(Path.c_str(), &st), 0) << Path;
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

} // namespace lmvtest
