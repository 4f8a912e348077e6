#pragma once

#include <string>

// The folder of the running executable with a trailing '/', read from /proc/self/exe; empty when
// the system does not say.
std::string ProgramFolder();

// Name in the executable's folder; a name that already holds a '/' is taken as it is, and without
// a known folder the bare name is returned.
std::string ProgramFolderFile(const std::string& Name);
