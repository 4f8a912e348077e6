#pragma once

#include "util/StringList.h"

#include <string_view>

// True when both names sit in one group of aliases of the engine's group list (lines of names
// joined by commas, a name with a space, comma or quote in double quotes).
bool SameEncodingGroup(const TStringList& Groups, std::string_view A, std::string_view B);
