#pragma once

#include <string>

// True for an encoding name of the UTF-16 and UTF-32 families (UCS-2 and UCS-4 included),
// whose text holds NUL bytes.
bool IsWideEncoding(const std::string& Name);

// A file that is not worth converting as text: a NUL byte in its first 8 KiB, unless its
// signature or FromEncoding says UTF-16 or UTF-32. A file that cannot be read is not judged here
// (false): the conversion reports it.
bool LooksBinary(const std::string& FileName, const std::string& FromEncoding);
