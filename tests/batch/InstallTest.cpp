// The install: cmake --install of this build into a fresh prefix, then the installed programs run
// through their links in <prefix>/bin.

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

struct TOutcome {
    int Status = -1; // exit status, or 128 + signal
    std::string Out;
    std::string Err;
    bool Matched = false; // Until was seen in the error output
};

std::int64_t NowMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Runs Argv with the environment of this process less the names in Drop plus Add. With Until,
// the program is killed as soon as its error output holds that text. A program that outlives
// a generous limit is killed, so a hanging program fails the test instead of stopping it.
TOutcome RunProgram(const std::vector<std::string>& Argv, const std::vector<std::string>& Add,
                    const std::string& Until = {})
{
    static const char* const Drop[] = {"HOME=", "XDG_CONFIG_HOME=", "DESTDIR=", "LD_DEBUG=", "QT_QPA_PLATFORM="};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        bool dropped = false;
        for (const char* name : Drop)
            dropped = dropped || std::strncmp(*e, name, std::strlen(name)) == 0;
        if (!dropped)
            env.emplace_back(*e);
    }
    env.insert(env.end(), Add.begin(), Add.end());
    std::vector<char*> args;
    for (const std::string& a : Argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    TOutcome outcome;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&outcome.Out, &outcome.Err};
    int open = 2;
    const std::int64_t limit = NowMs() + 120000;
    while (open > 0) {
        const std::int64_t left = limit - NowMs();
        const int ready = left > 0 ? ::poll(fds, 2, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            ADD_FAILURE() << Argv[0] << " did not end";
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
        if (!Until.empty() && outcome.Err.find(Until) != std::string::npos) {
            outcome.Matched = true;
            break;
        }
    }
    if (open > 0)
        ::kill(pid, SIGKILL);
    for (const pollfd& fd : fds)
        if (fd.fd >= 0)
            ::close(fd.fd);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
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
    static TOutcome Install;
    TempDir Dir;
};

std::unique_ptr<TempDir> InstallTest::Prefix;
std::string InstallTest::ProgramDir;
std::string InstallTest::LinkDir;
TOutcome InstallTest::Install;

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
    const TOutcome help = RunProgram({program, "--help"}, Env());
    EXPECT_EQ(help.Status, 0) << help.Err;
    EXPECT_EQ(help.Out.rfind("Usage: lumiva-batch", 0), 0u) << help.Out;

    WriteFile(Dir / "a.txt", "h\xC3\xA9llo\n");
    std::vector<std::string> env = Env();
    env.push_back("LD_DEBUG=files");
    const TOutcome run = RunProgram({program, "--to", "UTF-16LE", "--output-dir", Dir / "out", Dir / "a.txt"}, env);
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
    const TOutcome run = RunProgram({LinkDir + "/lumiva"}, env, "calling init: " + library);
    EXPECT_TRUE(run.Matched) << run.Err.substr(run.Err.size() > 4000 ? run.Err.size() - 4000 : 0);
    // Stopped before any close: nothing saved.
    EXPECT_FALSE(fs::exists(Dir / "config/Lumiva/Settings.ini"));
}

} // namespace
