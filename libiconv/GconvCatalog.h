#pragma once

#include <string>
#include <vector>

namespace lmviconv {

// Names of one encoding, canonical name first.
using TNameGroup = std::vector<std::string>;

// Folders of the gconv module configuration in the order the C library reads them: the
// elements of GCONV_PATH, then the "gconv" folder beside the C library actually loaded.
std::vector<std::string> GconvFolders();

// The alias groups that the configuration files in Folders and the C library's built-in list
// define, as the C library spells them (upper case) with a trailing "//" dropped. Unreadable or
// missing files are skipped. The names are candidates: nothing here asks iconv_open.
std::vector<TNameGroup> ReadGconvGroups(const std::vector<std::string>& Folders);

} // namespace lmviconv
