#pragma once

#include <string>

namespace lmvtest {

// The settings file a first save writes for the default options, the main window's three file
// dialogs and the window at (Left, Top); OutputDirectory is the default output folder.
std::string FirstSaveText(const std::string& OutputDirectory, int Left, int Top);
// The sections a first save writes for the default folder options, after that file.
std::string FolderSectionsFirstSaveText();

} // namespace lmvtest
