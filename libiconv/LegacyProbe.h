#pragma once

#include "libiconv/LegacyTables.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace lmviconv {

// The C library's converter for one legacy encoding read into tables: Single, Pairs, Encode,
// DoubleByte, FourByte and PairsBeyondBmp (the rest is derived from those). Nothing for a
// converter that keeps a state, combines characters or is neither single- nor double-byte.
std::unique_ptr<TLegacyTables> ReadLegacyTables(const std::string& Name);

// Whether the C library still reads and writes Name as Tables say, on a sample spread over them
// in a few calls: every single byte, the first and last pair of each lead byte and a stride of
// the rest; back again those characters, ASCII and those of Encodings (as in
// TGeneratedLegacyTable). Sets FourByte as the C library has it.
bool LegacyTablesAgree(const std::string& Name, TLegacyTables& Tables, std::span<const std::uint32_t> Encodings);

// Encode as the reverse of Single and Pairs: each character of the BMP as the first single byte,
// else the first pair, that reads as it.
void EncodeByReading(TLegacyTables& Tables);

} // namespace lmviconv
