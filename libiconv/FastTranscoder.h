#pragma once

#include "libiconv/UnicodeFormNames.h"

namespace lmviconv {

struct TLegacyTables;

enum class TTranscodeStop {
    Done,       // all input converted
    OutputFull, // the next character is sound but its bytes do not fit
    Unusual,    // the next bytes are invalid, incomplete, or the target cannot hold the character
};

// Converts whole characters from In to Out and advances both past what it converted. Only
// input that the C library converts without any question passes; everything else stops it.
using TTranscodeProc = TTranscodeStop (*)(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                          unsigned char* OutEnd);

// The converter for a pair of forms whose byte order is known (not the plain UTF-16 and UTF-32),
// with the widest blocks the processor has.
TTranscodeProc FindTranscoder(TUnicodeForm From, TUnicodeForm To);

// The same with the block code named: "avx512" (AVX-512 BW, VBMI and VBMI2) or "avx2", each only
// where the processor has it, or "sse2".
TTranscodeProc FindTranscoder(TUnicodeForm From, TUnicodeForm To, const char* Blocks);

// The same between a legacy encoding with these tables and a Unicode form whose byte order is
// known; LegacySource: the legacy encoding is the source.
using TLegacyProc = TTranscodeStop (*)(const TLegacyTables& Tables, const unsigned char*& In, const unsigned char* InEnd,
                                       unsigned char*& Out, unsigned char* OutEnd);
TLegacyProc FindLegacyTranscoder(bool LegacySource, TUnicodeForm Unicode);
TLegacyProc FindLegacyTranscoder(bool LegacySource, TUnicodeForm Unicode, const char* Blocks);

// Which block code the first FindTranscoder hands out on this processor: "avx512", "avx2" or
// "sse2".
const char* TranscoderBlocks();

} // namespace lmviconv
