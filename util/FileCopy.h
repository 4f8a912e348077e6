#pragma once

#include <string>

// Whole-file copy that replaces Target safely: the bytes go into a new file in Target's folder,
// which is then renamed over Target. On failure Target is exactly as it was and no partial file
// is left. Replacing keeps the old file's permission bits and follows a symbolic link to the file
// it names; a new file gets 0666 less the umask. When an existing file is replaced, the new bytes
// reach the disk before the rename. Returns false on any failure.
bool CopyFileReplace(const std::string& Source, const std::string& Target);
