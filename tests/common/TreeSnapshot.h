#pragma once

#include <map>
#include <string>

namespace lmvtest {

// Everything under a folder: each entry's path relative to it, with its kind, content (files and
// symbolic links), mode, size and modification time; the folder itself is part of it. Two equal
// snapshots mean nothing was created, removed, written or touched.
std::map<std::string, std::string> TreeSnapshot(const std::string& Folder);

} // namespace lmvtest
