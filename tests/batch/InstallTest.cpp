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
        Version = CacheValue(buildDir, "CMAKE_PROJECT_VERSION");
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
    static std::string Version;
    static inline const std::string AppId = "io.github.lumiva.Lumiva";
    TempDir Dir;
};

std::unique_ptr<TempDir> InstallTest::Prefix;
std::string InstallTest::ProgramDir;
std::string InstallTest::LinkDir;
TProcessOutcome InstallTest::Install;
std::string InstallTest::Version;

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
    const std::string entry = ReadFile(share + "/applications/" + AppId + ".desktop");
    EXPECT_EQ(entry, ReadFile(lmvtest::SourceDir() + "/data/" + AppId + ".desktop"));
    EXPECT_NE(entry.find("\nExec=lumiva\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=" + AppId + "\n"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(share + "/icons/hicolor/scalable/apps/" + AppId + ".svg"));
}

// The desktop entry and the software-centre metadata pass their validators without a warning,
// and the metadata names the entry, the screenshot and the release of this version.
TEST_F(InstallTest, DesktopEntryAndMetadataPassTheirValidators)
{
    const std::string share = Prefix->Path() + "/share";
    const TProcessOutcome entry =
        RunProgram({"/usr/bin/desktop-file-validate", share + "/applications/" + AppId + ".desktop"}, {});
    EXPECT_EQ(entry.Status, 0) << entry.Err;
    EXPECT_EQ(entry.Out + entry.Err, "");

    const std::string metainfo = share + "/metainfo/" + AppId + ".metainfo.xml";
    const TProcessOutcome validated = RunProgram({"/usr/bin/appstreamcli", "validate", "--no-net", metainfo}, {});
    EXPECT_EQ(validated.Status, 0) << validated.Out << validated.Err;
    for (const char* severity : {"\nE: ", "\nW: "})
        EXPECT_EQ(("\n" + validated.Out).find(severity), std::string::npos) << validated.Out;

    const std::string text = ReadFile(metainfo);
    for (const std::string& part :
         {"<id>" + AppId + "</id>", "<launchable type=\"desktop-id\">" + AppId + ".desktop</launchable>",
          std::string("docs/main-window.png</image>"), std::string("<content_rating type=\"oars-1.1\"/>"),
          "<release version=\"" + Version + "\"", std::string("<developer id=")})
        EXPECT_NE(text.find(part), std::string::npos) << part;
}

// One version: the CMake project's, in lumiva-batch --version (the About box: StartupTest).
TEST_F(InstallTest, TheBatchProgramShowsTheProjectVersion)
{
    ASSERT_FALSE(Version.empty());
    const TProcessOutcome version = RunProgram({LinkDir + "/lumiva-batch", "--version"}, Env());
    EXPECT_EQ(version.Status, 0) << version.Err;
    EXPECT_EQ(version.Out, "lumiva-batch (Lumiva) " + Version + "\n");
}

// Both manual pages are installed, compressed, and render without a warning.
TEST_F(InstallTest, ManualPagesRenderWithoutWarnings)
{
    struct TPage {
        const char* Name;
        std::vector<std::string> Holds;
    };
    for (const TPage& page : {TPage{"lumiva", {"Settings.ini", "Help/index.html", "lumiva-batch(1)"}},
                              TPage{"lumiva-batch", {"--list-encodings", "--version", "Exit status", Version}}}) {
        const std::string file = Prefix->Path() + "/share/man/man1/" + page.Name + ".1.gz";
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        const TProcessOutcome shown =
            RunProgram({"/usr/bin/man", "--warnings", "-l", file}, {"MANWIDTH=80"});
        EXPECT_EQ(shown.Status, 0) << page.Name << shown.Err;
        EXPECT_EQ(shown.Err, "") << page.Name;
        for (const std::string& part : page.Holds)
            EXPECT_NE(shown.Out.find(part), std::string::npos) << page.Name << ": " << part << "\n" << shown.Out;
    }
}

// The installed completion, loaded as bash-completion loads it, completes options, their values
// and the encoding names that the program itself lists.
TEST_F(InstallTest, BashCompletesOptionsValuesAndEncodingNames)
{
    const std::string script = Prefix->Path() + "/share/bash-completion/completions/lumiva-batch";
    ASSERT_TRUE(fs::is_regular_file(script));
    const std::string probe = R"BASH(
source /usr/share/bash-completion/bash_completion || exit 9
source "$1" || exit 9
complete -p lumiva-batch
t() {
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _lumiva_batch lumiva-batch "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    echo "$*|$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')"
}
t lumiva-batch --tr
t lumiva-batch --li
t lumiva-batch --translation t
t lumiva-batch --answer y
t lumiva-batch --utf16 ''
t lumiva-batch --utf8 ''
t lumiva-batch --from UTF-16
t lumiva-batch --to utf-32
t lumiva-batch --to=UTF-7
)BASH";
    const TProcessOutcome run =
        RunProgram({"/bin/bash", "-c", probe, "bash", script}, {"PATH=" + LinkDir + ":/usr/bin:/bin"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "complete -F _lumiva_batch lumiva-batch\n"
                       "lumiva-batch --tr|--translation \n"
                       "lumiva-batch --li|--list --list-encodings \n"
                       "lumiva-batch --translation t|transliterate \n"
                       "lumiva-batch --answer y|yes yes-to-all \n"
                       "lumiva-batch --utf16 |0 1 3 4 \n"
                       "lumiva-batch --utf8 |0 1 2 \n"
                       "lumiva-batch --from UTF-16|UTF-16 UTF-16BE UTF-16LE \n"
                       "lumiva-batch --to utf-32|UTF-32 UTF-32BE UTF-32LE \n"
                       "lumiva-batch --to=UTF-7|UTF-7 UTF-7-IMAP \n")
        << run.Err;
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
