#pragma once

#include <array>
#include <string>
#include <string_view>

class TLumiva;

// Each byte of an 8-bit encoding as the engine decodes it alone: its code point, or Undecodable
// for none or more than one character.
namespace EncodingBytes {

constexpr char32_t Undecodable = 0xFFFFFFFF;
using TTable = std::array<char32_t, 256>;

// Through the engine, one byte at a time (the 8-bit encodings keep no state between bytes): all
// Undecodable for an encoding the engine does not know.
TTable Decode(TLumiva& Converter, const std::string& Name);

// The table Decode gave at build time (detect/tablegen/EncodingBytesWriter.cpp) for each encoding of
// the language tables that the engine knew; nullptr for any other name.
const TTable* Built(std::string_view Name);

} // namespace EncodingBytes
