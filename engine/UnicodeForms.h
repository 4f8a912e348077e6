#pragma once

#include <cstdint>
#include <string>

// Turns the run's target name and the UTF choices into the effective target name and the
// signature bytes written before every output. Raises Exception for an unknown choice that applies;
// TargetEncoding already holds the copy of ToEncoding then, and Signature is untouched.
void ResolveTargetEncoding(const std::string& ToEncoding, std::int32_t Utf8, std::int32_t Utf16,
                           std::int32_t Utf32, std::string& TargetEncoding, std::string& Signature);
