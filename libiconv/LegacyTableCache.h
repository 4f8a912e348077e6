#pragma once

#include "libiconv/LegacyTables.h"

#include <memory>
#include <string>

namespace lmviconv {

// The tables of the encoding that Code names (as given to iconv_open, with any "//suffixes"),
// built when first asked and kept for the process; nothing for a
// name the C library would first clean up, for encodings that keep a state or combine
// characters, and for those that are neither single- nor double-byte.
const TLegacyTables* LegacyTablesFor(const char* Code);

struct TGeneratedLegacyTable;
// The tables of the encoding Name: from Generated when the C library still agrees with it on a
// sample, else from the C library's converter.
std::unique_ptr<TLegacyTables> BuildLegacyTables(const std::string& Name, const TGeneratedLegacyTable* Generated);

} // namespace lmviconv
