// Starts Lumiva as a user would and ends it as soon as the main window is shown with its full
// encoding lists. Prints that moment on CLOCK_MONOTONIC (seconds) and the number of names listed,
// so the caller can measure from the moment it started the process.
#include "ui/MainForm.h"
#include "ui/Startup.h"

#include <QComboBox>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    std::string folder = (std::filesystem::temp_directory_path() / "lmvprobe-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 2;
    TStartupHooks hooks;
    // The user's settings stay untouched.
    hooks.SettingsFile = folder + "/Settings.ini";
    hooks.WindowShown = [](TMainForm& Window) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("%lld.%09ld %d\n", static_cast<long long>(now.tv_sec), now.tv_nsec, Window.ComboBox1->count());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    };
    const int status = RunLumiva(argc, argv, hooks);
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return status;
}
