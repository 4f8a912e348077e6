#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// No test may read or write the user's own configuration (the settings file, Qt's file dialog
// state): the whole run gets a configuration folder of its own, removed at exit.
class TPrivateConfigHome {
public:
    TPrivateConfigHome()
    {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "lmv-ui-config-XXXXXX").string();
        if (!::mkdtemp(pattern.data()) || ::setenv("XDG_CONFIG_HOME", pattern.c_str(), 1) != 0) {
            std::fputs("cannot make a private configuration folder\n", stderr);
            std::abort();
        }
        Folder = pattern;
    }
    ~TPrivateConfigHome()
    {
        std::error_code error;
        if (!Folder.empty())
            std::filesystem::remove_all(Folder, error);
    }
    TPrivateConfigHome(const TPrivateConfigHome&) = delete;
    TPrivateConfigHome& operator=(const TPrivateConfigHome&) = delete;

private:
    std::string Folder;
};

const TPrivateConfigHome PrivateConfigHome;

} // namespace

#define LUMIVA_TEST_APPLICATION QApplication
#include "tests/common/QtTestMain.h"
