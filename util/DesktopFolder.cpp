// GetSpecialFolderPath: the desktop as xdg-user-dirs names it, read here rather than through Qt,
// so that lumiva-batch starts without loading Qt.

#include "util/Mysysutils.h"

#include <cstdio>
#include <cstdlib>

namespace {

std::string Environment(const char* Name)
{
    const char* value = std::getenv(Name);
    return value != nullptr ? std::string(value) : std::string();
}

void DropTrailingSlashes(std::string& Path)
{
    while (Path.size() > 1 && Path.back() == '/')
        Path.pop_back();
}

} // namespace

std::string GetSpecialFolderPath(int Folder)
{
    if (Folder != CSIDL_DESKTOP)
        return {};
    // Without a home, or with the root as home, the names below start at the root.
    std::string home = Environment("HOME");
    DropTrailingSlashes(home);
    if (home == "/")
        home.clear();
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty())
        config = home + "/.config";
    // Lines like XDG_DESKTOP_DIR="$HOME/Desktop"; the last one counts. Read with stdio: the
    // streams would set up their locale machinery for this one small file.
    std::string value;
    if (std::FILE* dirs = std::fopen((config + "/user-dirs.dirs").c_str(), "re")) {
        const std::string key = "XDG_DESKTOP_DIR=";
        std::string line;
        for (int c = 0; c != EOF;) {
            c = std::fgetc(dirs);
            if (c != '\n' && c != EOF) {
                line += static_cast<char>(c);
                continue;
            }
            if (line.compare(0, key.size(), key) == 0)
                value = line.substr(key.size());
            line.clear();
        }
        std::fclose(dirs);
    }
    if (value.compare(0, 6, "\"$HOME") == 0)
        value.replace(1, 5, home);
    else if (value.compare(0, 5, "$HOME") == 0)
        value.replace(0, 5, home);
    if (value.size() > 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    DropTrailingSlashes(value);
    if (!value.empty())
        return value;
    return home + "/Desktop";
}
