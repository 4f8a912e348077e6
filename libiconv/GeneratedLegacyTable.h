#pragma once

#include <cstddef>
#include <cstdint>

namespace lmviconv {

// A double-byte encoding's tables as the build machine's C library had them, compact: the pairs
// row by row for the lead bytes only, and of the reverse only what reading them does not give.
struct TGeneratedLegacyTable {
    const char* Name;
    // Per byte, as TLegacyTables::Single.
    const std::uint32_t* Single;
    // The trail bytes each row holds, FirstTrail to LastTrail.
    unsigned FirstTrail;
    unsigned LastTrail;
    // One row per lead byte, in order: the pair's code point, 0 when none.
    const std::uint16_t* Rows;
    // Code point << 16 | its TLegacyTables::Encode entry, for each character of the BMP the C
    // library writes otherwise than EncodeByReading says (or not at all).
    const std::uint32_t* Encodings;
    std::size_t EncodingCount;
    const std::uint32_t* PairsBeyondBmp;
    std::size_t PairsBeyondBmpCount;
};

// The table generated for Name (as CharsetNameOf gives it); nothing when none was.
const TGeneratedLegacyTable* GeneratedLegacyTableFor(const char* Name);

} // namespace lmviconv
