#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace lmviconv {

// One legacy encoding as the C library's own converter reads and writes it: a single-byte one,
// or a double-byte one whose lead bytes start pairs. What is not in the tables (invalid bytes, a
// pair that is not one character of the BMP or was not asked about, a character the C library
// does not write as one or two bytes) is for the C library to decide.
struct TLegacyTables {
    static constexpr std::uint32_t Invalid = 0xFFFFFFFF;
    static constexpr std::uint32_t Lead = 0xFFFFFFFE;

    // Per byte: its code point, Invalid, or Lead.
    std::uint32_t Single[256] = {};
    // Per lead byte from 0x80 and trail byte: the pair's code point, 0 when none.
    std::vector<std::uint16_t> Pairs;
    // Per code point of the BMP: the bytes the C library writes, 0 when none; one byte X as
    // 0x100 | X, two as lead << 8 | trail (lead from 0x80).
    std::vector<std::uint16_t> Encode;
    bool DoubleByte = false;
    // Bytes below 0x80 are ASCII both ways, as the blocks take them.
    bool AsciiSame = false;

    // Each high byte's and each pair's UTF-8 bytes, as they lie in memory read as a 32-bit
    // little-endian value, the fourth byte 0; 0 where Single or Pairs have no character.
    std::uint32_t SingleUtf8[128] = {};
    std::vector<std::uint32_t> PairUtf8;

    // For the vector blocks of a single-byte encoding: each high byte's UTF-8 form, byte by byte
    // (0 past its length; the first byte 0 for an invalid byte) ...
    std::uint8_t Utf8Bytes[3][128] = {};
    // ... and its code point's low and high byte, for UTF-16 and UTF-32.
    std::uint8_t UnitBytes[2][128] = {};
    // The UTF-8 lead bytes of two-byte characters this encoding holds, each with the byte per
    // continuation byte's low six bits (0 where none).
    struct TLeadRow {
        std::uint8_t Lead;
        std::uint8_t Bytes[64];
    };
    std::vector<TLeadRow> LeadRows;

    std::uint32_t Pair(unsigned LeadByte, unsigned Trail) const { return Pairs[(LeadByte - 0x80) << 8 | Trail]; }
};

// The tables of the encoding that Code names (as given to iconv_open, with any "//suffixes"),
// built from the C library's converter when first asked and kept for the process; nothing for a
// name the C library would first clean up, for encodings that keep a state or combine
// characters, and for those that are neither single- nor double-byte.
const TLegacyTables* LegacyTablesFor(const char* Code);

} // namespace lmviconv
