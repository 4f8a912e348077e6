#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What the two detection libraries propose for a sample, in their own spelling; empty when
// they have nothing. Each looks at no more than LibrarySampleLimit bytes: their n-gram models
// cost far more than the conversion, and more text adds little certainty.
inline constexpr std::size_t LibrarySampleLimit = 16 * 1024;

std::string GuessWithUchardet(std::string_view Sample);
// ICU's best match, when its confidence reaches MinIcuConfidence.
std::string GuessWithIcu(std::string_view Sample);
inline constexpr int MinIcuConfidence = 10;
