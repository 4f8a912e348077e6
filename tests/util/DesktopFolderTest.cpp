// The desktop folder, read from xdg-user-dirs without Qt: the same answer as Qt's for the files
// people have, so that the window and lumiva-batch default to one folder.
#include "tests/common/TestSupport.h"
#include "util/Mysysutils.h"

#include <QStandardPaths>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using lmvtest::EnvScope;
using lmvtest::TempDir;
using lmvtest::WriteFile;

std::string QtDesktop()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toLocal8Bit().toStdString();
}

TEST(DesktopFolder, AgreesWithQtOnTheUserDirsFile)
{
    TempDir dir;
    const std::string home = dir.Path() + "/home";
    const std::string config = dir.Path() + "/config";
    EnvScope homeScope("HOME", home.c_str());
    EnvScope configScope("XDG_CONFIG_HOME", config.c_str());
    const std::string cases[] = {
        "",                                                             // no file at all
        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n",                          // as xdg-user-dirs writes it
        "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n",
        "XDG_DESKTOP_DIR=\"/srv/desk/\"\n",                             // absolute, trailing slash
        "XDG_DESKTOP_DIR=\"$HOME/\"\n",                                 // the home itself
        "XDG_DESKTOP_DIR=\"$HOME/a\"\nXDG_DESKTOP_DIR=\"$HOME/b\"\n",   // the last line counts
        "XDG_DESKTOP_DIR=\"\"\n",                                       // empty: the default
        "XDG_MUSIC_DIR=\"$HOME/Music\"\n",                              // no desktop line
        "XDG_DESKTOP_DIR=\"$HOME/Bureau d'\xC3\xA9t\xC3\xA9\"\n",       // non-ASCII
    };
    for (const std::string& text : cases) {
        std::filesystem::remove_all(config);
        if (!text.empty()) {
            std::filesystem::create_directories(config);
            WriteFile(config + "/user-dirs.dirs", text);
        }
        EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOP), QtDesktop()) << text;
    }
    // Without XDG_CONFIG_HOME the file is looked for under the home.
    EnvScope noConfig("XDG_CONFIG_HOME", nullptr);
    std::filesystem::create_directories(home + "/.config");
    WriteFile(home + "/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Escritorio\"\n");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOP), home + "/Escritorio");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOP), QtDesktop());
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOP + 1), "");
}

} // namespace
