// The Debian package, built by scripts/package.sh (a Release build: slow, so scripts/slow-tests.sh
// runs it), then looked at with dpkg-deb and lintian.

#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using lmvtest::TProcessOutcome;

TProcessOutcome Launch(const std::vector<std::string>& Argv)
{
    return lmvtest::RunProcess(Argv, lmvtest::Environment({"DESTDIR"}, {}));
}

std::string ProjectVersion()
{
    std::ifstream cache(fs::path(lmvtest::BinDir()).parent_path() / "CMakeCache.txt");
    const std::string key = "CMAKE_PROJECT_VERSION:STATIC=";
    for (std::string line; std::getline(cache, line);)
        if (line.rfind(key, 0) == 0)
            return line.substr(key.size());
    return {};
}

std::vector<std::string> Lines(const std::string& Text)
{
    std::vector<std::string> lines;
    std::istringstream in(Text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(PackageTest, SLOW_BuildsWithItsContentsDependenciesAndNoLintianError)
{
    const std::string version = ProjectVersion();
    ASSERT_FALSE(version.empty());
    const TProcessOutcome built = Launch({lmvtest::SourceDir() + "/scripts/package.sh"});
    ASSERT_EQ(built.Status, 0) << built.Out << built.Err;
    const std::string package = lmvtest::SourceDir() + "/dist/lumiva_" + version + "_amd64.deb";
    ASSERT_EQ(Lines(built.Out).back(), package);
    ASSERT_TRUE(fs::is_regular_file(package));

    const TProcessOutcome fields = Launch({"/usr/bin/dpkg-deb", "--field", package, "Package", "Version", "Architecture",
                                        "Depends", "Section"});
    ASSERT_EQ(fields.Status, 0) << fields.Err;
    for (const std::string& field : {std::string("Package: lumiva\n"), "Version: " + version + "\n",
                                     std::string("Architecture: amd64\n"), std::string("Section: utils\n")})
        EXPECT_NE(fields.Out.find(field), std::string::npos) << field << "\n" << fields.Out;
    // Worked out by dpkg-shlibdeps: versioned, and Qt's widgets among them.
    for (const char* dependency : {"libc6 (>= ", "libqt6widgets6 (>= ", "libqt6core6 (>= "})
        EXPECT_NE(fields.Out.find(dependency), std::string::npos) << dependency << "\n" << fields.Out;

    const TProcessOutcome contents = Launch({"/usr/bin/dpkg-deb", "--contents", package});
    ASSERT_EQ(contents.Status, 0) << contents.Err;
    const std::string id = "io.github.lumiva.Lumiva";
    for (const std::string& path :
         {std::string("./usr/bin/lumiva -> ../lib/x86_64-linux-gnu/lumiva/lumiva"),
          std::string("./usr/bin/lumiva-batch -> ../lib/x86_64-linux-gnu/lumiva/lumiva-batch"),
          std::string("./usr/lib/x86_64-linux-gnu/lumiva/liblumiva-iconv.so\n"),
          std::string("./usr/lib/x86_64-linux-gnu/lumiva/Help/index.html\n"),
          "./usr/share/applications/" + id + ".desktop\n", "./usr/share/icons/hicolor/scalable/apps/" + id + ".svg\n",
          "./usr/share/metainfo/" + id + ".metainfo.xml\n", std::string("./usr/share/man/man1/lumiva.1.gz\n"),
          std::string("./usr/share/man/man1/lumiva-batch.1.gz\n"),
          std::string("./usr/share/bash-completion/completions/lumiva-batch\n"),
          std::string("./usr/share/doc/lumiva/copyright\n"), std::string("./usr/share/doc/lumiva/changelog.gz\n")})
        EXPECT_NE(contents.Out.find(path), std::string::npos) << path;
    for (const std::string& line : Lines(contents.Out))
        EXPECT_EQ(line.rfind("-rw-r--r-- root/root", 0) == 0 || line.rfind("-rwxr-xr-x root/root", 0) == 0 ||
                      line.rfind("drwxr-xr-x root/root", 0) == 0 || line.rfind("lrwxrwxrwx root/root", 0) == 0,
                  true)
            << line;

    // Errors fail; what remains (warnings, information) is listed in the test's output.
    const TProcessOutcome lintian = Launch({"/usr/bin/lintian", "--info", "--display-info", package});
    std::string remaining;
    for (const std::string& line : Lines(lintian.Out)) {
        EXPECT_NE(line.rfind("E: ", 0), 0u) << line;
        if (line.size() > 3 && line[1] == ':' && line[0] != 'N')
            remaining += line + "\n";
    }
    RecordProperty("lintian", remaining);
    std::cout << "lintian:\n" << remaining;
}

} // namespace
