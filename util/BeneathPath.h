#pragma once

#include "util/FileDescriptor.h"

#include <functional>
#include <string>

// Opens Relative ("a/b/c", no leading '/', no "." or ".." part) below the open folder Root with
// Flags, following no symbolic link on the way, the last part included, and never leaving Root:
// a folder swapped for a link since it was listed fails the open (ELOOP or ENOTDIR) instead of
// leading elsewhere. An empty Relative opens Root itself again. KernelResolve false takes the
// way used where the kernel has no openat2: one openat per part.
TFd OpenBeneath(int Root, const std::string& Relative, int Flags, bool KernelResolve = true);

// Opens the folder Relative below Root (O_PATH), making each missing part on the way, never
// through a link; OnMade hears the relative path of each folder made. Not open, errno set, when
// a part cannot be made or is not a folder; Failed then holds the relative path of that part.
TFd MakeFoldersBeneath(int Root, const std::string& Relative, const std::function<void(const std::string&)>& OnMade,
                       std::string& Failed);
