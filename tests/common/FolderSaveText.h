#pragma once

#include <string>

namespace lmvtest {

// The sections a first save writes for the default folder options, after the known file.
std::string FolderSectionsFirstSaveText();

} // namespace lmvtest
