#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// True for an encoding name of the UTF-16 and UTF-32 families (UCS-2 and UCS-4 included),
// whose text holds NUL bytes.
bool IsWideEncoding(const std::string& Name);

// The bytes of a file's start that LooksBinary looks at.
inline constexpr std::size_t TextCheckSize = 8192;

// A file that is not worth converting as text, judged by its first bytes Sample: a NUL byte in
// the first TextCheckSize of them, unless its signature or FromEncoding says UTF-16 or UTF-32.
bool LooksBinary(std::string_view Sample, const std::string& FromEncoding);
