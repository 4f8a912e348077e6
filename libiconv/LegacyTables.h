#pragma once

#include <cstdint>
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
    // 0x100 | X, two as lead << 8 | trail (lead from 0x80). One entry more, 0, so that a 32-bit
    // gather at U+FFFF stays inside.
    std::vector<std::uint16_t> Encode;
    bool DoubleByte = false;
    // Bytes below 0x80 are ASCII both ways, as the blocks take them.
    bool AsciiSame = false;
    // GB18030's four-byte form of the characters beyond the BMP, by arithmetic: the C library
    // agreed on a sample of them. Those it writes as a pair stay the C library's both ways.
    bool FourByte = false;
    std::vector<std::uint32_t> PairsBeyondBmp;
    bool ByArithmetic(std::uint32_t Cp) const
    {
        for (std::uint32_t paired : PairsBeyondBmp)
            if (Cp == paired)
                return false;
        return true;
    }

    // Each high byte's UTF-8 bytes, as they lie in memory read as a 32-bit little-endian value,
    // the fourth byte 0; 0 where Single has no character.
    std::uint32_t SingleUtf8[128] = {};
    // For a double-byte encoding whose ASCII is the same: per first byte << 8 | the byte after
    // it, the UTF-8 bytes of the character they start (low three bytes, 0 past its length), its
    // UTF-8 length << 24 and its length here << 28; 0 where the tables have no character.
    std::vector<std::uint32_t> Utf8Steps;
    // 0xFF for each high byte that leads a pair, for the vector blocks.
    std::uint8_t LeadBytes[128] = {};

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

    // The four bytes 90 30 81 30 to E3 32 9A 35 and U+10000 to U+10FFFF, in order: the code
    // point of the four at p, or 0 when they are not such a character.
    static std::uint32_t FourByteCharacter(const unsigned char* p)
    {
        if (p[0] < 0x90 || p[0] > 0xE3 || p[1] - 0x30u > 9 || p[2] - 0x81u > 0x7D || p[3] - 0x30u > 9)
            return 0;
        const std::uint32_t index = ((p[0] - 0x90u) * 10 + (p[1] - 0x30u)) * 1260 + (p[2] - 0x81u) * 10 + (p[3] - 0x30u);
        return index < 0x100000 ? 0x10000 + index : 0;
    }
    // The reverse, for a code point from U+10000 to U+10FFFF.
    static void WriteFourBytes(unsigned char* p, std::uint32_t Cp)
    {
        std::uint32_t index = Cp - 0x10000;
        p[3] = static_cast<unsigned char>(0x30 + index % 10);
        index /= 10;
        p[2] = static_cast<unsigned char>(0x81 + index % 126);
        index /= 126;
        p[1] = static_cast<unsigned char>(0x30 + index % 10);
        p[0] = static_cast<unsigned char>(0x90 + index / 10);
    }
};

} // namespace lmviconv
