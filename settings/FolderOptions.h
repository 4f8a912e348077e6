#pragma once

#include <string>

// What a folder given as input expands to, and whether results keep their source's time.
struct TFolderOptions {
    bool IncludeSubfolders = true;
    std::string FileNames = "*";  // masks separated by ';'
    std::string SkipNames = ".*"; // masks separated by ';'; may be empty
    bool SkipNonText = true;
    bool KeepTime = false;

    bool operator==(const TFolderOptions&) const = default;
};

inline TFolderOptions DefaultFolderOptions()
{
    return TFolderOptions{};
}
