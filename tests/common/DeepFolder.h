#pragma once

#include <string>

namespace lmvtest {

// A chain of folders below Parent so deep that the full name of its lower part exceeds the
// system's path limit: those folders cannot be listed, even by root. Returns the name of the
// first such folder. Made through relative steps, since no call takes the whole name.
std::string MakeTooDeepFolder(const std::string& Parent);
// Removes the chain again (a plain recursive removal would meet the same limit).
void RemoveTooDeepFolder(const std::string& Parent);

} // namespace lmvtest
