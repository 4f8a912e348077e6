#pragma once

#include <string>

// Whole-file copy that replaces Target safely: the bytes go into a new file in Target's folder,
// which is then renamed over Target. On failure Target is exactly as it was and no partial file
// is left. Replacing keeps the old file's permission bits and follows a symbolic link to the file
// it names; a new file gets 0666 less the umask. When an existing file is replaced, the new bytes
// reach the disk before the rename. Returns false on any failure.
bool CopyFileReplace(const std::string& Source, const std::string& Target);

enum class TPlaceResult { Failed, Moved, Copied };

// Puts Source in Target's place with CopyFileReplace's guarantees. Where both lie on one file
// system the file itself is renamed into place, saving a second file and a copy (Source is gone
// then: Moved); elsewhere it is copied (Copied) and Source stays.
TPlaceResult MoveFileReplace(const std::string& Source, const std::string& Target);
