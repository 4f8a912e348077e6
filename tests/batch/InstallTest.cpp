// The install: cmake --install of this build into a fresh prefix, then the installed programs run
// through their links in <prefix>/bin.

#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::TProcessOutcome;
using lmvtest::WriteFile;

// Runs Argv with the environment of this process less what would steer the install or the
// programs, plus Add. With Until, the program is killed as soon as its error output holds that text.
TProcessOutcome RunProgram(const std::vector<std::string>& Argv, const std::vector<std::string>& Add,
                           const std::string& Until = {})
{
    return lmvtest::RunProcess(
        Argv, lmvtest::Environment({"HOME", "XDG_CONFIG_HOME", "DESTDIR", "LD_DEBUG", "QT_QPA_PLATFORM"}, Add),
        {.Until = Until});
}

// A value of the build's CMake cache, empty when it has none.
std::string CacheValue(const std::string& BuildDir, const std::string& Name)
{
    std::ifstream cache(BuildDir + "/CMakeCache.txt");
    std::string line;
    while (std::getline(cache, line)) {
        if (line.compare(0, Name.size() + 1, Name + ":") != 0)
            continue;
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            return line.substr(equals + 1);
    }
    return {};
}

class InstallTest : public ::testing::Test {
protected:
    // One install for all the tests of a run.
    static void SetUpTestSuite()
    {
        Prefix = std::make_unique<TempDir>();
        const std::string buildDir = fs::path(lmvtest::BinDir()).parent_path().string();
        std::string cmake = CacheValue(buildDir, "CMAKE_COMMAND");
        if (cmake.empty())
            cmake = "/usr/bin/cmake";
        const std::string libDir = CacheValue(buildDir, "CMAKE_INSTALL_LIBDIR");
        const std::string binDir = CacheValue(buildDir, "CMAKE_INSTALL_BINDIR");
        ProgramDir = fs::path(libDir).is_absolute() ? libDir : Prefix->Path() + "/" + libDir;
        ProgramDir += "/lumiva";
        LinkDir = fs::path(binDir).is_absolute() ? binDir : Prefix->Path() + "/" + binDir;
        Install = RunProgram({cmake, "--install", buildDir, "--prefix", Prefix->Path()}, {});
    }

    static void TearDownTestSuite() { Prefix.reset(); }

    void SetUp() override
    {
        ASSERT_EQ(Install.Status, 0) << "cmake --install failed (are all targets built?)\n"
                                     << Install.Out << Install.Err;
    }

    // HOME and the configuration folder inside the test folder: no folder of the user is touched.
    std::vector<std::string> Env() const { return {"HOME=" + Dir.Path(), "XDG_CONFIG_HOME=" + (Dir / "config")}; }

    static std::unique_ptr<TempDir> Prefix;
    static std::string ProgramDir;
    static std::string LinkDir;
    static TProcessOutcome Install;
    TempDir Dir;
};

std::unique_ptr<TempDir> InstallTest::Prefix;
std::string InstallTest::ProgramDir;
std::string InstallTest::LinkDir;
TProcessOutcome InstallTest::Install;

TEST_F(InstallTest, OneProgramFolderLinksInBinTheDesktopEntryAndTheIcon)
{
    for (const char* program : {"lumiva", "lumiva-batch"}) {
        const std::string installed = ProgramDir + "/" + program;
        EXPECT_TRUE(fs::is_regular_file(installed)) << installed;
        EXPECT_EQ(::access(installed.c_str(), X_OK), 0) << installed;
        // Relative links, so the tree can be moved.
        const std::string link = LinkDir + "/" + program;
        ASSERT_TRUE(fs::is_symlink(link)) << link;
        EXPECT_TRUE(fs::read_symlink(link).is_relative()) << link;
        EXPECT_EQ(fs::canonical(link), fs::canonical(installed));
    }
    EXPECT_TRUE(fs::is_regular_file(ProgramDir + "/liblumiva-iconv.so"));
    EXPECT_EQ(ReadFile(ProgramDir + "/Help/index.html"), ReadFile(lmvtest::SourceDir() + "/Help/index.html"));

    const std::string share = Prefix->Path() + "/share";
    const std::string entry = ReadFile(share + "/applications/lumiva.desktop");
    EXPECT_EQ(entry, ReadFile(lmvtest::SourceDir() + "/data/lumiva.desktop"));
    EXPECT_NE(entry.find("\nExec=lumiva\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=lumiva\n"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(share + "/icons/hicolor/scalable/apps/lumiva.svg"));
}

TEST_F(InstallTest, TheInstalledBatchProgramRunsThroughItsLinkWithItsOwnLibrary)
{
    const std::string program = LinkDir + "/lumiva-batch";
    const TProcessOutcome help = RunProgram({program, "--help"}, Env());
    EXPECT_EQ(help.Status, 0) << help.Err;
    EXPECT_EQ(help.Out.rfind("Usage: lumiva-batch", 0), 0u) << help.Out;

    WriteFile(Dir / "a.txt", "h\xC3\xA9llo\n");
    std::vector<std::string> env = Env();
    env.push_back("LD_DEBUG=files");
    const TProcessOutcome run =
        RunProgram({program, "--to", "UTF-16LE", "--output-dir", Dir / "out", Dir / "a.txt"}, env);
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_EQ(ReadFile(Dir / "out/a.txt"), lmvtest::Bytes({'h', 0, 0xE9, 0, 'l', 0, 'l', 0, 'o', 0, '\n', 0}));
    EXPECT_NE(run.Out.find("Completed - 0 errors, 0 warnings\r\n"), std::string::npos) << run.Out;
    // The library beside the installed program, not the build's.
    EXPECT_NE(run.Err.find("calling init: " + fs::canonical(ProgramDir).string() + "/liblumiva-iconv.so"),
              std::string::npos);
}

TEST_F(InstallTest, TheInstalledWindowProgramStartsWithItsOwnLibrary)
{
    // The window program runs until it is closed: it is stopped once it has loaded its library.
    std::vector<std::string> env = Env();
    env.push_back("LD_DEBUG=files");
    env.push_back("QT_QPA_PLATFORM=offscreen");
    const std::string library = fs::canonical(ProgramDir).string() + "/liblumiva-iconv.so";
    const TProcessOutcome run = RunProgram({LinkDir + "/lumiva"}, env, "calling init: " + library);
    EXPECT_TRUE(run.Matched) << run.Err.substr(run.Err.size() > 4000 ? run.Err.size() - 4000 : 0);
    // Stopped before any close: nothing saved.
    EXPECT_FALSE(fs::exists(Dir / "config/Lumiva/Settings.ini"));
}

} // namespace
