#pragma once

#include <string>
#include <vector>

namespace lmvtest {

// What the engine makes of the stand-in library liblumiva-iconv-fixed.so (tests/fixtures/fixed.cpp).

// Its names, sorted without regard to letter case.
std::vector<std::string> FixedLibraryNames();

// Its groups as one text: sorted, joined with commas, quoted where a name needs it, each line
// ending in CR LF.
std::string FixedLibraryGroupsText();

} // namespace lmvtest
