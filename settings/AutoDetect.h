#pragma once

#include "util/StringList.h"

#include <string_view>

// The From choice that detects each file's encoding: shown first in the window's From list,
// stored under this spelling in the settings file.
inline constexpr const char* AutoDetectEncoding = "Auto-detect";

inline bool IsAutoDetect(std::string_view FromEncoding) noexcept
{
    return SameText(FromEncoding, AutoDetectEncoding);
}
