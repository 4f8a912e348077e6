#pragma once

#include <cstdint>

namespace lmviconv {

// How to take the UTF-8 characters at the start of a 16-byte window apart, for each pattern of
// character starts in its first 13 bytes (bit i: byte i is not a continuation byte). Only
// characters whose length the pattern shows (the next start is at most byte 12) and that are 1
// to 3 bytes long count, at most 8.
// The lead byte ranges and the three-byte mask are in the table, not worked out from the
// lengths in the loop: that halves the loop's work per window.
struct alignas(16) TUtf8Window {
    std::uint8_t Last[16];      // per 16-bit lane: the character's last byte, then the one before it
    std::uint8_t Lead[16];      // per 16-bit lane: the lead byte
    std::uint16_t LeadLow[8];   // per lane: the lowest lead byte its length allows (0 when unused)
    std::uint16_t LeadHigh[8];  // per lane: the highest (0xFF when unused)
    std::uint16_t ThreeBytes[8]; // per lane: 0xF000 for a three-byte character, else 0
};

// One entry per start pattern (8192), built at compile time. The counts are apart from the
// shuffles: the next window's position waits on them, and they fit the first-level cache.
struct TUtf8Windows {
    TUtf8Window Windows[8192];
    std::uint8_t Characters[8192]; // 0: the first character is not one of these
    std::uint8_t Bytes[8192];      // the bytes those characters take
};

const TUtf8Windows& Utf8Windows();

} // namespace lmviconv
